// What the movie library asks of its playback engine: the codec bridge that
// compresses and decompresses the frames of compressed image tracks, and the
// release of a movie's playback object when the movie is closed.
//
// Frames handed to and returned by the bridge are 32-bit pixels (0x00BBGGRR
// words), width x height of them, rows from the bottom of the picture up.
// Every call returns 0, or -1 with mvErrno set: 1004 memory, 1012 an unknown
// scheme name, 1017 QuickTime coders not installed, 1022 a failure of the
// compression library with its message as detail.
#ifndef CINELARK_MOVIE_ENGINE_HOOKS_H
#define CINELARK_MOVIE_ENGINE_HOOKS_H

#include <stddef.h>

#include <cinelark/movie.h>

struct MVcodec;

int __mvCD_Create(const char *name, int width, int height, int depth, int packing,
                  MVcodec **codec);
int __mvCD_Destroy(MVcodec *codec);
// The buffer one compressed frame needs.
int __mvCD_BufferSize(MVcodec *codec, size_t *bytes);
int __mvCD_Compress(MVcodec *codec, size_t *compressedSize, int *isKeyFrame, void *frame,
                    size_t bufferSize, void *buffer);
int __mvCD_Decompress(MVcodec *codec, size_t compressedSize, const void *data, void *frame);
// Has a "JPEG" codec code and decode full-range JFIF pictures, colour
// converted by the JPEG library, as QuickTime "jpeg" frames are; other
// codecs are left as they are.
int __mvCD_UseFullRange(MVcodec *codec);
// Tells the decompressor the playback speed: a codec that can (MPEG Video)
// leaves out pictures at speeds above 1 to keep up.
int __mvCD_SetSpeed(MVcodec *codec, double speed);
// Whether the last decompress handed out a picture (a codec that leaves
// pictures out at speed hands out none for them; the frame is then as it was).
int __mvCD_Delivered(MVcodec *codec);

// Detaches a movie from the playback engine before it is closed: 0 when the
// movie was not bound or was released, -1 when the release failed (the close
// is then abandoned).
int __mvPB_CloseHackForPublicAPI(MVid movie);

#endif
