// The fast and zooming YUV converters, all through the 32 x 32 x 32 fast
// table (one lookup per output pixel, luma and chroma reduced to 5-bit bins).
//
// Zoom2 writes 2*width x 2*height: each source pixel gives two output
// pixels, the second with the luma bin midway to the next pixel's (the last
// pixel of a row repeats its own), and each output row is written twice.
// ZoomX2Y4 writes 2*width x 4*height: per source row, two rows as in Zoom2
// and then two rows whose luma bins lie midway to the next source row (the
// last row repeats itself); chroma always comes from the current row.
// FastZoomX2Y4YUV422HCToRGBXInt (zoom 5 and up) interpolates the full 8-bit
// luma instead:
// output row k of 4 takes (4-k)/4 of this row's luma and k/4 of the next
// row's, and the second pixel of each output pair the mean of its
// neighbours, before the result is reduced to its bin.
// The RGB332 variants for YUV422HC read the dithered fast table at the
// matrix phase of each output pixel.
#include <cstring>

#include "converters.h"
#include "pixel.h"
#include "tables.h"
#include "yuv_layouts.h"

namespace cinelark::cs {

namespace {

// Writes one doubled row of n source pixels. level(i) is the luma of pixel
// i in whatever scale; shift turns a level into a 5-bit bin; put(x, index)
// stores output pixel x from a fast-table index.
template <typename L, int kShift, typename Level, typename Put>
inline void doubledRow(const uint8_t* s, int n, Level&& level, Put&& put)
{
    if (n <= 0)
        return;
    int cur = level(0);
    for (int i = 0; i + 1 < n; ++i) {
        const int next = level(i + 1);
        const int c = fastChroma<L>(s, i);
        put(2 * i, c | cur >> kShift);
        put(2 * i + 1, c | ((cur + next) >> 1) >> kShift);
        cur = next;
    }
    const int c = fastChroma<L>(s, n - 1);
    put(2 * n - 2, c | cur >> kShift);
    put(2 * n - 1, c | cur >> kShift);
}

// Output row j of a block of rows written for one source row, in picture
// order whatever the flip switch says.
inline uint8_t* blockRow(uint8_t* block, int j, int rowsInBlock, std::size_t rowBytes)
{
    const int k = flipping() ? rowsInBlock - 1 - j : j;
    return block + static_cast<std::size_t>(k) * rowBytes;
}

template <typename L>
int fastToRGBX(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const uint32_t* fast = fastTable();
    return walkPixelRows(width, height, src, L::kBpp, dst, 4, [fast, width](const uint8_t* s, uint8_t* d, int) {
        const int n = L::pixels(width);
        for (int i = 0; i < n; ++i)
            store32(d + 4 * i, fast[fastChroma<L>(s, i) | L::y(s, i) >> 3]);
    });
}

// The 4:2:2 fast path reads a pair as one 32-bit value U | Y0 << 8 |
// V << 16 | Y1 << 24 and cuts the table index out of it with shifts and
// masks: V's top 5 bits (19-23) go to bits 10-14, U's (3-7) to bits 5-9,
// and each Y's top 5 bits to bits 0-4.
template <>
int fastToRGBX<Yuv422>(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const uint32_t* fast = fastTable();
    return walkPixelRows(width, height, src, 2, dst, 4, [fast, width](const uint8_t* s, uint8_t* d, int) {
        const int pairs = width >> 1;
        for (int p = 0; p < pairs; ++p, s += 4, d += 8) {
            const uint32_t q = s[0] | s[1] << 8 | s[2] << 16 | static_cast<uint32_t>(s[3]) << 24;
            const uint32_t* bin = fast + ((q >> 9 & 0x7C00) | (q << 2 & 0x3E0));
            store32(d, bin[q >> 11 & 0x1F]);
            store32(d + 4, bin[q >> 27]);
        }
    });
}

template <typename L>
int zoom2ToRGBX(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const uint32_t* fast = fastTable();
    const std::size_t outRow = static_cast<std::size_t>(width) * 8;
    return walkRows(width, height, src, static_cast<std::size_t>(width) * L::kBpp, dst, 2 * outRow,
                    [fast, width, outRow](const uint8_t* s, uint8_t* block, int) {
                        uint8_t* first = block;
                        doubledRow<L, 0>(
                            s, L::pixels(width), [s](int i) { return L::y(s, i) >> 3; },
                            [fast, first](int x, int index) { store32(first + 4 * x, fast[index]); });
                        std::memcpy(block + outRow, block, outRow);
                    });
}

template <typename L>
int zoomX2Y4ToRGBX(int width, int height, const uint8_t* src, uint8_t* dst)
{
    const uint32_t* fast = fastTable();
    const std::size_t srcRow = static_cast<std::size_t>(width) * L::kBpp;
    const std::size_t outRow = static_cast<std::size_t>(width) * 8;
    return walkRows(width, height, src, srcRow, dst, 4 * outRow,
                    [fast, width, srcRow, outRow](const uint8_t* s, uint8_t* block, int rowsLeft) {
                        const uint8_t* below = rowsLeft > 0 ? s + srcRow : s;
                        const int n = L::pixels(width);
                        uint8_t* row0 = blockRow(block, 0, 4, outRow);
                        uint8_t* row2 = blockRow(block, 2, 4, outRow);
                        doubledRow<L, 0>(
                            s, n, [s](int i) { return L::y(s, i) >> 3; },
                            [fast, row0](int x, int index) { store32(row0 + 4 * x, fast[index]); });
                        doubledRow<L, 0>(
                            s, n, [s, below](int i) { return ((L::y(s, i) >> 3) + (L::y(below, i) >> 3)) >> 1; },
                            [fast, row2](int x, int index) { store32(row2 + 4 * x, fast[index]); });
                        std::memcpy(blockRow(block, 1, 4, outRow), row0, outRow);
                        std::memcpy(blockRow(block, 3, 4, outRow), row2, outRow);
                    });
}

}  // namespace

int FastYUVToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return fastToRGBX<Yuv444>(width, height, src, dst);
}

