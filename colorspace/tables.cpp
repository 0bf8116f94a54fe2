// Run-time tables: the ones whose entries come from floating-point formulas.
// Each accessor builds its table on first call through a function-local
// static, which the language guarantees to initialise exactly once even when
// several threads arrive together.
#include "tables.h"

#include <cmath>
#include <memory>

#include "formulas.h"

namespace cinelark::cs {

namespace {

int16_t roundToInt16(double x) { return static_cast<int16_t>(std::lround(x)); }

YuvTables buildYuvTables()
{
    YuvTables t{};
    for (int i = 0; i < 256; ++i) {
        // No entry lies exactly halfway between two integers, so the
        // rounding of ties does not matter here.
        t.luma[i] = roundToInt16((i - 16) * 255.0 / 219.0);
        float fR = static_cast<float>((i - 128) * 1.402 * 255.0 / 224.0);
        float fB = static_cast<float>((i - 128) * 1.772 * 255.0 / 224.0);
        t.v[i].red = roundToInt16(fR);
        t.v[i].greenLoss = roundToInt16(fR * 0.5093696763202726);
        t.u[i].blue = roundToInt16(fB);
        t.u[i].greenLoss = roundToInt16(fB * 0.19420783645655879);
    }
    return t;
}

std::unique_ptr<uint32_t[]> buildFastTable()
{
    const YuvTables& yuv = yuvTables();
    auto t = std::make_unique<uint32_t[]>(32 * 32 * 32);
    for (int v = 0; v < 32; ++v)
        for (int u = 0; u < 32; ++u)
            for (int y = 0; y < 32; ++y)
                t[v << 10 | u << 5 | y] = yuvToRGBX(yuv, 8 * y + 4, 8 * u + 4, 8 * v + 4);
    return t;
}

uint8_t saturatingCode(int value, int shift, int maxCode)
{
    int code = value >> shift;
    return static_cast<uint8_t>(code > maxCode ? maxCode : code);
}

std::unique_ptr<uint8_t[]> buildDitheredFastTable()
{
    const uint32_t* fast = fastTable();
    auto t = std::make_unique<uint8_t[]>(32 * 32 * 32 * 16);
    for (int bin = 0; bin < 32 * 32 * 32; ++bin) {
        uint32_t w = fast[bin];
        int r = w & 0xFF, g = w >> 8 & 0xFF, b = w >> 16 & 0xFF;
        for (int pos = 0; pos < 16; ++pos) {
            int d = kDither[pos >> 2][pos & 3];
            t[bin * 16 + pos] = static_cast<uint8_t>(saturatingCode(r + 2 * d, 5, 7) << 5 |
                                                     saturatingCode(b + 4 * d, 6, 3) << 3 |
                                                     saturatingCode(g + 2 * d, 5, 7));
        }
    }
    return t;
}

Rgb332ToYuvTables buildRgb332ToYuvTables()
{
    Rgb332ToYuvTables t{};
    for (int c = 0; c < 256; ++c) {
        int r = kRgb332.red[c], g = kRgb332.green[c], b = kRgb332.blue[c];
        t.y[c] = lumaOf(r, g, b);
        t.u[c] = chromaUOf(r, g, b);
        t.v[c] = chromaVOf(r, g, b);
    }
    return t;
}

RgbProducts buildRgbProducts()
{
    RgbProducts t{};
    for (int i = 0; i < 256; ++i) {
        t.yR[i] = 0.299 * i;
        t.yG[i] = 0.587 * i;
        t.yB[i] = 0.114 * i;
        t.uR[i] = -0.169 * i;
        t.uG[i] = 0.331 * i;
        t.uB[i] = 0.5 * i;
        t.vR[i] = 0.5 * i;
        t.vG[i] = 0.419 * i;
        t.vB[i] = 0.081 * i;
    }
    return t;
}

}  // namespace

const RgbProducts& rgbProducts()
{
    static const RgbProducts tables = buildRgbProducts();
    return tables;
}

const YuvTables& yuvTables()
{
    static const YuvTables tables = buildYuvTables();
    return tables;
}

const uint32_t* fastTable()
{
    static const std::unique_ptr<uint32_t[]> table = buildFastTable();
    return table.get();
}

const uint8_t* ditheredFastTable()
{
    static const std::unique_ptr<uint8_t[]> table = buildDitheredFastTable();
    return table.get();
}

const Rgb332ToYuvTables& rgb332ToYuvTables()
{
    static const Rgb332ToYuvTables tables = buildRgb332ToYuvTables();
    return tables;
}

}  // namespace cinelark::cs
