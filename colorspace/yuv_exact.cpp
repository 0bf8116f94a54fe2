// Converters from the YUV layouts (YUV, YUV422, YUV422HC) by the exact path,
// the YUV-to-RGBX dispatchers that pick a fast or zoom variant from the
// switches, and the moves between the YUV layouts themselves.
//
// The exact path is table lookups, additions and ORs only (see tables.h), so
// that every build and every machine produces the same pixels.
#include <cstring>

#include "converters.h"
#include "dither.h"
#include "pixel.h"
#include "tables.h"
#include "yuv_layouts.h"
#include "yuv_words.h"

namespace cinelark::cs {

namespace {

// Row converters of the exact path: put(i, rgbxWord) receives each pixel.
struct Exact444 : Yuv444 {
    static constexpr auto words = yuv444RowToWords;
    template <typename Put>
    static void row(const YuvTables& t, const uint8_t* s, int width, Put&& put)
    {
        for (int i = 0; i < width; ++i, s += 3)
            put(i, yuvToRGBX(t, s[1], s[0], s[2]));
    }
};

// A pair shares its chroma, so its three clamp-table rows are found once and
// each pixel is one luma lookup and three clamp lookups.
struct Exact422 : Yuv422 {
    static constexpr auto words = yuv422RowToWords;
    template <typename Put>
    static void row(const YuvTables& t, const uint8_t* s, int width, Put&& put)
    {
        const uint32_t* red = kClamp.red.data() + kClampBias;
        const uint32_t* green = kClamp.green.data() + kClampBias;
        const uint32_t* blue = kClamp.blue.data() + kClampBias;
        const int pairs = width >> 1;
        for (int p = 0; p < pairs; ++p, s += 4) {
            const ChromaU cu = t.u[s[0]];
            const ChromaV cv = t.v[s[2]];
            const uint32_t* r = red + cv.red;
            const uint32_t* g = green - cu.greenLoss - cv.greenLoss;
            const uint32_t* b = blue + cu.blue;
            const int l0 = t.luma[s[1]];
            const int l1 = t.luma[s[3]];
            put(2 * p, r[l0] | g[l0] | b[l0]);
            put(2 * p + 1, r[l1] | g[l1] | b[l1]);
        }
    }
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

template <typename L>
int exactToRGB(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const YuvTables& t = yuvTables();
    return walkPixelRows(width, height, src, L::kBpp, dst, 3, [&t, width](const uint8_t* s, uint8_t* d, int) {
        L::row(t, s, width, [d](int i, uint32_t w) {
            uint8_t* p = d + 3 * i;
            p[0] = static_cast<uint8_t>(w >> 16);
            p[1] = static_cast<uint8_t>(w >> 8);
            p[2] = static_cast<uint8_t>(w);
        });
    });
}

template <typename L>
int exactToRGB332(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const YuvTables& t = yuvTables();
    return walkPixelRows(width, height, src, L::kBpp, dst, 1,
                         [&t, width](const uint8_t* s, uint8_t* d, int rowsLeft) {
                             RowDither dither(rowsLeft);
                             L::row(t, s, width, [d, &dither, width](int i, uint32_t w) {
                                 d[i] = dither.code(width - 1 - i, w);
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
