// Frame layouts to and from RGBA rows. Each conversion picks its row routine
// once and then runs it over every row, so the per-pixel loops stay plain.
#include "pixels.h"

#include <cinelark/dmparams.h>

#include <cstring>
#include <limits>

namespace mvconvert {

namespace {

// A row routine converts width pixels from one layout to the other.
using RowRoutine = void (*)(const uint8_t *src, uint8_t *dst, int width);

// RGBX pixels are R, G, B bytes and a fourth one: only that byte changes,
// so each pixel is one word OR a mask of 255 in its fourth byte, whatever
// the host's byte order (the compiler turns the loop into vector code).
void rgbxRowToRGBA(const uint8_t *src, uint8_t *dst, int width)
{
    static constexpr uint8_t kAlphaBytes[4] = {0, 0, 0, 255};
    uint32_t alpha;
    std::memcpy(&alpha, kAlphaBytes, 4);
    for (int x = 0; x < width; ++x, src += 4, dst += 4) {
        uint32_t v;
        std::memcpy(&v, src, 4);
        v = (v & ~alpha) | alpha;
        std::memcpy(dst, &v, 4);
    }
}

void xbgrRowToRGBA(const uint8_t *src, uint8_t *dst, int width)
{
    for (int x = 0; x < width; ++x, src += 4, dst += 4) {
        uint32_t v;
        std::memcpy(&v, src, 4);
        dst[0] = uint8_t(v >> 16);
        dst[1] = uint8_t(v >> 8);
        dst[2] = uint8_t(v);
        dst[3] = 255;
    }
}

// A 5-bit component c widens to 8 bits as (c << 3) | (c >> 2), the same rule
// the player uses for display, so 31 becomes 255 and 0 stays 0.
constexpr uint8_t widen5(unsigned c) { return uint8_t((c << 3) | (c >> 2)); }

void rgb555RowToRGBA(const uint8_t *src, uint8_t *dst, int width)
{
    for (int x = 0; x < width; ++x, src += 2, dst += 4) {
        uint16_t v;
        std::memcpy(&v, src, 2);
        dst[0] = widen5((v >> 10) & 31);
        dst[1] = widen5((v >> 5) & 31);
        dst[2] = widen5(v & 31);
        dst[3] = 255;
    }
}

void grayRowToRGBA(const uint8_t *src, uint8_t *dst, int width)
{
    for (int x = 0; x < width; ++x, ++src, dst += 4) {
        dst[0] = dst[1] = dst[2] = *src;
        dst[3] = 255;
    }
}

void rgbaRowToRGBX(const uint8_t *src, uint8_t *dst, int width)
{
    for (int x = 0; x < width; ++x, src += 4, dst += 4) {
        const uint32_t v = uint32_t(src[0]) | uint32_t(src[1]) << 8 | uint32_t(src[2]) << 16;
        std::memcpy(dst, &v, 4);
    }
}

void rgbaRowToXBGR(const uint8_t *src, uint8_t *dst, int width)
{
    for (int x = 0; x < width; ++x, src += 4, dst += 4) {
        const uint32_t v = uint32_t(src[2]) | uint32_t(src[1]) << 8 | uint32_t(src[0]) << 16;
        std::memcpy(dst, &v, 4);
    }
}

void rgbaRowToRGB555(const uint8_t *src, uint8_t *dst, int width)
{
    for (int x = 0; x < width; ++x, src += 4, dst += 2) {
        const uint16_t v = uint16_t((src[0] >> 3) << 10 | (src[1] >> 3) << 5 | (src[2] >> 3));
        std::memcpy(dst, &v, 2);
    }
}

// Rec. 601 luma in fixed point: 0.299, 0.587 and 0.114 scaled by 2^16
// (19595 + 38470 + 7471 = 65536), rounded.
void rgbaRowToGray(const uint8_t *src, uint8_t *dst, int width)
{
    for (int x = 0; x < width; ++x, src += 4, ++dst)
        *dst = uint8_t((19595u * src[0] + 38470u * src[1] + 7471u * src[2] + 32768u) >> 16);
}

struct Layout {
    int packing;
    size_t bytes;
    bool bottomFirst;
    RowRoutine toRGBA;
    RowRoutine fromRGBA;
};

constexpr Layout kLayouts[] = {
    {DM_PACKING_RGBX, 4, true, rgbxRowToRGBA, rgbaRowToRGBX},
    {DM_PACKING_GRAY, 1, true, grayRowToRGBA, rgbaRowToGray},
    {DM_PACKING_XBGR, 4, false, xbgrRowToRGBA, rgbaRowToXBGR},
    {DM_PACKING_RGB555, 2, false, rgb555RowToRGBA, rgbaRowToRGB555},
};

const Layout *findLayout(int packing)
{
    for (const Layout &l : kLayouts)
        if (l.packing == packing)
            return &l;
    return nullptr;
}

size_t pixelCount(int width, int height)
{
    if (width <= 0 || height <= 0)
        return 0;
    const size_t n = size_t(width) * size_t(height);
    if (n > std::numeric_limits<size_t>::max() / 4)
        return 0;
    return n;
}

// Runs the row routine over every row of width x height pixels, from rows
// of inBytes a pixel to rows of outBytes, turning the picture over when one
// side is stored bottom row first. False when a side is too small.
bool convertRows(RowRoutine row, int width, int height, std::span<const uint8_t> in, size_t inBytes,
                 std::span<uint8_t> out, size_t outBytes, bool turn)
{
    const size_t n = pixelCount(width, height);
    if (n == 0 || in.size() < n * inBytes || out.size() < n * outBytes)
        return false;
    const size_t inRow = size_t(width) * inBytes, outRow = size_t(width) * outBytes;
    for (int y = 0; y < height; ++y)
        row(in.data() + size_t(y) * inRow, out.data() + size_t(turn ? height - 1 - y : y) * outRow, width);
    return true;
}

}  // namespace

size_t bytesPerPixel(int packing)
{
    const Layout *l = findLayout(packing);
    return l ? l->bytes : 0;
}

size_t frameBytes(int packing, int width, int height)
{
    return pixelCount(width, height) * bytesPerPixel(packing);
}

bool frameToRGBA(int packing, int width, int height, std::span<const uint8_t> frame,
                 std::span<uint8_t> rgba)
{
    const Layout *l = findLayout(packing);
    return l != nullptr && convertRows(l->toRGBA, width, height, frame, l->bytes, rgba, 4, l->bottomFirst);
}

bool rgbaToFrame(int packing, int width, int height, std::span<const uint8_t> rgba,
                 std::span<uint8_t> frame)
{
    const Layout *l = findLayout(packing);
    return l != nullptr && convertRows(l->fromRGBA, width, height, rgba, 4, frame, l->bytes, l->bottomFirst);
}

}  // namespace mvconvert
