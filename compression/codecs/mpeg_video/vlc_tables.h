// The variable-length codes of MPEG-1 video (ISO/IEC 11172-2, annex B) and
// the direct-lookup tables the decoder reads them with.
//
// Each code list gives the bit pattern beside its value, as the standard
// prints it; the lookup tables are built from the lists at compile time. A
// table indexed by the next k bits holds, for every k-bit value, the value
// and length of the code it starts with, or length 0 when no code matches.
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_VLC_TABLES_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_VLC_TABLES_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace cl::codecs::mpeg {

struct PatternCode {
  const char* bits;
  int value;
};

struct VlcEntry {
  int8_t value;
  uint8_t length;  // 0: no code starts with these bits
};

constexpr int PatternLength(const char* bits) {
  int n = 0;
  while (bits[n] != '\0') ++n;
  return n;
}

// Codes whose pattern starts with `skip` bits (always zeros) are entered
// without them, so a second-level table can take over after a common prefix.
template <int Bits, size_t N>
constexpr std::array<VlcEntry, (1 << Bits)> BuildLookup(const PatternCode (&codes)[N], int skip = 0) {
  std::array<VlcEntry, (1 << Bits)> table{};
  for (const PatternCode& c : codes) {
    const int length = PatternLength(c.bits) - skip;
    if (length <= 0 || length > Bits) continue;
    uint32_t code = 0;
    for (int i = skip; c.bits[i] != '\0'; ++i) code = code << 1 | uint32_t(c.bits[i] - '0');
    const int shift = Bits - length;
    for (uint32_t k = 0; k < (1u << shift); ++k) {
      table[(code << shift) | k] = VlcEntry{int8_t(c.value), uint8_t(length)};
    }
  }
  return table;
}

// macroblock_address_increment (table B.1): 1 to 33, then the escape (adds
// 33) and the stuffing code.
constexpr int kAddressEscape = 34;
constexpr int kAddressStuffing = 35;
constexpr PatternCode kAddressIncrementCodes[] = {
    {"1", 1}, {"011", 2}, {"010", 3}, {"0011", 4}, {"0010", 5}, {"00011", 6},
    {"00010", 7}, {"0000111", 8}, {"0000110", 9}, {"00001011", 10}, {"00001010", 11}, {"00001001", 12},
    {"00001000", 13}, {"00000111", 14}, {"00000110", 15}, {"0000010111", 16}, {"0000010110", 17}, {"0000010101", 18},
    {"0000010100", 19}, {"0000010011", 20}, {"0000010010", 21}, {"00000100011", 22}, {"00000100010", 23},
    {"00000100001", 24}, {"00000100000", 25}, {"00000011111", 26}, {"00000011110", 27}, {"00000011101", 28},
    {"00000011100", 29}, {"00000011011", 30}, {"00000011010", 31}, {"00000011001", 32}, {"00000011000", 33},
    {"00000001000", kAddressEscape}, {"00000001111", kAddressStuffing},
};
inline constexpr auto kAddressIncrement = BuildLookup<11>(kAddressIncrementCodes);

// macroblock_type (table B.2), as the flags below.
enum MacroblockFlags : uint8_t { kQuant = 1, kForward = 2, kBackward = 4, kPattern = 8, kIntra = 16 };
constexpr PatternCode kIntraTypeCodes[] = {{"1", kIntra}, {"01", kIntra | kQuant}};
constexpr PatternCode kPredictedTypeCodes[] = {
    {"1", kForward | kPattern}, {"01", kPattern}, {"001", kForward}, {"00011", kIntra},
    {"00010", kQuant | kForward | kPattern}, {"00001", kQuant | kPattern}, {"000001", kQuant | kIntra},
};
constexpr PatternCode kBidirectionalTypeCodes[] = {
    {"10", kForward | kBackward}, {"11", kForward | kBackward | kPattern}, {"010", kBackward},
    {"011", kBackward | kPattern}, {"0010", kForward}, {"0011", kForward | kPattern}, {"00011", kIntra},
    {"00010", kQuant | kForward | kBackward | kPattern}, {"000011", kQuant | kForward | kPattern},
    {"000010", kQuant | kBackward | kPattern}, {"000001", kQuant | kIntra},
};
inline constexpr auto kIntraType = BuildLookup<6>(kIntraTypeCodes);
inline constexpr auto kPredictedType = BuildLookup<6>(kPredictedTypeCodes);
inline constexpr auto kBidirectionalType = BuildLookup<6>(kBidirectionalTypeCodes);

// coded_block_pattern (table B.3): bit 5 is the first luma block, bit 0 Cr.
constexpr PatternCode kBlockPatternCodes[] = {
    {"01011", 1}, {"01001", 2}, {"001101", 3}, {"1101", 4}, {"0010111", 5}, {"0010011", 6},
    {"00011111", 7}, {"1100", 8}, {"0010110", 9}, {"0010010", 10}, {"00011110", 11}, {"10011", 12},
    {"00011011", 13}, {"00010111", 14}, {"00010011", 15}, {"1011", 16}, {"0010101", 17}, {"0010001", 18},
    {"00011101", 19}, {"10001", 20}, {"00011001", 21}, {"00010101", 22}, {"00010001", 23}, {"001111", 24},
    {"00001111", 25}, {"00001101", 26}, {"000000011", 27}, {"01111", 28}, {"00001011", 29}, {"00000111", 30},
    {"000000111", 31}, {"1010", 32}, {"0010100", 33}, {"0010000", 34}, {"00011100", 35}, {"001110", 36},
    {"00001110", 37}, {"00001100", 38}, {"000000010", 39}, {"10000", 40}, {"00011000", 41}, {"00010100", 42},
    {"00010000", 43}, {"01110", 44}, {"00001010", 45}, {"00000110", 46}, {"000000110", 47}, {"10010", 48},
    {"00011010", 49}, {"00010110", 50}, {"00010010", 51}, {"01101", 52}, {"00001001", 53}, {"00000101", 54},
    {"000000101", 55}, {"01100", 56}, {"00001000", 57}, {"00000100", 58}, {"000000100", 59}, {"111", 60},
    {"01010", 61}, {"01000", 62}, {"001100", 63},
};
inline constexpr auto kBlockPattern = BuildLookup<9>(kBlockPatternCodes);

// motion_horizontal/vertical_code magnitudes (table B.4); a sign bit
// follows every code but the one for 0.
constexpr PatternCode kMotionCodes[] = {
    {"1", 0}, {"01", 1}, {"001", 2}, {"0001", 3}, {"000011", 4}, {"0000101", 5},
    {"0000100", 6}, {"0000011", 7}, {"000001011", 8}, {"000001010", 9}, {"000001001", 10}, {"0000010001", 11},
    {"0000010000", 12}, {"0000001111", 13}, {"0000001110", 14}, {"0000001101", 15}, {"0000001100", 16},
};
inline constexpr auto kMotion = BuildLookup<10>(kMotionCodes);

// dct_dc_size_luminance and dct_dc_size_chrominance (tables B.5a, B.5b).
constexpr PatternCode kLumaDcSizeCodes[] = {
    {"100", 0}, {"00", 1}, {"01", 2}, {"101", 3}, {"110", 4}, {"1110", 5}, {"11110", 6}, {"111110", 7}, {"1111110", 8},
};
constexpr PatternCode kChromaDcSizeCodes[] = {
    {"00", 0}, {"01", 1}, {"10", 2}, {"110", 3}, {"1110", 4}, {"11110", 5}, {"111110", 6}, {"1111110", 7},
    {"11111110", 8},
};
inline constexpr auto kLumaDcSize = BuildLookup<7>(kLumaDcSizeCodes);
inline constexpr auto kChromaDcSize = BuildLookup<8>(kChromaDcSizeCodes);

// dct_coeff_next (table B.5c) as (run, level) pairs; a sign bit follows
// each. dct_coeff_first differs only in coding run 0, level 1 as "1".
struct CoefficientCode {
  const char* bits;
  int run;
  int level;
};
constexpr CoefficientCode kCoefficientCodes[] = {
    {"11", 0, 1}, {"0100", 0, 2}, {"00101", 0, 3}, {"0000110", 0, 4},
    {"00100110", 0, 5}, {"00100001", 0, 6}, {"0000001010", 0, 7}, {"000000011101", 0, 8},
    {"000000011000", 0, 9}, {"000000010011", 0, 10}, {"000000010000", 0, 11}, {"0000000011010", 0, 12},
    {"0000000011001", 0, 13}, {"0000000011000", 0, 14}, {"0000000010111", 0, 15}, {"00000000011111", 0, 16},
    {"00000000011110", 0, 17}, {"00000000011101", 0, 18}, {"00000000011100", 0, 19}, {"00000000011011", 0, 20},
    {"00000000011010", 0, 21}, {"00000000011001", 0, 22}, {"00000000011000", 0, 23}, {"00000000010111", 0, 24},
    {"00000000010110", 0, 25}, {"00000000010101", 0, 26}, {"00000000010100", 0, 27}, {"00000000010011", 0, 28},
    {"00000000010010", 0, 29}, {"00000000010001", 0, 30}, {"00000000010000", 0, 31}, {"000000000011000", 0, 32},
    {"000000000010111", 0, 33}, {"000000000010110", 0, 34}, {"000000000010101", 0, 35}, {"000000000010100", 0, 36},
    {"000000000010011", 0, 37}, {"000000000010010", 0, 38}, {"000000000010001", 0, 39}, {"000000000010000", 0, 40},
    {"011", 1, 1}, {"000110", 1, 2}, {"00100101", 1, 3}, {"0000001100", 1, 4},
    {"000000011011", 1, 5}, {"0000000010110", 1, 6}, {"0000000010101", 1, 7}, {"000000000011111", 1, 8},
    {"000000000011110", 1, 9}, {"000000000011101", 1, 10}, {"000000000011100", 1, 11}, {"000000000011011", 1, 12},
    {"000000000011010", 1, 13}, {"000000000011001", 1, 14}, {"0000000000010011", 1, 15}, {"0000000000010010", 1, 16},
    {"0000000000010001", 1, 17}, {"0000000000010000", 1, 18}, {"0101", 2, 1}, {"0000100", 2, 2},
    {"0000001011", 2, 3}, {"000000010100", 2, 4}, {"0000000010100", 2, 5}, {"00111", 3, 1},
    {"00100100", 3, 2}, {"000000011100", 3, 3}, {"0000000010011", 3, 4}, {"00110", 4, 1},
    {"0000001111", 4, 2}, {"000000010010", 4, 3}, {"000111", 5, 1}, {"0000001001", 5, 2},
    {"0000000010010", 5, 3}, {"000101", 6, 1}, {"000000011110", 6, 2}, {"0000000000010100", 6, 3},
    {"000100", 7, 1}, {"000000010101", 7, 2}, {"0000111", 8, 1}, {"000000010001", 8, 2},
    {"0000101", 9, 1}, {"0000000010001", 9, 2}, {"00100111", 10, 1}, {"0000000010000", 10, 2},
    {"00100011", 11, 1}, {"0000000000011010", 11, 2}, {"00100010", 12, 1}, {"0000000000011001", 12, 2},
    {"00100000", 13, 1}, {"0000000000011000", 13, 2}, {"0000001110", 14, 1}, {"0000000000010111", 14, 2},
    {"0000001101", 15, 1}, {"0000000000010110", 15, 2}, {"0000001000", 16, 1}, {"0000000000010101", 16, 2},
    {"000000011111", 17, 1}, {"000000011010", 18, 1}, {"000000011001", 19, 1}, {"000000010111", 20, 1},
    {"000000010110", 21, 1}, {"0000000011111", 22, 1}, {"0000000011110", 23, 1}, {"0000000011101", 24, 1},
    {"0000000011100", 25, 1}, {"0000000011011", 26, 1}, {"0000000000011111", 27, 1}, {"0000000000011110", 28, 1},
    {"0000000000011101", 29, 1}, {"0000000000011100", 30, 1}, {"0000000000011011", 31, 1},
};

// A coefficient lookup entry: run 0-31 and level 1-40 of a code, or one of
// the markers; length 0 where no code starts.
constexpr uint8_t kEscapeRun = 64;      // "000001": 6-bit run and 8- or 16-bit level follow
constexpr uint8_t kEndOfBlockRun = 65;  // "10"
struct CoefficientEntry {
  uint8_t run;
  uint8_t level;
  uint8_t length;
};

// Every code longer than 8 bits starts with six zeros, so the first table
// looks at 8 bits and the second at the 10 bits after those zeros; lengths
// in both count the whole code.
template <int Bits>
constexpr std::array<CoefficientEntry, (1 << Bits)> BuildCoefficientLookup(bool afterZeros) {
  std::array<CoefficientEntry, (1 << Bits)> table{};
  auto enter = [&table](const char* bits, int skip, uint8_t run, uint8_t level) {
    const int length = PatternLength(bits) - skip;
    if (length <= 0 || length > Bits) return;
    uint32_t code = 0;
    for (int i = skip; bits[i] != '\0'; ++i) code = code << 1 | uint32_t(bits[i] - '0');
    const int shift = Bits - length;
    for (uint32_t k = 0; k < (1u << shift); ++k) table[(code << shift) | k] = {run, level, uint8_t(length + skip)};
  };
  const int skip = afterZeros ? 6 : 0;
  for (const CoefficientCode& c : kCoefficientCodes) {
    const bool longCode = PatternLength(c.bits) > 8;
    if (longCode == afterZeros) enter(c.bits, skip, uint8_t(c.run), uint8_t(c.level));
  }
  if (!afterZeros) {
    enter("000001", 0, kEscapeRun, 0);
    enter("10", 0, kEndOfBlockRun, 0);
  }
  return table;
}
inline constexpr auto kCoefficientShort = BuildCoefficientLookup<8>(false);
inline constexpr auto kCoefficientLong = BuildCoefficientLookup<10>(true);

// The zig-zag scan: position in raster order of the n-th coefficient sent.
constexpr uint8_t kZigZag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// The default intra quantiser matrix, in raster order.
constexpr uint8_t kDefaultIntraMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37, 19, 22, 26, 27, 29, 34,
    34, 38, 22, 22, 26, 27, 29, 34, 37, 40, 22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32,
    35, 40, 48, 58, 26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83,
};

}  // namespace cl::codecs::mpeg

#endif
