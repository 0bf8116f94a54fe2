// Readers for the sources that hold red, green and blue: RGB bytes, RGBX and
// RGBA words, and RGB332 codes through the expansion table. The conversions
// to grey, YUV, the 4:2:2 layouts and RGB332 are written once over these.
#pragma once

#include <cstdint>

#include "pixel.h"
#include "tables.h"

namespace cinelark::cs {

struct Rgb {
    int r, g, b;
};

struct RgbBytes {
    static constexpr int kBpp = 3;
    static Rgb at(const uint8_t* row, int i)
    {
        const uint8_t* p = row + 3 * i;
        return {p[2], p[1], p[0]};
    }
};

struct RgbWords {
    static constexpr int kBpp = 4;
    static Rgb at(const uint8_t* row, int i)
    {
        uint32_t w = load32(row + 4 * i);
        return {static_cast<int>(w & 0xFF), static_cast<int>(w >> 8 & 0xFF),
                static_cast<int>(w >> 16 & 0xFF)};
    }
};

struct Rgb332Codes {
    static constexpr int kBpp = 1;
    static Rgb at(const uint8_t* row, int i)
    {
        uint8_t c = row[i];
        return {kRgb332.red[c], kRgb332.green[c], kRgb332.blue[c]};
    }
};

}  // namespace cinelark::cs
