// Motion-compensated prediction: a square area (16 x 16 luma, 8 x 8
// chroma) taken from a reference picture at whole- or half-sample offsets,
// stored as the prediction or averaged into the one already there (the
// second direction of a bidirectionally predicted macroblock).
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_MOTION_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_MOTION_H

#include <cstdint>

namespace cl::codecs::mpeg {

// src points at the whole-sample position; halfX and halfY (0 or 1) ask for
// the average with the sample to the right and below, rounded up. The area
// read is (size + halfX) x (size + halfY) samples. dst and src share the
// stride. size is 16 or 8.
void Predict(uint8_t* dst, const uint8_t* src, int stride, int size, int halfX, int halfY, bool average);

}  // namespace cl::codecs::mpeg

#endif
