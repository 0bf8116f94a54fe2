// Shared helpers of the colour-space tests; the references are written
// straight from the formulas, without the library's tables.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "cinelark/colorspace.h"

namespace cstest {

inline constexpr int kBpp[8] = {3, 4, 4, 1, 1, 3, 2, 2};
inline constexpr const char* kLayoutNames[8] = {"RGB", "RGBX", "RGBA", "RGB332", "Grayscale", "YUV", "YUV422", "YUV422HC"};

using Bytes = std::vector<uint8_t>;

inline std::size_t pictureBytes(int width, int height, int format)
{
    return static_cast<std::size_t>(width) * height * kBpp[format];
}

// Deterministic pseudo-random bytes.
inline Bytes noise(std::size_t n, uint32_t seed)
{
    Bytes b(n);
    for (auto& v : b) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<uint8_t>(seed >> 24);
    }
    return b;
}

// Converts into a destination of outBytes (by default the picture's size in
// dst) prefilled with `fill`, so that tests see which bytes were left alone.
inline Bytes convert(int width, int height, int src, const Bytes& in, int dst, std::size_t outBytes = 0,
                     uint8_t fill = 0xCD, int* result = nullptr)
{
    Bytes out(outBytes != 0 ? outBytes : pictureBytes(width, height, dst), fill);
    int rc = csConvert(width, height, src, in.data(), dst, out.data());
    if (result != nullptr)
        *result = rc;
    else
        EXPECT_EQ(rc, 0);
    return out;
}

inline uint32_t wordAt(const Bytes& b, std::size_t pixel)
{
    uint32_t w;
    std::memcpy(&w, b.data() + 4 * pixel, 4);
    return w;
}

// The picture with its rows of `row` bytes in the opposite order.
inline Bytes mirrored(const Bytes& picture, std::size_t row)
{
    Bytes m(picture.size());
    for (std::size_t at = 0; at < picture.size(); at += row)
        std::copy_n(picture.begin() + at, row, m.end() - at - row);
    return m;
}

inline void resetSwitches()
{
    csFlipVertically(0);
    csFast(0);
    csZoom(1, 1);
}

// Every test starts and ends with the switches off.
class SwitchesOff : public ::testing::Test {
protected:
    void SetUp() override { resetSwitches(); }
    void TearDown() override { resetSwitches(); }
};

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

inline void PrintTo(const Rgb& c, std::ostream* os) { *os << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

inline Rgb fromWord(uint32_t w) { return {static_cast<int>(w & 0xFF), static_cast<int>(w >> 8 & 0xFF), static_cast<int>(w >> 16 & 0xFF)}; }
inline uint32_t word(Rgb c) { return static_cast<uint32_t>(c.r | c.g << 8 | c.b << 16); }

// The colour of pixel i of an RGB, RGBX or RGBA picture.
inline Rgb pixelOf(const Bytes& out, int format, std::size_t i)
{
    return format == CS_RGB ? Rgb{out[3 * i + 2], out[3 * i + 1], out[3 * i]} : fromWord(wordAt(out, i));
}

// Colours in one of the three RGB layouts as one row; the top byte of
// pixel i's RGBX or RGBA word is top + i * step.
inline Bytes encode(const std::vector<Rgb>& colours, int format, uint8_t top = 0, uint8_t step = 0)
{
    Bytes b(colours.size() * kBpp[format]);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const Rgb& c = colours[i];
        if (format == CS_RGB) {
            b[3 * i] = static_cast<uint8_t>(c.b);
            b[3 * i + 1] = static_cast<uint8_t>(c.g);
            b[3 * i + 2] = static_cast<uint8_t>(c.r);
        } else {
            const uint32_t w = word(c) | static_cast<uint32_t>(static_cast<uint8_t>(top + i * step)) << 24;
            std::memcpy(b.data() + 4 * i, &w, 4);
        }
    }
    return b;
}

struct Yuv {
    int y, u, v;
};

// Samples in a YUV layout, or their luma as grey levels, as one row; in the
// 4:2:2 layouts the two pixels of a pair share chroma, so each pair takes
// two successive samples, which must differ only in Y.
inline Bytes encode(const std::vector<Yuv>& samples, int format)
{
    Bytes b;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Yuv& s = samples[i];
        if (format == CS_GRAYSCALE)
            b.push_back(uint8_t(s.y));
        else if (format == CS_YUV || i % 2 == 0)
            b.insert(b.end(), {uint8_t(s.u), uint8_t(s.y), uint8_t(s.v)});
        else
            b.push_back(uint8_t(s.y));
    }
    return b;
}

