// QuickTime's default colour tables, used by "Apple Animation" pictures of
// depths 2, 4 and 8, which carry colour indices.
//
// The 256-colour table is the system table of the platform QuickTime came
// from: a 6 x 6 x 6 cube of the levels 0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00
// (red slowest, blue fastest) without its last corner, black; then ramps of
// the ten levels between the cube's steps (0xEE down to 0x11) in red, green,
// blue and grey; and black last. The 4- and 16-colour tables are the
// format's fixed tables for those depths.
#include <array>

#include "quicktime_coders.h"

namespace cinelark::playback {

namespace {

constexpr uint32_t word(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

constexpr std::array<uint32_t, 256> buildPalette256()
{
    std::array<uint32_t, 256> table{};
    int i = 0;
    for (int r = 5; r >= 0; r--)
        for (int g = 5; g >= 0; g--)
            for (int b = 5; b >= 0; b--)
                if (i < 215)
                    table[i++] = word(uint32_t(r) * 0x33, uint32_t(g) * 0x33, uint32_t(b) * 0x33);
    constexpr uint32_t ramp[10] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
    for (uint32_t v : ramp)
        table[i++] = word(v, 0, 0);
    for (uint32_t v : ramp)
        table[i++] = word(0, v, 0);
    for (uint32_t v : ramp)
        table[i++] = word(0, 0, v);
    for (uint32_t v : ramp)
        table[i++] = word(v, v, v);
    table[i] = 0;
    return table;
}

// A grey ramp of n levels from white (index 0) down to black, in steps of
// 256 / (n - 1) cut at 0, as QuickTime's grey depths index it.
template <size_t N>
constexpr std::array<uint32_t, N> buildGrey()
{
    std::array<uint32_t, N> table{};
    int level = 255;
    for (size_t i = 0; i < N; i++, level -= int(256 / (N - 1))) {
        const uint32_t v = uint32_t(level < 0 ? 0 : level);
        table[i] = word(v, v, v);
    }
    return table;
}

}  // namespace

constinit const std::array<uint32_t, 32768> kRgb555Words = [] {
    std::array<uint32_t, 32768> t{};
    for (uint32_t c = 0; c < t.size(); c++)
        t[c] = rgb555ToWord(c);
    return t;
}();

constinit const std::array<uint32_t, 4> kQtGrey4 = buildGrey<4>();
constinit const std::array<uint32_t, 16> kQtGrey16 = buildGrey<16>();
constinit const std::array<uint32_t, 256> kQtGrey256 = buildGrey<256>();

constinit const std::array<uint32_t, 256> kQtPalette256 = buildPalette256();

constinit const std::array<uint32_t, 4> kQtPalette4 = {
    word(0xFF, 0xFF, 0xFF), word(0xAC, 0xAC, 0xAC), word(0x55, 0x55, 0x55), word(0, 0, 0)};

constinit const std::array<uint32_t, 16> kQtPalette16 = {
    word(0xFF, 0xFF, 0xFF), word(0xFC, 0xF3, 0x05), word(0xFF, 0x64, 0x02), word(0xDD, 0x08, 0x06),
    word(0xF2, 0x08, 0x84), word(0x46, 0x00, 0xA5), word(0x00, 0x00, 0xD4), word(0x02, 0xAB, 0xEA),
    word(0x1F, 0xB7, 0x14), word(0x00, 0x64, 0x11), word(0x56, 0x2C, 0x05), word(0x90, 0x71, 0x3A),
    word(0xC0, 0xC0, 0xC0), word(0x80, 0x80, 0x80), word(0x40, 0x40, 0x40), word(0x00, 0x00, 0x00)};

}  // namespace cinelark::playback
