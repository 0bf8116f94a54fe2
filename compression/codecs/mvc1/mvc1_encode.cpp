// The "MVC1" block encoders.
//
// A block's pixels are gathered in mask order (row 0 first, pixel 0 first in
// a row); rows past the end of memory and columns past the right edge repeat
// the nearest kept ones, so they pull the block's colours towards pixels that
// are shown. Each pixel's luminance is (79 red + 156 green + 21 blue) >> 8.
// The two-colour form splits the block at its rounded mean luminance
// ((sum + 8) >> 4), the eight-colour form splits each 2 x 2 quadrant at its
// own ((sum + 2) >> 2); pixels above the mean form the group of 1 bits. A
// group's colour is the rounded mean of its pixels, each primary then
// rounded to the nearest of the 32 levels the decoder makes (8 x 0..31).
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "mvc1_blocks.h"

namespace cl::codecs::mvc1 {
namespace {

// The 16 pixels of a block and their luminances (the grey value itself in
// the greyscale form).
struct Pixels {
  std::array<uint32_t, 16> value{};
  std::array<int, 16> luma{};
  int lowest = 0;
  int highest = 0;
  int Spread() const { return highest - lowest; }
};

int Luma(uint32_t v) { return int((79 * (v & 0xFF) + 156 * (v >> 8 & 0xFF) + 21 * (v >> 16 & 0xFF)) >> 8); }

template <int kPixelBytes>
Pixels Gather(const Layout& l, const uint8_t* image, int s, int c) {
  Pixels p;
  const int row0 = l.Row0(s);
  const size_t rowBytes = size_t(l.width) * kPixelBytes;
  size_t column[4];
  for (int k = 0; k < 4; ++k) column[k] = size_t(std::min(4 * c + k, l.width - 1)) * kPixelBytes;
  for (int j = 0; j < 4; ++j) {
    const uint8_t* row = image + size_t(std::min(row0 - j, l.height - 1)) * rowBytes;
    for (int k = 0; k < 4; ++k) {
      uint32_t v = row[column[k]];
      if constexpr (kPixelBytes == 4) {
        std::memcpy(&v, row + column[k], 4);  // a native pixel word
        v &= 0xFFFFFF;
      }
      p.value[4 * j + k] = v;
      p.luma[4 * j + k] = kPixelBytes == 4 ? Luma(v) : int(v);
    }
  }
  const auto [lowest, highest] = std::minmax_element(p.luma.begin(), p.luma.end());
  p.lowest = *lowest;
  p.highest = *highest;
  return p;
}

// Sums of the red, green and blue of a group of pixels.
struct Sum {
  uint32_t r = 0, g = 0, b = 0, n = 0;
  // Adds v when in is 1, nothing when it is 0.
  void Add(uint32_t v, uint32_t in) {
    r += in * (v & 0xFF);
    g += in * (v >> 8 & 0xFF);
    b += in * (v >> 16 & 0xFF);
    n += in;
  }
  Sum operator-(const Sum& o) const { return {r - o.r, g - o.g, b - o.b, n - o.n}; }
  static uint32_t Level(uint32_t total, uint32_t n) { return std::min<uint32_t>((total + n / 2) / n + 4, 255) & 0xF8; }
  uint16_t Colour() const {
    if (n == 0) return 0;
    return uint16_t(Level(r, n) << 7 | Level(g, n) << 2 | Level(b, n) >> 3);
  }
  uint8_t Grey() const { return n == 0 ? 0 : uint8_t((r + n / 2) / n); }
};

// Splits the pixels listed in `which` at their rounded mean luminance:
// sets their mask bits (1 above the mean) and returns (above, rest).
template <size_t N>
std::pair<Sum, Sum> Split(const Pixels& p, const std::array<int, N>& which, int mean, uint16_t* mask) {
  Sum all, above;
  for (int i : which) {
    const uint32_t in = p.luma[i] > mean;
    *mask = uint16_t(*mask | in << i);
    above.Add(p.value[i], in);
    all.Add(p.value[i], 1);
  }
  return {above, all - above};
}

constexpr std::array<int, 16> kBlock = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
// The quadrants in pair order: rows 0-1 pixels 0-1, rows 0-1 pixels 2-3,
// rows 2-3 pixels 0-1, rows 2-3 pixels 2-3.
constexpr std::array<std::array<int, 4>, 4> kQuadrants = {
    {{0, 1, 4, 5}, {2, 3, 6, 7}, {8, 9, 12, 13}, {10, 11, 14, 15}}};

int Mean4(const Pixels& p, const std::array<int, 4>& q) {
  return (p.luma[q[0]] + p.luma[q[1]] + p.luma[q[2]] + p.luma[q[3]] + 2) >> 2;
}

int Mean16(const Pixels& p) {
  int sum = 0;
  for (int v : p.luma) sum += v;
  return (sum + 8) >> 4;
}

uint8_t* PutWord(uint8_t* out, uint16_t w) {
  out[0] = uint8_t(w >> 8);
  out[1] = uint8_t(w);
  return out + 2;
}

size_t ColourBlock(const Pixels& p, int threshold, uint8_t* out) {
  uint16_t mask = 0;
  if (p.Spread() < threshold) {
    auto [above, rest] = Split(p, kBlock, Mean16(p), &mask);
    uint16_t first = above.n ? above.Colour() : rest.Colour(), second = rest.Colour();
    if (mask & 0x8000) {
      mask = uint16_t(~mask);
      std::swap(first, second);
    }
    out = PutWord(PutWord(PutWord(out, mask), first), second);
    return kColourTwoBytes;
  }
  std::array<uint16_t, 8> c{};
  for (size_t q = 0; q < kQuadrants.size(); ++q) {
    auto [above, rest] = Split(p, kQuadrants[q], Mean4(p, kQuadrants[q]), &mask);
    c[2 * q] = above.n ? above.Colour() : rest.Colour();
    c[2 * q + 1] = rest.Colour();
  }
  // Bit 15 is pixel 3 of row 3, in the last quadrant: flip that quadrant.
  if (mask & 0x8000) {
    mask ^= 0xCC00;
    std::swap(c[6], c[7]);
  }
  c[0] |= kEightColours;
  out = PutWord(out, mask);
  for (uint16_t w : c) out = PutWord(out, w);
  return kColourEightBytes;
}

size_t GreyBlock(const Pixels& p, int threshold, uint8_t* out) {
  uint16_t mask = 0;
  if (p.Spread() < threshold) {
    auto [above, rest] = Split(p, kBlock, Mean16(p), &mask);
    const int high = above.n ? above.Grey() : rest.Grey();
    out = PutWord(out, mask);
    out[0] = rest.Grey();
    out[1] = uint8_t(std::min(high + 1, 255) & 0xFE);  // bit 0 clear: two values
    return kGreyTwoBytes;
  }
  uint8_t values[8];
  for (size_t q = 0; q < kQuadrants.size(); ++q) {
    auto [above, rest] = Split(p, kQuadrants[q], Mean4(p, kQuadrants[q]), &mask);
    values[2 * q] = rest.Grey();
    values[2 * q + 1] = above.n ? above.Grey() : rest.Grey();
  }
  values[1] |= kEightGreys;
  std::copy(values, values + 8, PutWord(out, mask));
  return kGreyEightBytes;
}

}  // namespace

int ChooseThreshold(const Layout& l, const uint8_t* image, int internal, float ratio) {
  const bool grey = internal == CL_GRAYSCALE;
  // The ratio is reckoned against 24-bit colour (48 bytes a block) and the
  // sizes of the colour forms in both internal formats, so that it asks for
  // the same share of eight-value blocks in greyscale.
  const double share = std::clamp((48.0 / std::max(ratio, 1.0f) - kColourTwoBytes) /
                                      (kColourEightBytes - kColourTwoBytes), 0.0, 1.0);
  const int64_t allowed = int64_t(share * double(l.Blocks()));

  std::array<int64_t, 257> count{};
  for (int s = 0; s < l.Bands(); ++s) {
    for (int c = 0; c < l.Columns(); ++c) {
      const Pixels p = grey ? Gather<1>(l, image, s, c) : Gather<4>(l, image, s, c);
      ++count[size_t(p.Spread())];
    }
  }
  // The lowest threshold that leaves at most `allowed` blocks at or above it.
  int threshold = 256;
  int64_t atOrAbove = count[255];
  while (threshold > kFlatSpread && atOrAbove <= allowed) {
    --threshold;
    atOrAbove += threshold > 0 ? count[size_t(threshold - 1)] : 0;
  }
  return threshold;
}

size_t EncodeColourBand(const Layout& l, const uint8_t* image, int s, int threshold, uint8_t* out) {
  size_t bytes = 0;
  for (int c = 0; c < l.Columns(); ++c) bytes += ColourBlock(Gather<4>(l, image, s, c), threshold, out + bytes);
  return bytes;
}

size_t EncodeGreyBand(const Layout& l, const uint8_t* image, int s, int threshold, uint8_t* out) {
  size_t bytes = 0;
  for (int c = 0; c < l.Columns(); ++c) bytes += GreyBlock(Gather<1>(l, image, s, c), threshold, out + bytes);
  return bytes;
}

}  // namespace cl::codecs::mvc1
