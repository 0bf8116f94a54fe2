// A small lossless codec registered by the tests through clAddAlgorithm: it
// writes the common stream header and then each frame's bytes as they are,
// through the stream writer, and reads them back through the stream reader.
// It lets the tests drive every core path a real codec uses.
#ifndef CINELARK_TESTS_COMPRESSION_COPY_CODEC_H
#define CINELARK_TESTS_COMPRESSION_COPY_CODEC_H

#include <cinelark/cl.h>

// Registers the codec on first use (video type) and returns its scheme.
int CopyCodecScheme();

// Bytes of the stream header the codec writes.
constexpr int kCopyHeaderBytes = 40;

// The last value the core passed to the codec's setParams routine.
int CopyLastSetValue();

#endif
