// Pixel access and the row walk shared by every converter.
//
// Byte-sequence layouts (RGB, RGB332, grey, YUV and the 4:2:2 pairs) are read
// byte by byte. RGBX and RGBA pixels are native 32-bit words 0xXXBBGGRR that
// may lie at any byte address, so they go through memcpy, which the compiler
// turns into a plain load or store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "switches.h"

namespace cinelark::cs {

inline uint32_t load32(const uint8_t* p)
{
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline void store32(uint8_t* p, uint32_t w) { std::memcpy(p, &w, sizeof w); }

inline uint32_t packRGB(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

// Bytes per pixel of each layout id; the 4:2:2 layouts count 2 (a pair is 4
// bytes) and id 8 has no converters, hence 0.
inline constexpr int kBytesPerPixel[9] = {3, 4, 4, 1, 1, 3, 2, 2, 0};

// Walks the rows of one conversion. rowFn(srcRow, dstRow, rowsLeft) converts
// one row; rowsLeft counts down from height - 1 to 0 and gives the dithering
// converters their row phase. With the flip switch on, the destination is
// walked from its last row upwards. The zooming converters pass a
// destination "row" that is a block of several output rows.
template <typename RowFn>
inline int walkRows(int width, int height, const uint8_t* src, std::size_t srcRowBytes,
                    uint8_t* dst, std::size_t dstRowBytes, RowFn&& rowFn)
{
    if (width <= 0 || height <= 0)
        return 0;
    std::ptrdiff_t step = static_cast<std::ptrdiff_t>(dstRowBytes);
    if (flipping()) {
        dst += static_cast<std::size_t>(height - 1) * dstRowBytes;
        step = -step;
    }
    for (int rowsLeft = height - 1; rowsLeft >= 0; --rowsLeft) {
        rowFn(src, dst, rowsLeft);
        src += srcRowBytes;
        dst += step;
    }
    return 0;
}

// The usual case: one destination row per source row, rows of
// width x bytes-per-pixel bytes.
template <typename RowFn>
inline int walkPixelRows(int width, int height, const uint8_t* src, int srcBpp, uint8_t* dst,
                         int dstBpp, RowFn&& rowFn)
{
    return walkRows(width, height, src, static_cast<std::size_t>(width) * srcBpp, dst,
                    static_cast<std::size_t>(width) * dstBpp, rowFn);
}

}  // namespace cinelark::cs
