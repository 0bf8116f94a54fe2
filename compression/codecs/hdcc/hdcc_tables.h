// The byte tables of "HDCC", all computed at compile time from the two 8-bit
// pixel layouts:
//   RGB8    blue bits 6-7, green bits 3-5, red bits 0-2
//   RGB332  red bits 5-7, blue bits 3-4, green bits 0-2
#ifndef CINELARK_COMPRESSION_CODECS_HDCC_HDCC_TABLES_H
#define CINELARK_COMPRESSION_CODECS_HDCC_HDCC_TABLES_H

#include <array>
#include <cstdint>

namespace cl::codecs::hdcc {

using ByteTable = std::array<uint8_t, 256>;

// floor(0.3 x 32r + 0.59 x 32g + 0.11 x 64b), in exact integer arithmetic.
constexpr uint8_t Luminance(int r, int g, int b) { return uint8_t((960 * r + 1888 * g + 704 * b) / 100); }

template <class F>
constexpr ByteTable MakeTable(F f) {
  ByteTable t{};
  for (int c = 0; c < 256; ++c) t[size_t(c)] = uint8_t(f(c));
  return t;
}

constexpr ByteTable kRgb8Luminance = MakeTable([](int c) { return Luminance(c & 7, (c >> 3) & 7, c >> 6); });
constexpr ByteTable kRgb332Luminance = MakeTable([](int c) { return Luminance(c >> 5, c & 7, (c >> 3) & 3); });
constexpr ByteTable kGreyLuminance = MakeTable([](int c) { return c; });
constexpr ByteTable kRgb332ToRgb8 = MakeTable([](int c) { return ((c >> 3) & 3) << 6 | (c & 7) << 3 | c >> 5; });
constexpr ByteTable kRgb8ToRgb332 = MakeTable([](int c) { return (c & 7) << 5 | (c >> 6) << 3 | ((c >> 3) & 7); });

// An RGB8 byte as a 32-bit word, red in bits 0-7, green 8-15, blue 16-23;
// each field is widened by repeating its bits (3 bits: v x 32 + v x 4 +
// v / 2; 2 bits: v x 85), so the largest code becomes 255.
constexpr std::array<uint32_t, 256> kRgb8ToWord = [] {
  std::array<uint32_t, 256> t{};
  auto widen3 = [](uint32_t v) { return v * 32 + v * 4 + v / 2; };
  for (uint32_t c = 0; c < 256; ++c) t[c] = widen3(c & 7) | widen3((c >> 3) & 7) << 8 | (c >> 6) * 85 << 16;
  return t;
}();

// The order in which a tile's pixels (y x 4 + x) are sampled, a few per
// frame: corners of the 2 x 2 cells first, so that successive frames spread
// over the tile.
constexpr uint8_t kSampleOrder[16] = {0, 2, 8, 10, 1, 3, 9, 11, 4, 6, 12, 14, 5, 7, 13, 15};

}  // namespace cl::codecs::hdcc

#endif
