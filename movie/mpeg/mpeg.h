// MPEG-1 video elementary streams (".m1v", ".mpv") as read-only movies.
//
// One scan of the start codes at open finds the pictures and works out, with
// the decoder's own display-order rules, which bytes the decoder must take
// to hand out each picture in display order: frame k's directory entry is
// the stretch of the stream from the end of frame k - 1's stretch to the
// end of the picture that makes frame k due. Fed those stretches one call at
// a time, the "MPEG Video" decompressor delivers frame k on the call for
// entry k; the last frame is read as the sequence end code, which hands out
// the last reference picture. A frame from which a fresh decoder, started at the sequence
// header before it, delivers the right pictures is marked as a key frame;
// the image track restarts its decoder there for random access.
#ifndef CINELARK_MOVIE_MPEG_MPEG_H
#define CINELARK_MOVIE_MPEG_MPEG_H

#include <cinelark/movie.h>

#include <cstdint>
#include <functional>

struct MVstream;

// True when the four bytes are the sequence header code 00 00 01 B3.
bool __mvMP_IsSequenceStart(const unsigned char *bytes);

// True when a system stream (".mpg") starts within the stream's first
// bytes, also after the cut of a file that starts in the middle of a pack.
bool __mvMP_FindsProgram(MVstream *stream);

// Reads an MPEG-1 video stream or a system stream at offset 0 as a movie.
// The movie takes the stream, also on failure. 1003 when the stream holds
// no picture; 1009 for a system stream with sound but no pictures.
int __mvMP_Read(MVstream *stream, MVid *movie);

// Called before a movie's loading ends to add what a container carries
// besides the pictures; returns 0 or an error number.
using MPextras = std::function<int(MVid movie)>;

// The video stream reader: the stream's first videoLength bytes (all of
// them when negative) are the video.
int __mvMP_ReadVideo(MVstream *stream, int64_t videoLength, const MPextras &extras, MVid *movie);

// The system stream reader (system/program.cpp).
int __mvMP_ReadProgram(MVstream *stream, MVid *movie);

#endif
