// Converters from the YUV layouts (YUV, YUV422, YUV422HC) by the exact path,
// the YUV-to-RGBX dispatchers that pick a fast or zoom variant from the
// switches, and the moves between the YUV layouts themselves.
//
// The exact path is integer table lookups, additions and clamping only (see
// tables.h and yuv_words.h), so that every build and every machine produces
// the same pixels.
#include <cstring>

#include "converters.h"
#include "dither.h"
#include "pixel.h"
#include "rgb_rows.h"
#include "tables.h"
#include "yuv_layouts.h"
#include "yuv_words.h"

namespace cinelark::cs {

namespace {

// The exact path for each source layout: its word converter from
// yuv_words.h.
struct Exact444 : Yuv444 {
    static constexpr auto words = yuv444RowToWords;
};

struct Exact422 : Yuv422 {
    static constexpr auto words = yuv422RowToWords;
};

// RGBX and RGBA rows go through the word converters of yuv_words.h.
template <typename L>
int exactToWords(int width, int height, const uint8_t* src, uint8_t* dst, uint32_t topByte)
{
    return walkPixelRows(width, height, src, L::kBpp, dst, 4, [width, topByte](const uint8_t* s, uint8_t* d, int) {
        L::words(s, d, width, topByte);
    });
}

template <typename L>
int exactToRGBX(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return exactToWords<L>(width, height, src, dst, 0);
}

template <typename L>
int exactToRGBA(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return exactToWords<L>(width, height, src, dst, 0xFF000000u);
}

// RGB and RGB332 rows are made from words too, a chunk of the row at a
// time through a small buffer on the stack; chunks hold whole 4:2:2 pairs.
inline constexpr int kChunk = 256;

template <typename L, typename Finish>
void inWordChunks(const uint8_t* s, int width, Finish&& finish)
{
    alignas(16) uint8_t words[kChunk * 4];
    for (int x = 0; x < width; x += kChunk) {
        const int n = width - x < kChunk ? width - x : kChunk;
        L::words(s + static_cast<std::size_t>(x) * L::kBpp, words, n, 0);
        finish(words, x, L::pixels(n));
    }
}

template <typename L>
int exactToRGB(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return walkPixelRows(width, height, src, L::kBpp, dst, 3, [width](const uint8_t* s, uint8_t* d, int) {
        inWordChunks<L>(s, width, [d](const uint8_t* words, int x, int count) {
            wordsRowToRgb(words, d + 3 * static_cast<std::size_t>(x), count);
        });
    });
}

template <typename L>
int exactToRGB332(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return walkPixelRows(width, height, src, L::kBpp, dst, 1, [width](const uint8_t* s, uint8_t* d, int rowsLeft) {
        const RowDither dither(rowsLeft);
        inWordChunks<L>(s, width, [d, &dither, width](const uint8_t* words, int x, int count) {
            for (int i = 0; i < count; ++i)
                d[x + i] = dither.code(width - 1 - (x + i), load32(words + 4 * i));
        });
    });
}

// Luma is the grey level.
template <typename L>
int toGrayscale(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return walkPixelRows(width, height, src, L::kBpp, dst, 1, [width](const uint8_t* s, uint8_t* d, int) {
        const int n = L::pixels(width);
        for (int i = 0; i < n; ++i)
            d[i] = static_cast<uint8_t>(L::y(s, i));
    });
}

int yuvToPairs(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 3, dst, 2, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i + 1 < width; i += 2, s += 6, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = s[4];
        }
    });
}

int pairsToYUV(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 2, dst, 3, [width](const uint8_t* s, uint8_t* d, int) {
        for (int i = 0; i + 1 < width; i += 2, s += 4, d += 6) {
            d[0] = d[3] = s[0];
            d[1] = s[1];
            d[2] = d[5] = s[2];
            d[4] = s[3];
        }
    });
}

// The YUV-to-RGBX choice, in the order the switches are tested.
template <typename L>
int yuvToRGBX(int width, int height, int srcFormat, const uint8_t* src, int dstFormat, uint8_t* dst,
              Converter* zoomX2Y4, Converter* zoom2, Converter* fast)
{
    const int zoom = zoomY();
    Converter* variant = zoom >= 4 ? zoomX2Y4 : zoom >= 2 ? zoom2 : fastMode() ? fast : nullptr;
    if (variant != nullptr)
        return variant(width, height, srcFormat, src, dstFormat, dst);
    return exactToRGBX<L>(width, height, src, dst);
}

}  // namespace