int FastZoom2YUVToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return zoom2ToRGBX<Yuv444>(width, height, src, dst);
}

int FastZoomX2Y4YUVToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return zoomX2Y4ToRGBX<Yuv444>(width, height, src, dst);
}

int FastYUV422ToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return fastToRGBX<Yuv422>(width, height, src, dst);
}

int FastZoom2YUV422ToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return zoom2ToRGBX<Yuv422>(width, height, src, dst);
}

int FastZoomX2Y4YUV422ToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return zoomX2Y4ToRGBX<Yuv422>(width, height, src, dst);
}

int FastYUV422HCToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return fastToRGBX<Yuv422>(width, height, src, dst);
}

int FastZoom2YUV422HCToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return zoom2ToRGBX<Yuv422>(width, height, src, dst);
}

int FastZoomX2Y4YUV422HCToRGBX(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    return zoomX2Y4ToRGBX<Yuv422>(width, height, src, dst);
}

int FastZoomX2Y4YUV422HCToRGBXInt(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    const uint32_t* fast = fastTable();
    const std::size_t srcRow = static_cast<std::size_t>(width) * 2;
    const std::size_t outRow = static_cast<std::size_t>(width) * 8;
    return walkRows(width, height, src, srcRow, dst, 4 * outRow,
                    [fast, width, srcRow, outRow](const uint8_t* s, uint8_t* block, int rowsLeft) {
                        const uint8_t* below = rowsLeft > 0 ? s + srcRow : s;
                        const int n = Yuv422::pixels(width);
                        for (int k = 0; k < 4; ++k) {
                            uint8_t* out = blockRow(block, k, 4, outRow);
                            doubledRow<Yuv422, 3>(
                                s, n,
                                [s, below, k](int i) {
                                    return (Yuv422::y(s, i) * (4 - k) + Yuv422::y(below, i) * k) >> 2;
                                },
                                [fast, out](int x, int index) { store32(out + 4 * x, fast[index]); });
                        }
                    });
}

int FastYUV422HCToRGB332(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    const uint8_t* dithered = ditheredFastTable();
    return walkPixelRows(width, height, src, 2, dst, 1, [dithered, width](const uint8_t* s, uint8_t* d, int rowsLeft) {
        const int phaseRow = (rowsLeft & 3) << 2;
        const int pairs = width >> 1;
        for (int p = 0; p < pairs; ++p, s += 4) {
            const int chroma = fastIndex(0, s[0], s[2]);
            const int x = 2 * p;
            d[x] = dithered[(chroma | s[1] >> 3) << 4 | phaseRow | ((width - 1 - x) & 3)];
            d[x + 1] = dithered[(chroma | s[3] >> 3) << 4 | phaseRow | ((width - 2 - x) & 3)];
        }
    });
}

// The dither phase follows the output picture: output rows and columns
// counted down from its end.
int FastZoom2YUV422HCToRGB332(int width, int height, int, const uint8_t* src, int, uint8_t* dst)
{
    const uint8_t* dithered = ditheredFastTable();
    const std::size_t srcRow = static_cast<std::size_t>(width) * 2;
    const std::size_t outRow = static_cast<std::size_t>(width) * 2;
    return walkRows(width, height, src, srcRow, dst, 2 * outRow,
                    [dithered, width, outRow](const uint8_t* s, uint8_t* block, int rowsLeft) {
                        const int outWidth = 2 * width;
                        for (int k = 0; k < 2; ++k) {
                            uint8_t* out = blockRow(block, k, 2, outRow);
                            const int phaseRow = ((2 * rowsLeft + 1 - k) & 3) << 2;
                            doubledRow<Yuv422, 0>(
                                s, Yuv422::pixels(width), [s](int i) { return Yuv422::y(s, i) >> 3; },
                                [dithered, out, phaseRow, outWidth](int x, int index) {
                                    out[x] = dithered[index << 4 | phaseRow | ((outWidth - 1 - x) & 3)];
                                });
                        }
                    });
}

}  // namespace cinelark::cs
