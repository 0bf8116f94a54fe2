// The inverse DCT of one 8 x 8 block, in single-precision floats, and the
// shortcut for blocks that carry only their first coefficient.
//
// The transform is the separable fast form that needs five multiplications
// per eight points (after Arai, Agui and Nakajima): its per-coefficient
// scale factors are folded into dequantisation, so a coefficient enters the
// block already multiplied by kIdctScale at its position. Blocks hold their
// coefficients transposed (horizontal frequency in the row index: raster
// position p at (p % 8) × 8 + p / 8), which saves the transform one
// transpose; the scale table is the same either way.
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_IDCT_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_IDCT_H

#include <array>
#include <cstdint>

namespace cl::codecs::mpeg {

// s(u) × s(v) / 8 with s(0) = 1 and s(k) = √2 cos(kπ/16).
extern const std::array<float, 64> kIdctScale;

constexpr int TransposedIndex(int raster) { return (raster % 8) * 8 + raster / 8; }

// Transforms the block (64 floats, 16-byte aligned) and writes its samples, rounded and clipped to
// 0..255, over an 8 x 8 area (intra blocks).
void IdctPut(float* block, uint8_t* dst, int stride);

// Transforms the block and adds it to the 8 x 8 prediction at dst, clipping
// every sum (non-intra blocks).
void IdctAdd(float* block, uint8_t* dst, int stride);

// The first coefficient alone: value >> 3 written to (or added to) all 64
// samples, clipped.
void DcPut(int coefficient, uint8_t* dst, int stride);
void DcAdd(int coefficient, uint8_t* dst, int stride);

}  // namespace cl::codecs::mpeg

#endif
