// The conversion tables. Integer-only tables (clamping, RGB332 expansion, the
// dither matrix and the dithering steps) are computed at compile time. The
// tables derived in floating point are built once, on first use, by the
// accessor functions below (function-local statics, so two threads that
// convert for the first time at once both wait for one build) and never
// change afterwards.
#pragma once

#include <array>
#include <cstdint>

namespace cinelark::cs {

// Clamp tables: for an index i, 0 below 0, i for 0..255 and 255 above,
// shifted into the red (bits 0-7), green (8-15) or blue (16-23) byte of an
// RGBX word, so that ORing one entry of each gives a pixel. The exact YUV
// path indexes them with luma offset plus chroma offset, which spans -277
// (Y 0, U 0) to 534 (Y 255, U 255); the tables cover -384..639 so that no
// input can reach outside them.
inline constexpr int kClampBias = 384;
inline constexpr int kClampSize = 1024;

struct ClampTables {
    std::array<uint32_t, kClampSize> red, green, blue;
};

inline constexpr ClampTables makeClampTables()
{
    ClampTables t{};
    for (int i = 0; i < kClampSize; ++i) {
        int v = i - kClampBias;
        uint32_t c = v < 0 ? 0u : v > 255 ? 255u : static_cast<uint32_t>(v);
        t.red[i] = c;
        t.green[i] = c << 8;
        t.blue[i] = c << 16;
    }
    return t;
}

inline constexpr ClampTables kClamp = makeClampTables();

// Exact YUV to RGB (ITU-R BT.601, video-range input: luma 16-235 scaled by
// 255/219, chroma centred on 128 scaled by 255/224, output clamped 0..255).
// Each chroma value contributes its offsets through one table entry, so a
// pixel pair costs two lookups for chroma and every pixel one for luma and
// three clamp lookups:
//   red   = clampRed  [luma[Y] + u/v red offset]
//   blue  = clampBlue [luma[Y] + blue offset]
//   green = clampGreen[luma[Y] - green loss from U - green loss from V]
struct ChromaV {
    int16_t red;        // round(fR), fR = (V - 128) * 1.402 * 255 / 224 kept in single precision
    int16_t greenLoss;  // round(fR * 0.5093696763202726)
};

struct ChromaU {
    int16_t blue;       // round(fB), fB = (U - 128) * 1.772 * 255 / 224 kept in single precision
    int16_t greenLoss;  // round(fB * 0.19420783645655879)
};

struct YuvTables {
    std::array<int16_t, 256> luma;  // round((Y - 16) * 255 / 219)
    std::array<ChromaV, 256> v;
    std::array<ChromaU, 256> u;
};

const YuvTables& yuvTables();

// Exact conversion of one Y, U, V triple to an RGBX word (X = 0).
inline uint32_t yuvToRGBX(const YuvTables& t, int y, int u, int v)
{
    int o = t.luma[y] + kClampBias;
    return kClamp.red[o + t.v[v].red] | kClamp.blue[o + t.u[u].blue] |
           kClamp.green[o - t.u[u].greenLoss - t.v[v].greenLoss];
}

// Fast table: 32 x 32 x 32 RGBX words indexed (V>>3)*1024 + (U>>3)*32 + (Y>>3),
// each the exact conversion of the bin centres 8k+4.
inline constexpr int fastIndex(int y, int u, int v) { return (v >> 3) << 10 | (u >> 3) << 5 | y >> 3; }
const uint32_t* fastTable();

// The 4x4 ordered-dither (Bayer) matrix.
inline constexpr uint8_t kDither[4][4] = {
    {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Dithering to RGB332: with d the matrix value, blue below 192 gets 4d added,
// red and green below 224 get 2d added, then red keeps its top 3 bits, blue
// its top 2 and green its top 3. These tables hold, for each of the 16 matrix
// values and each input level, that channel's bits already in place in the
// code byte, so the per-pixel work is three lookups and two ORs.
struct DitherTables {
    std::array<std::array<uint8_t, 256>, 16> red, green, blue;
};

inline constexpr DitherTables makeDitherTables()
{
    DitherTables t{};
    for (int d = 0; d < 16; ++d) {
        for (int v = 0; v < 256; ++v) {
            int rg = v < 224 ? v + 2 * d : v;
            int b = v < 192 ? v + 4 * d : v;
            t.red[d][v] = static_cast<uint8_t>(rg & 0xE0);
            t.green[d][v] = static_cast<uint8_t>((rg & 0xE0) >> 5);
            t.blue[d][v] = static_cast<uint8_t>((b & 0xC0) >> 3);
        }
    }
    return t;
}

inline constexpr DitherTables kDitherSteps = makeDitherTables();

// Dithered fast table for YUV422HC to RGB332: for each of the 32768 colour
// bins of the fast table, 16 codes, one per matrix position (row phase * 4 +
// column phase). Here a dithered channel that would pass 255 saturates at
// its largest code instead of being left undithered.
const uint8_t* ditheredFastTable();

// RGB332 expansion: red (c & 0xE0) | >>3 | >>6; green g*36 | g>>1 for
// g = c & 7; blue b*10 | b>>1 | b>>3 for b = c & 0x18 (0, 85, 170, 255).
struct Rgb332Expansion {
    std::array<uint8_t, 256> red, green, blue;
};

inline constexpr Rgb332Expansion makeRgb332Expansion()
{
    Rgb332Expansion t{};
    for (int c = 0; c < 256; ++c) {
        int r = c & 0xE0, g = c & 7, b = c & 0x18;
        t.red[c] = static_cast<uint8_t>(r | r >> 3 | r >> 6);
        t.green[c] = static_cast<uint8_t>(g * 36 | g >> 1);
        t.blue[c] = static_cast<uint8_t>(b * 10 | b >> 1 | b >> 3);
    }
    return t;
}

inline constexpr Rgb332Expansion kRgb332 = makeRgb332Expansion();

// Luma (which is also the grey level) and chroma of each RGB332 code, from
// its expanded components by the formulas in formulas.h.
struct Rgb332ToYuvTables {
    std::array<uint8_t, 256> y, u, v;
};

const Rgb332ToYuvTables& rgb332ToYuvTables();

}  // namespace cinelark::cs
