// A lossless test codec that stores the common stream header and the frames
// as they are, so the tests drive every core path a real codec uses.
#ifndef CINELARK_TESTS_COMPRESSION_COPY_CODEC_H
#define CINELARK_TESTS_COMPRESSION_COPY_CODEC_H

#include <cinelark/cl.h>

// Registers the codec on first use (video type) and returns its scheme.
int CopyCodecScheme();

// Adds another row of the same routines; returns clAddAlgorithm's result.
int AddCopyAlgorithm(const char* name, int type, int* scheme);

// Bytes of the stream header the codec writes.
constexpr int kCopyHeaderBytes = 40;

// The last value the core passed to the codec's setParams routine.
int CopyLastSetValue();

#endif
