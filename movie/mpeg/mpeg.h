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

struct MVstream;

// True when the four bytes are the sequence header code 00 00 01 B3.
bool __mvMP_IsSequenceStart(const unsigned char *bytes);

// Reads an MPEG-1 video stream at offset 0 as a movie. The movie takes the
// stream, also on failure. 1003 when the stream holds no picture.
int __mvMP_Read(MVstream *stream, MVid *movie);

#endif
