// "8RGB" frames: one byte per pixel, the top three bits of red in bits 7-5,
// the top two of blue in bits 4-3 and the top three of green in bits 2-0.
//
// Expansion widens each field by repeating its bits: a 3-bit value v becomes
// v*32 + v*4 + v/2 and a 2-bit value v*64 + v*16 + v*4 + v, so the field's
// lowest and highest values map to 0 and 255.
#include <array>

#include "codec_bridge.h"

namespace {

const std::array<uint32_t, 256> &expansionTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t byte = 0; byte < 256; byte++) {
            uint32_t r = byte >> 5, b = (byte >> 3) & 3, g = byte & 7;
            uint32_t red = r * 32 + r * 4 + r / 2;
            uint32_t green = g * 32 + g * 4 + g / 2;
            uint32_t blue = b * 64 + b * 16 + b * 4 + b;
            t[byte] = red | green << 8 | blue << 16;
        }
        return t;
    }();
    return table;
}

}  // namespace

void __mvInit8Bit() { expansionTable(); }

namespace cinelark::playback {

void compress8RGB(const uint32_t *frame, size_t pixels, uint8_t *out)
{
    for (size_t i = 0; i < pixels; i++) {
        uint32_t p = frame[i];
        out[i] = uint8_t((p & 0xE0) | ((p >> 19) & 0x18) | ((p >> 13) & 0x07));
    }
}

void decompress8RGB(const uint8_t *data, size_t pixels, uint32_t *frame)
{
    const auto &table = expansionTable();
    for (size_t i = 0; i < pixels; i++)
        frame[i] = table[data[i]];
}

}  // namespace cinelark::playback
