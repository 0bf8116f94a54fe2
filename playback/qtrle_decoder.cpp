// "Apple Animation" (rle ) decoder for depths 2, 4, 8, 16, 24 and 32.
//
// A frame: a 4-byte chunk size; frames shorter than 8 bytes change nothing.
// Then a 2-byte header: with bit 3 set it is followed by the first line to
// change, 2 unused bytes, the number of lines and 2 more unused bytes;
// otherwise every line changes. Each changed line starts with a skip byte:
// 0 ends the frame, s moves s - 1 units right. Then codes, as signed bytes:
//   -1        the line ends
//   0         another skip byte follows
//   n > 0     n units follow literally
//   n < -1    one unit follows and is repeated -n times
// A unit is one pixel at depths 16 (5-5-5 RGB, big-endian), 24 (R, G, B) and
// 32 (A, R, G, B); at depths 8, 4 and 2 it is 4 bytes of colour indices
// holding 4, 8 or 16 pixels, leftmost in the top bits, looked up in
// QuickTime's default colour table for the depth; depths 40, 36 and 34 are
// the same units of 8, 4 and 2 bits indexing a grey ramp from white. Line 0
// is the picture's top line, written into the frame's last row.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "qt_bytes.h"
#include "quicktime_coders.h"

namespace cinelark::playback {

namespace {

// How one depth's units turn into pixels.
template <int Depth>
struct Unit;

template <>
struct Unit<24> {
    static constexpr int bytes = 3, pixels = 1;
    static void expand(const uint8_t *s, uint32_t *d) { d[0] = s[0] | s[1] << 8 | uint32_t(s[2]) << 16; }
};

template <>
struct Unit<32> {
    static constexpr int bytes = 4, pixels = 1;
    static void expand(const uint8_t *s, uint32_t *d)
    {
        // A, R, G, B: on a little-endian machine the word loaded is B G R A
        // from the top, and dropping A leaves 0x00BBGGRR.
        if constexpr (std::endian::native == std::endian::little) {
            uint32_t v;
            std::memcpy(&v, s, 4);
            d[0] = v >> 8;
        } else {
            d[0] = s[1] | s[2] << 8 | uint32_t(s[3]) << 16;
        }
    }
};

template <>
struct Unit<16> {
    static constexpr int bytes = 2, pixels = 1;
    static void expand(const uint8_t *s, uint32_t *d) { d[0] = kRgb555Words[(s[0] << 8 | s[1]) & 0x7FFF]; }
};

// Colour indices of Bits bits, 32 / Bits pixels to a 4-byte unit, leftmost
// in the top bits, looked up in Table.
template <int Bits, const auto &Table>
struct IndexUnit {
    static constexpr int bytes = 4, pixels = 32 / Bits;
    static void expand(const uint8_t *s, uint32_t *d)
    {
        constexpr unsigned mask = (1u << Bits) - 1;
        for (int i = 0; i < 4; i++)
            for (int k = 0; k < 8 / Bits; k++)
                d[i * (8 / Bits) + k] = Table[(s[i] >> (8 - Bits * (k + 1))) & mask];
    }
};

template <>
struct Unit<8> : IndexUnit<8, kQtPalette256> {};
template <>
struct Unit<4> : IndexUnit<4, kQtPalette16> {};
template <>
struct Unit<2> : IndexUnit<2, kQtPalette4> {};
// QuickTime's grey depths: 32 plus the bits of grey.
template <>
struct Unit<40> : IndexUnit<8, kQtGrey256> {};
template <>
struct Unit<36> : IndexUnit<4, kQtGrey16> {};
template <>
struct Unit<34> : IndexUnit<2, kQtGrey4> {};

// Fills n words with v eight at a time, as blocks the compiler writes with
// vector stores: runs of one colour are most of a cartoon's picture.
inline void fillRun(uint32_t *to, int n, uint32_t v)
{
    uint32_t block[8];
    for (uint32_t &w : block)
        w = v;
    for (; n >= 8; n -= 8, to += 8)
        std::memcpy(to, block, sizeof block);
    for (; n > 0; n--)
        *to++ = v;
}

// Writes n pixels at x of a row of width pixels, dropping those past its
// end (the last unit of a line may reach beyond the picture).
inline void put(uint32_t *row, int width, int x, const uint32_t *pixels, int n)
{
    if (x + n > width)
        n = width - x;
    std::copy(pixels, pixels + std::max(n, 0), row + x);
}

template <int Depth>
int decodeLines(QtReader &in, uint32_t *frame, int width, int height, int first, int lines)
{
    using U = Unit<Depth>;
    // A line may hold whole units up to the first unit boundary at or past
    // its end.
    const int span = (width + U::pixels - 1) / U::pixels * U::pixels;
    for (int line = first; line < first + lines; line++) {
        uint32_t *row = frame + size_t(height - 1 - line) * size_t(width);
        int skip = in.u8();
        if (!in.ok())
            return kQtShortData;
        if (skip == 0)
            return kQtOk;
        int x = (skip - 1) * U::pixels;
        for (;;) {
            int code = int8_t(in.u8());
            if (!in.ok())
                return kQtShortData;
            if (code == -1)
                break;
            if (code == 0) {
                skip = in.u8();
                if (!in.ok())
                    return kQtShortData;
                if (skip == 0)
                    return kQtBadCode;
                // Past the line's end any further code is an overrun; x
                // stops there so that endless skips cannot overflow it.
                x = std::min(x + (skip - 1) * U::pixels, span + 1);
                continue;
            }
            int units = code < 0 ? -code : code;
            const bool overrun = x + units * U::pixels > span;
            if (overrun) {
                // Decode what still lies on the line, then report.
                units = std::max(0, (span - x) / U::pixels);
                if (units == 0)
                    return kQtOverrun;
            }
            if (code < 0) {
                const uint8_t *s = in.take(U::bytes);
                if (s == nullptr)
                    return kQtShortData;
                uint32_t unit[U::pixels];
                U::expand(s, unit);
                if constexpr (U::pixels == 1) {
                    fillRun(row + x, std::min(units, width - x), unit[0]);
                    x += units;
                } else {
                    for (int i = 0; i < units; i++, x += U::pixels)
                        put(row, width, x, unit, U::pixels);
                }
            } else {
                const uint8_t *s = in.take(size_t(units) * U::bytes);
                if (s == nullptr)
                    return kQtShortData;
                if constexpr (U::pixels == 1) {
                    int n = std::min(units, width - x);
                    for (int i = 0; i < n; i++, s += U::bytes)
                        U::expand(s, row + x + i);
                    x += units;
                } else {
                    uint32_t unit[U::pixels];
                    for (int i = 0; i < units; i++, x += U::pixels, s += U::bytes) {
                        U::expand(s, unit);
                        put(row, width, x, unit, U::pixels);
                    }
                }
            }
            if (overrun)
                return kQtOverrun;
        }
    }
    return kQtOk;
}

}  // namespace

int decodeQtrle(uint32_t *frame, const uint8_t *data, size_t size, int width, int height, int depth)
{
    if (frame == nullptr || width < 0 || height < 0)
        return kQtBadCode;
    if (data == nullptr || size < 4)
        return kQtShortData;
    if (size < 8)
        return kQtOk;
    QtReader in({data, size});
    in.skip(4);
    int first = 0, lines = height;
    if (in.u16() & 0x0008) {
        first = in.u16();
        in.skip(2);
        lines = in.u16();
        in.skip(2);
    }
    if (!in.ok())
        return kQtShortData;
    int status = kQtOk;
    if (first > height || lines > height - first) {
        status = kQtOverrun;
        first = std::min(first, height);
        lines = height - first;
    }
    int result;
    switch (depth) {
    case 2: result = decodeLines<2>(in, frame, width, height, first, lines); break;
    case 4: result = decodeLines<4>(in, frame, width, height, first, lines); break;
    case 8: result = decodeLines<8>(in, frame, width, height, first, lines); break;
    case 16: result = decodeLines<16>(in, frame, width, height, first, lines); break;
    case 24: result = decodeLines<24>(in, frame, width, height, first, lines); break;
    case 32: result = decodeLines<32>(in, frame, width, height, first, lines); break;
    case 34: result = decodeLines<34>(in, frame, width, height, first, lines); break;
    case 36: result = decodeLines<36>(in, frame, width, height, first, lines); break;
    case 40: result = decodeLines<40>(in, frame, width, height, first, lines); break;
    default: return kQtBadCode;
    }
    return result != kQtOk ? result : status;
}

}  // namespace cinelark::playback
