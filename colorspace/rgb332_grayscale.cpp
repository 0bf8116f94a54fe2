// Converters from the one-byte layouts. RGB332 codes expand through the
// expansion table (so code 0xFF is white and 0x00 black) and reach grey and
// YUV through per-code tables computed with the same formulas as the RGB
// family. Grey levels replicate into the colour channels, or become luma
// with neutral chroma (U = V = 128).
#include "converters.h"
#include "dither.h"
#include "pixel.h"
#include "rgb_sources.h"
#include "tables.h"

namespace cinelark::cs {

int RGB332ToRGB(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 3, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i, d += 3) {
            uint8_t c = s[i];
            d[0] = kRgb332.blue[c];
            d[1] = kRgb332.green[c];
            d[2] = kRgb332.red[c];
        }
    });
}

// The expanded code is a whole pixel, so the X byte is written as 0.
int RGB332ToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 4, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i) {
            Rgb p = Rgb332Codes::at(s, i);
            store32(d + 4 * i, packRGB(p.r, p.g, p.b));
        }
    });
}

int RGB332ToRGBA(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 4, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i) {
            Rgb p = Rgb332Codes::at(s, i);
            store32(d + 4 * i, 0xFF000000u | packRGB(p.r, p.g, p.b));
        }
    });
}

int RGB332ToGrayscale(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    const Rgb332ToYuvTables& t = rgb332ToYuvTables();
    return walkPixelRows(width, height, src, 1, dst, 1, [&t, width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i)
            d[i] = t.y[s[i]];
    });
}

int RGB332ToYUV(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    const Rgb332ToYuvTables& t = rgb332ToYuvTables();
    return walkPixelRows(width, height, src, 1, dst, 3, [&t, width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i, d += 3) {
            uint8_t c = s[i];
            d[0] = t.u[c];
            d[1] = t.y[c];
            d[2] = t.v[c];
        }
    });
}

static int rgb332ToPairs(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const Rgb332ToYuvTables& t = rgb332ToYuvTables();
    return walkPixelRows(width, height, src, 1, dst, 2, [&t, width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i + 1 < width; i += 2, d += 4) {
            d[0] = t.u[s[i]];
            d[1] = t.y[s[i]];
            d[2] = t.v[s[i]];
            d[3] = t.y[s[i + 1]];
        }
    });
}

int RGB332ToYUV422(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return rgb332ToPairs(width, height, src, dst);
}

int RGB332ToYUV422HC(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return rgb332ToPairs(width, height, src, dst);
}

int GrayscaleToRGB(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 3, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i, d += 3)
            d[0] = d[1] = d[2] = s[i];
    });
}

// Like RGB to RGBX, grey to RGBX keeps the destination's X byte.
int GrayscaleToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 4, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i, d += 4) {
            uint32_t g = s[i];
            store32(d, (load32(d) & 0xFF000000u) | g * 0x010101u);
        }
    });
}

// Grey to RGBA writes the level into alpha too.
int GrayscaleToRGBA(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 4, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i)
            store32(d + 4 * i, s[i] * 0x01010101u);
    });
}

int GrayscaleToRGB332(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 1, [width](const uint8_t* s, uint8_t* d, int rowsLeft) {
        RowDither dither(rowsLeft);
        for (int i = 0; i < width; ++i)
            d[i] = dither.code(width - 1 - i, s[i], s[i], s[i]);
    });
}

int GrayscaleToYUV(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 3, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i < width; ++i, d += 3) {
            d[0] = 128;
            d[1] = s[i];
            d[2] = 128;
        }
    });
}

static int grayscaleToPairs(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 1, dst, 2, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i + 1 < width; i += 2, d += 4) {
            d[0] = 128;
            d[1] = s[i];
            d[2] = 128;
            d[3] = s[i + 1];
        }
    });
}

int GrayscaleToYUV422(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return grayscaleToPairs(width, height, src, dst);
}

int GrayscaleToYUV422HC(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return grayscaleToPairs(width, height, src, dst);
}

}  // namespace cinelark::cs
