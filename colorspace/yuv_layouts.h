// Access to the YUV source layouts, one pixel at a time, for the converters
// that treat YUV (U, Y, V per pixel) and the 4:2:2 layouts (pairs U, Y0, V,
// Y1 sharing chroma) alike. pixels(width) is how many pixels of a row are
// converted: all of them for YUV, whole pairs only for 4:2:2, where an odd
// last pixel is left out.
#pragma once

#include <cstdint>

#include "tables.h"

namespace cinelark::cs {

struct Yuv444 {
    static constexpr int kBpp = 3;
    static int pixels(int width) { return width; }
    static int y(const uint8_t* row, int i) { return row[3 * i + 1]; }
    static int u(const uint8_t* row, int i) { return row[3 * i]; }
    static int v(const uint8_t* row, int i) { return row[3 * i + 2]; }
};

struct Yuv422 {
    static constexpr int kBpp = 2;
    static int pixels(int width) { return width & ~1; }
    static int y(const uint8_t* row, int i) { return row[(i >> 1) * 4 + 1 + ((i & 1) << 1)]; }
    static int u(const uint8_t* row, int i) { return row[(i >> 1) * 4]; }
    static int v(const uint8_t* row, int i) { return row[(i >> 1) * 4 + 2]; }
};

// The chroma part of a fast-table index; OR in the luma bin Y >> 3.
template <typename L>
inline int fastChroma(const uint8_t* row, int i)
{
    return fastIndex(0, L::u(row, i), L::v(row, i));
}

}  // namespace cinelark::cs
