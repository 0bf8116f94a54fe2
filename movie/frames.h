// Frame operations on tracks, used by the public frame calls, by the
// playback engine and by the file formats.
//
// Byte order: frame data is stored big-endian (16-bit samples, 16-bit 5-5-5
// pixels and 32-bit pixel words) and handed to callers as native values; the
// swap happens here, at the file boundary. Compressed frames are stored as
// their codec wrote them.
//
// Every change of frames rewrites the track's "TRACK_LENGTH" and marks the
// movie changed and no longer optimised. An operation stops at its first
// failure; frames handled before it stay changed.
#ifndef CINELARK_MOVIE_FRAMES_H
#define CINELARK_MOVIE_FRAMES_H

#include <cstddef>
#include <cstdint>
#include <functional>

#include <cinelark/movie.h>

struct MVtrack;
struct MVaudioTrack;
struct MVimageTrack;

// ---- audio (audio_frames.cpp) --------------------------------------------

int __mvAT_ReadFrames(MVaudioTrack *track, int first, int count, void *buffer);
int __mvAT_InsertFrames(MVaudioTrack *track, int first, int count, const void *buffer);
int __mvAT_DeleteFrames(MVaudioTrack *track, int first, int count);

// Reads count sample frames as two's-complement samples: unsigned tracks
// have the top bit of every sample inverted.
int __mvT_ReadUnsignedAudio(MVid track, int first, int count, size_t bufferSize, void *buffer);

// ---- images (image_frames.cpp) --------------------------------------------

// Decoded frames of the track's uncompressed frame size, one after another.
int __mvIT_ReadFrames(MVimageTrack *track, int first, int count, void *buffer);
int __mvIT_InsertFrames(MVimageTrack *track, int first, int count, const void *buffer);
int __mvIT_DeleteFrames(MVimageTrack *track, int first, int count);
// The first frame to decode before frame, for a decoder that last decoded
// lastDecoded (-1: none): frame itself when it follows lastDecoded or is a key
// frame (nothing to do); else, searching back from frame - 1, the frame after
// lastDecoded or the nearest key frame; failing both, 10 frames back (or 0).
int __mvIT_StepStart(int frame, int lastDecoded, const std::function<bool(int)> &isKeyFrame);
int __mvIT_StoredSize(MVimageTrack *track, int frame, uint32_t *size);
// Replaces the track's codec bridge object with a fresh one (a decoder that
// has seen nothing yet).
int __mvIT_RestartCodec(MVimageTrack *track);
int __mvIT_ReadStored(MVimageTrack *track, int frame, size_t bufferSize, void *buffer);
int __mvIT_InsertStored(MVimageTrack *track, int frame, uint32_t size, const void *data);

// 1 when the frame can be decoded on its own: every frame of an intra-frame
// codec, and the frames marked "MV_KEY_FRAME" of "Apple Video" and "Apple
// Animation" tracks. 0 otherwise and on errors.
int __mvT_IsKeyFrame(MVid track, int frame);

// The frame's own parameter list (owned by the track), null on errors.
DMparams *__mvGetFrameParams(MVid track, int frame);
// Copies "MV_KEY_FRAME" and registered user parameters into the frame's
// list and marks the movie changed.
int __mvSetFrameParams(MVid track, int frame, const DMparams *list, DMparams *returned);

// Reads one frame as width x height 32-bit words 0x00BBGGRR, first row first
// as stored for 1001 and 1005 and reversed for 1090 and 1091. Other packings
// fail with 1023.
int __mvT_ReadRGBXImage(MVid track, int frame, size_t bufferSize, void *buffer);

// ---- between tracks (editing.cpp) -----------------------------------------

// The audio frames that play with one image frame.
int __mvAudioForImageFrame(MVid imageTrack, MVid audioTrack, int frame, int *firstAudio,
                           int *audioCount);

// The frame of dest at the time of source's frame, clamped to dest's length;
// 0, or -1 with 1011 when it had to be clamped.
int __mvMapFrame(MVtrack *source, MVtrack *dest, int frame, int *destFrame);

int __mvPaste(MVtrack *source, int sourceFrame, int count, MVtrack *dest, int destFrame);

#endif