// The pixels of a YUV-layout picture that a conversion converts, row by
// row, chroma repeated across 4:2:2 pairs; a row holds whole pairs only.
inline std::vector<std::vector<Yuv>> decode(const Bytes& in, int w, int h, int format)
{
    std::vector<std::vector<Yuv>> rows(h);
    for (int y = 0; y < h; ++y) {
        const uint8_t* r = in.data() + static_cast<std::size_t>(y) * w * kBpp[format];
        if (format == CS_YUV) {
            for (int x = 0; x < w; ++x)
                rows[y].push_back({r[3 * x + 1], r[3 * x], r[3 * x + 2]});
        } else {
            for (int x = 0; x + 1 < w; x += 2) {
                rows[y].push_back({r[2 * x + 1], r[2 * x], r[2 * x + 2]});
                rows[y].push_back({r[2 * x + 3], r[2 * x], r[2 * x + 2]});
            }
        }
    }
    return rows;
}

inline int clamp255(long v) { return static_cast<int>(std::clamp<long>(v, 0, 255)); }

// BT.601 with video-range input, as the exact path defines it: luma scaled
// by 255/219, chroma offsets computed in double and kept in single
// precision, every term rounded to nearest before the sum, then clamped.
inline Rgb refYuvToRgb(int y, int u, int v)
{
    const long luma = std::lround((y - 16) * 255.0 / 219.0);
    const float fR = static_cast<float>((v - 128) * 1.402 * 255.0 / 224.0);
    const float fB = static_cast<float>((u - 128) * 1.772 * 255.0 / 224.0);
    const long gLossV = std::lround(static_cast<double>(fR) * 0.5093696763202726);
    const long gLossU = std::lround(static_cast<double>(fB) * 0.19420783645655879);
    return {clamp255(luma + std::lround(fR)), clamp255(luma - gLossU - gLossV), clamp255(luma + std::lround(fB))};
}

// The fast table's answer: the exact conversion of the centres of the 5-bit
// bins the inputs fall into.
inline Rgb refFastBins(int yBin, int uBin, int vBin) { return refYuvToRgb(8 * yBin + 4, 8 * uBin + 4, 8 * vBin + 4); }

inline Rgb refFast(int y, int u, int v) { return refFastBins(y >> 3, u >> 3, v >> 3); }

// Each colour's Y, U and V, truncated toward zero.
inline std::vector<Yuv> refYuv(const std::vector<Rgb>& colours)
{
    std::vector<Yuv> out;
    for (const auto& [r, g, b] : colours)
        out.push_back({static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b),
                       static_cast<int>(-0.169 * r - 0.331 * g + 0.5 * b + 127.0),
                       static_cast<int>(0.5 * r - 0.419 * g - 0.081 * b + 127.0)});
    return out;
}

inline constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Ordered dither of one pixel; rowsLeft and pixelsLeft count down to 0 at the
// last row and the last pixel of a row.
inline uint8_t refDither(Rgb c, int rowsLeft, int pixelsLeft)
{
    const int d = kBayer[rowsLeft & 3][pixelsLeft & 3];
    int r = c.r, g = c.g, b = c.b;
    if (b < 192)
        b += 4 * d;
    if (r < 224)
        r += 2 * d;
    if (g < 224)
        g += 2 * d;
    return static_cast<uint8_t>((r & 0xE0) | ((b & 0xC0) >> 3) | ((g & 0xE0) >> 5));
}

// The dithered fast table's code: channels saturate at their largest code.
inline uint8_t refSaturatingDither(Rgb c, int rowsLeft, int pixelsLeft)
{
    const int d = kBayer[rowsLeft & 3][pixelsLeft & 3];
    const int r = std::min(c.r + 2 * d, 255) >> 5;
    const int g = std::min(c.g + 2 * d, 255) >> 5;
    const int b = std::min(c.b + 4 * d, 255) >> 6;
    return static_cast<uint8_t>(r << 5 | b << 3 | g);
}

}  // namespace cstest
