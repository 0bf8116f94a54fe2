// The exact YUV-to-RGB path for whole 32-bit words (RGBX and RGBA output),
// in SIMD form where the machine has SSE2.
//
// Each table entry holds four 16-bit lanes in the order red, green, blue, X:
//   luma[Y] = {L, L, L, 0}           L  = round((Y - 16) * 255 / 219)
//   v[V]    = {R, -Gv, 0, 0}         R  = red offset, Gv = green loss from V
//   u[U]    = {0, -Gu, B, 0}         B  = blue offset, Gu = green loss from U
// Adding the three gives the unclamped red, green and blue of a pixel, and
// the saturating pack to unsigned bytes clamps each lane to 0..255 exactly as
// the clamp tables do, leaving the bytes R, G, B, 0: on a little-endian
// machine, the native word 0x00BBGGRR. The results are bit-for-bit those of
// yuvToRGBX in tables.h.
#pragma once

#include <array>
#include <cstdint>

namespace cinelark::cs {

struct alignas(8) Lanes {
    int16_t red, green, blue, x;
};

struct YuvLaneTables {
    std::array<Lanes, 256> luma, u, v;
};

const YuvLaneTables& yuvLaneTables();

// Converts one row of width pixels (whole pairs for 4:2:2) to words ORed with
// topByte (0 for RGBX, 0xFF000000 for RGBA).
void yuv444RowToWords(const uint8_t* src, uint8_t* dst, int width, uint32_t topByte);
void yuv422RowToWords(const uint8_t* src, uint8_t* dst, int width, uint32_t topByte);

}  // namespace cinelark::cs