int YUVToRGBX(int width, int height, int srcFormat, const uint8_t* src, int dstFormat, uint8_t* dst)
{
    return yuvToRGBX<Exact444>(width, height, srcFormat, src, dstFormat, dst, FastZoomX2Y4YUVToRGBX,
                               FastZoom2YUVToRGBX, FastYUVToRGBX);
}

int YUV422ToRGBX(int width, int height, int srcFormat, const uint8_t* src, int dstFormat, uint8_t* dst)
{
    return yuvToRGBX<Exact422>(width, height, srcFormat, src, dstFormat, dst,
                               FastZoomX2Y4YUV422ToRGBX, FastZoom2YUV422ToRGBX, FastYUV422ToRGBX);
}

// Only the YUV422HC path has the row-interpolating zoom, from factor 5.
int YUV422HCToRGBX(int width, int height, int srcFormat, const uint8_t* src, int dstFormat,
                   uint8_t* dst)
{
    if (zoomY() >= 5)
        return FastZoomX2Y4YUV422HCToRGBXInt(width, height, srcFormat, src, dstFormat, dst);
    return yuvToRGBX<Exact422>(width, height, srcFormat, src, dstFormat, dst,
                               FastZoomX2Y4YUV422HCToRGBX, FastZoom2YUV422HCToRGBX,
                               FastYUV422HCToRGBX);
}

int YUV422HCToRGB332(int width, int height, int srcFormat, const uint8_t* src, int dstFormat,
                     uint8_t* dst)
{
    if (zoomY() >= 2)
        return FastZoom2YUV422HCToRGB332(width, height, srcFormat, src, dstFormat, dst);
    if (fastMode())
        return FastYUV422HCToRGB332(width, height, srcFormat, src, dstFormat, dst);
    return exactToRGB332<Exact422>(width, height, src, dst);
}

int YUVToRGB(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return exactToRGB<Exact444>(width, height, src, dst);
}

int YUVToRGBA(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return exactToRGBA<Exact444>(width, height, src, dst);
}

int YUVToRGB332(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return exactToRGB332<Exact444>(width, height, src, dst);
}

int YUVToGrayscale(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toGrayscale<Yuv444>(width, height, src, dst);
}

int YUVToYUV422(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return yuvToPairs(width, height, src, dst);
}

int YUVToYUV422HC(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return yuvToPairs(width, height, src, dst);
}

int YUV422ToRGB(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return exactToRGB<Exact422>(width, height, src, dst);
}

int YUV422ToRGBA(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return exactToRGBA<Exact422>(width, height, src, dst);
}

int YUV422ToRGB332(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return exactToRGB332<Exact422>(width, height, src, dst);
}

int YUV422ToGrayscale(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toGrayscale<Yuv422>(width, height, src, dst);
}

int YUV422ToYUV(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return pairsToYUV(width, height, src, dst);
}

// The two 4:2:2 layouts hold the same bytes. This direction copies the
// pixel pairs row by row, honouring the flip switch.
int YUV422ToYUV422HC(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 2, dst, 2, [width](const uint8_t* s, uint8_t* d, int) {
        std::memmove(d, s, static_cast<std::size_t>(width >> 1) * 4);
    });
}

int YUV422HCToRGB(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return exactToRGB<Exact422>(width, height, src, dst);
}

int YUV422HCToRGBA(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return exactToRGBA<Exact422>(width, height, src, dst);
}

int YUV422HCToGrayscale(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toGrayscale<Yuv422>(width, height, src, dst);
}

int YUV422HCToYUV(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return pairsToYUV(width, height, src, dst);
}

// This direction is one block move of the whole picture and ignores the
// flip switch.
int YUV422HCToYUV422(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    if (width > 0 && height > 0)
        std::memmove(dst, src, static_cast<std::size_t>(width) * height * 2);
    return 0;
}

}  // namespace cinelark::cs
