// Converters from the RGB family: RGB (bytes B, G, R), RGBX and RGBA (words
// 0xXXBBGGRR). Between the three layouts only bytes move; grey, YUV and the
// 4:2:2 layouts come from the luma and chroma formulas; RGB332 is dithered.
#include "converters.h"
#include "dither.h"
#include "formulas.h"
#include "pixel.h"
#include "rgb_rows.h"
#include "rgb_sources.h"

namespace cinelark::cs {

namespace {

template <typename Src>
int toGrayscale(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const RgbProducts& t = rgbProducts();
    return walkPixelRows(width, height, src, Src::kBpp, dst, 1,
                         [&t, width](const uint8_t* s, uint8_t* d, int) {
                             for (int i = 0; i < width; ++i) {
                                 Rgb p = Src::at(s, i);
                                 d[i] = lumaOf(t, p.r, p.g, p.b);
                             }
                         });
}

template <typename Src>
int toYUV(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const RgbProducts& t = rgbProducts();
    return walkPixelRows(width, height, src, Src::kBpp, dst, 3,
                         [&t, width](const uint8_t* s, uint8_t* d, int) {
                             for (int i = 0; i < width; ++i, d += 3) {
                                 Rgb p = Src::at(s, i);
                                 d[0] = chromaUOf(t, p.r, p.g, p.b);
                                 d[1] = lumaOf(t, p.r, p.g, p.b);
                                 d[2] = chromaVOf(t, p.r, p.g, p.b);
                             }
                         });
}

// Each pair takes its chroma from its first pixel; an odd last pixel is not
// converted and its two bytes are left as they were.
template <typename Src>
int toYUV422(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const RgbProducts& t = rgbProducts();
    return walkPixelRows(width, height, src, Src::kBpp, dst, 2,
                         [&t, width](const uint8_t* s, uint8_t* d, int) {
                             for (int i = 0; i + 1 < width; i += 2, d += 4) {
                                 Rgb p0 = Src::at(s, i);
                                 Rgb p1 = Src::at(s, i + 1);
                                 d[0] = chromaUOf(t, p0.r, p0.g, p0.b);
                                 d[1] = lumaOf(t, p0.r, p0.g, p0.b);
                                 d[2] = chromaVOf(t, p0.r, p0.g, p0.b);
                                 d[3] = lumaOf(t, p1.r, p1.g, p1.b);
                             }
                         });
}

template <typename Src>
int toRGB332(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return walkPixelRows(width, height, src, Src::kBpp, dst, 1,
                         [width](const uint8_t* s, uint8_t* d, int rowsLeft) {
                             RowDither dither(rowsLeft);
                             for (int i = 0; i < width; ++i) {
                                 Rgb p = Src::at(s, i);
                                 d[i] = dither.code(width - 1 - i, p.r, p.g, p.b);
                             }
                         });
}

// Word-to-word copies that force or keep the top byte: RGBX to RGBA sets it
// to 0xFF, RGBA to RGBX copies the words whole.
int wordsWithTop(int width, int height, const uint8_t* src, uint8_t* dst, uint32_t top)
{
    return walkPixelRows(width, height, src, 4, dst, 4,
                         [width, top](const uint8_t* s, uint8_t* d, int) {
                             for (int i = 0; i < width; ++i)
                                 store32(d + 4 * i, load32(s + 4 * i) | top);
                         });
}

// RGBX and RGBA to RGB drop the top byte.
int wordsToRGB(int width, int height, const uint8_t* src, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 4, dst, 3,
                         [width](const uint8_t* s, uint8_t* d, int) { wordsRowToRgb(s, d, width); });
}

}  // namespace

// RGB to RGBX keeps whatever the destination's X byte held; RGB to RGBA
// makes the pixel opaque.
int RGBToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 3, dst, 4, [width](const uint8_t* s, uint8_t* d, int) {
        rgbRowToWords(s, d, width, 0xFF000000u, 0);
    });
}

int RGBToRGBA(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return walkPixelRows(width, height, src, 3, dst, 4, [width](const uint8_t* s, uint8_t* d, int) {
        rgbRowToWords(s, d, width, 0, 0xFF000000u);
    });
}

int RGBToRGB332(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toRGB332<RgbBytes>(width, height, src, dst);
}

int RGBToGrayscale(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toGrayscale<RgbBytes>(width, height, src, dst);
}

int RGBToYUV(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV<RgbBytes>(width, height, src, dst);
}

int RGBToYUV422(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV422<RgbBytes>(width, height, src, dst);
}

int RGBToYUV422HC(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV422<RgbBytes>(width, height, src, dst);
}

int RGBXToRGB(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return wordsToRGB(width, height, src, dst);
}

int RGBXToRGBA(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return wordsWithTop(width, height, src, dst, 0xFF000000u);
}

int RGBXToRGB332(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toRGB332<RgbWords>(width, height, src, dst);
}

int RGBXToGrayscale(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toGrayscale<RgbWords>(width, height, src, dst);
}

int RGBXToYUV(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV<RgbWords>(width, height, src, dst);
}

int RGBXToYUV422(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV422<RgbWords>(width, height, src, dst);
}

int RGBXToYUV422HC(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV422<RgbWords>(width, height, src, dst);
}

int RGBAToRGB(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return wordsToRGB(width, height, src, dst);
}

int RGBAToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return wordsWithTop(width, height, src, dst, 0);
}

int RGBAToRGB332(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toRGB332<RgbWords>(width, height, src, dst);
}

int RGBAToGrayscale(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toGrayscale<RgbWords>(width, height, src, dst);
}

int RGBAToYUV(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV<RgbWords>(width, height, src, dst);
}

int RGBAToYUV422(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV422<RgbWords>(width, height, src, dst);
}

int RGBAToYUV422HC(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return toYUV422<RgbWords>(width, height, src, dst);
}

}  // namespace cinelark::cs
