// The G.711 conversions between 16-bit linear samples and 8-bit u-law and
// A-law codes.
//
// u-law (ITU-T G.711, table 2 scaled to 16 bits). A code is the complement
// of sign (bit 7, set for negative samples), segment e (bits 6-4) and
// mantissa m (bits 3-0). Its value is ((m << 3) + 132) << e, less the bias
// 132: segment bases 0, 132, 396, 924, 1980, 4092, 8316, 16764 and steps of
// 8 << e. Encoding adds the bias to the clipped magnitude, so the segment is
// the position of the leading one among bits 7-14 and the mantissa the four
// bits below it; each code then stands for the middle of its interval.
//
// A-law (ITU-T G.711, table 1). On the 13-bit magnitude v (the sample shifted
// right by 3), segment 0 covers 0-31 in steps of 2 and segment s >= 1 covers
// 16 << s up to 32 << s in steps of 1 << s; the code of a positive sample is
// (0x80 | s << 4 | m) with the even bits inverted (xor 0x55). Negative
// samples use the mirrored magnitude -v - 1 with the sign bit clear. A code
// decodes to the middle of its interval, scaled back by 8.
#include <cinelark/cl.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

// Biased u-law magnitude >> 7 (1..255) to its segment: floor(log2(index)).
constexpr std::array<uint8_t, 256> kUlawSegment = [] {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int segment = 0;
    for (int v = i; v > 1; v >>= 1) ++segment;
    t[size_t(i)] = uint8_t(segment);
  }
  return t;
}();

constexpr int kUlawBias = 132;
constexpr int kUlawClip = 32635;

// Linear value of the first code of each u-law segment.
constexpr std::array<int, 8> kUlawBase = {0, 132, 396, 924, 1980, 4092, 8316, 16764};

constexpr int16_t UlawToLinear(uint8_t code) {
  const int c = ~code & 0xFF;
  const int segment = (c >> 4) & 7;
  const int magnitude = kUlawBase[size_t(segment)] + ((c & 0x0F) << (segment + 3));
  return int16_t((c & 0x80) ? -magnitude : magnitude);
}

constexpr std::array<int16_t, 256> kUlawToLinear = [] {
  std::array<int16_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[size_t(c)] = UlawToLinear(uint8_t(c));
  return t;
}();

// A-law segment and mantissa (s << 4 | m) of each 13-bit magnitude 0..4095;
// the sign bit and the even-bit inversion are applied at lookup.
constexpr std::array<uint8_t, 4096> kAlawMagnitudeCode = [] {
  std::array<uint8_t, 4096> t{};
  for (int v = 0; v < 4096; ++v) {
    int segment = 0;
    while (segment < 7 && v >= (32 << segment)) ++segment;
    const int mantissa = segment == 0 ? (v >> 1) & 0x0F : (v >> segment) & 0x0F;
    t[size_t(v)] = uint8_t(segment << 4 | mantissa);
  }
  return t;
}();

// Signed 13-bit A-law value of each code.
constexpr std::array<int16_t, 256> kAlawTo13Bit = [] {
  std::array<int16_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const int a = c ^ 0x55;
    const int segment = (a >> 4) & 7;
    const int mantissa = a & 0x0F;
    const int v = segment == 0 ? 2 * mantissa + 1 : (2 * mantissa + 33) << (segment - 1);
    t[size_t(c)] = int16_t((a & 0x80) ? v : -v);
  }
  return t;
}();

}  // namespace

extern "C" {

uint8_t CL_linear2ulaw(int16_t sample) {
  int magnitude = sample < 0 ? -int(sample) : int(sample);
  const int sign = sample < 0 ? 0x80 : 0x00;
  if (magnitude > kUlawClip) magnitude = kUlawClip;
  magnitude += kUlawBias;
  const int segment = kUlawSegment[size_t(magnitude >> 7)];
  const int mantissa = (magnitude >> (segment + 3)) & 0x0F;
  const uint8_t code = uint8_t(~(sign | segment << 4 | mantissa));
  // The all-zero code is never sent (it once upset line equipment); its
  // neighbour stands in for the most negative value.
  return code == 0 ? 0x02 : code;
}

int16_t CL_ulaw2linear(uint8_t code) { return kUlawToLinear[code]; }

int16_t CL_ulaw2linear_slow(uint8_t code) { return UlawToLinear(code); }

uint8_t CL_linear2alaw(int16_t sample) {
  const int v = sample >> 3;  // arithmetic: -4096..4095
  if (v >= 0) return uint8_t(kAlawMagnitudeCode[size_t(v)] ^ 0xD5);
  return uint8_t(kAlawMagnitudeCode[size_t(-v - 1)] ^ 0x55);
}

int16_t CL_alaw2linear(uint8_t code) { return int16_t(kAlawTo13Bit[code] * 8); }

}  // extern "C"
