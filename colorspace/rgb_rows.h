// Row loops between RGB bytes (B, G, R) and 32-bit words (0xXXBBGGRR), the
// busiest byte moves of the display path. On x86-64 machines with SSSE3 a
// byte-shuffle form runs, chosen once on first use; elsewhere a plain loop.
#pragma once

#include <cstdint>

namespace cinelark::cs {

// RGB to words: each word gets the pixel's colour; its top byte keeps what
// the destination held (keepMask 0xFF000000, topByte 0) or is set (keepMask
// 0, topByte 0xFF000000).
void rgbRowToWords(const uint8_t* src, uint8_t* dst, int width, uint32_t keepMask, uint32_t topByte);

// Words to RGB: the top byte is dropped.
void wordsRowToRgb(const uint8_t* src, uint8_t* dst, int width);

}  // namespace cinelark::cs
