// The "MVC1" block decoders. Every pixel is a blend of two values chosen by
// a lane mask: pixel = zero ^ ((zero ^ one) & lane), where lane is all ones
// for a 1 bit of the block mask and all zeros for a 0 bit. The lane masks
// come from constant tables indexed by a mask byte (two-colour blocks: two
// rows at once) or a mask nibble (eight-colour and greyscale blocks: one
// row), so no pixel is decided by a branch.
//
// Blocks that lie wholly inside the picture are written in place, walking
// from mask row 0 towards lower addresses; the blocks of the partial band
// and the partial right-hand column are decoded into a 4 x 4 scratch block
// and only their kept rows and columns copied.
#include <array>
#include <bit>
#include <cstring>

#include "mvc1_blocks.h"

namespace cl::codecs::mvc1 {
namespace {

// Lane masks of the eight pixels of a mask byte: pixel k of the lower row is
// lane k, of the upper row lane 4 + k; bit i of the byte gives lane i.
constexpr auto kByteLanes = [] {
  std::array<std::array<uint32_t, 8>, 256> t{};
  for (int b = 0; b < 256; ++b)
    for (int i = 0; i < 8; ++i) t[b][i] = (b >> i & 1) ? 0xFFFFFFFFu : 0u;
  return t;
}();

// Lane masks of the four 32-bit pixels of one mask nibble.
constexpr auto kNibbleLanes = [] {
  std::array<std::array<uint32_t, 4>, 16> t{};
  for (int n = 0; n < 16; ++n)
    for (int k = 0; k < 4; ++k) t[n][k] = (n >> k & 1) ? 0xFFFFFFFFu : 0u;
  return t;
}();

// Lane masks of four grey bytes in memory order, as one word: byte k is 0xFF
// for bit k of the nibble.
constexpr auto kGreyLanes = [] {
  std::array<uint32_t, 16> t{};
  for (int n = 0; n < 16; ++n) {
    std::array<uint8_t, 4> bytes{};
    for (int k = 0; k < 4; ++k) bytes[k] = (n >> k & 1) ? 0xFF : 0;
    t[n] = std::bit_cast<uint32_t>(bytes);
  }
  return t;
}();

inline uint16_t Word(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

// One row of four pixel words, each zero[k] ^ (diff[k] & lane[k]).
inline void PutRow(uint8_t* at, const uint32_t* zero, const uint32_t* diff, const uint32_t* lane) {
  uint32_t row[4];
  for (int k = 0; k < 4; ++k) row[k] = zero[k] ^ (diff[k] & lane[k]);
  std::memcpy(at, row, sizeof row);
}

inline void PutTwoColourRow(uint8_t* at, uint32_t zero, uint32_t diff, const uint32_t* lane) {
  const uint32_t row[4] = {zero ^ (diff & lane[0]), zero ^ (diff & lane[1]), zero ^ (diff & lane[2]),
                           zero ^ (diff & lane[3])};
  std::memcpy(at, row, sizeof row);
}

// Reads one colour block and writes its rows: row j at row0 + j x step.
struct ColourBlock {
  static constexpr int kPixelBytes = 4;
  const uint32_t* words;

  bool operator()(CL_BufferHdl data, uint8_t* row0, ptrdiff_t step, int64_t* consumed) const {
    void* at = nullptr;
    if (clReadData(data, kColourTwoBytes, &at) < kColourTwoBytes) return false;
    const uint8_t* p = static_cast<const uint8_t*>(at);
    const uint16_t mask = Word(p);
    const uint16_t w0 = Word(p + 2);
    const uint16_t w1 = Word(p + 4);
    if (!(w0 & kEightColours)) {
      const uint32_t one = words[w0], zero = words[w1 & 0x7FFF];
      const uint32_t diff = one ^ zero;
      const uint32_t* low = kByteLanes[mask & 0xFF].data();
      const uint32_t* high = kByteLanes[mask >> 8].data();
      PutTwoColourRow(row0, zero, diff, low);
      PutTwoColourRow(row0 + step, zero, diff, low + 4);
      PutTwoColourRow(row0 + 2 * step, zero, diff, high);
      PutTwoColourRow(row0 + 3 * step, zero, diff, high + 4);
      *consumed += kColourTwoBytes;
      return true;
    }
    // The first six bytes are copied out above: the next read may release
    // them or reuse the reader's staging area.
    if (clReadData(data, kColourEightBytes - kColourTwoBytes, &at) < kColourEightBytes - kColourTwoBytes) {
      return false;
    }
    const uint8_t* q = static_cast<const uint8_t*>(at);
    uint32_t c[8] = {words[w0 & 0x7FFF], words[w1 & 0x7FFF]};
    for (int i = 2; i < 8; ++i) c[i] = words[Word(q + 2 * (i - 2)) & 0x7FFF];
    for (int half = 0; half < 2; ++half) {
      // Pairs (c[4h], c[4h+1]) for pixels 0-1 and (c[4h+2], c[4h+3]) for 2-3.
      const uint32_t* pair = c + 4 * half;
      const uint32_t zero[4] = {pair[1], pair[1], pair[3], pair[3]};
      const uint32_t diff[4] = {pair[0] ^ pair[1], pair[0] ^ pair[1], pair[2] ^ pair[3], pair[2] ^ pair[3]};
      const unsigned bits = unsigned(mask) >> (8 * half);
      PutRow(row0 + (2 * half) * step, zero, diff, kNibbleLanes[bits & 0xF].data());
      PutRow(row0 + (2 * half + 1) * step, zero, diff, kNibbleLanes[bits >> 4 & 0xF].data());
    }
    *consumed += kColourEightBytes;
    return true;
  }
};

inline uint32_t GreyWord(uint8_t a, uint8_t b) { return std::bit_cast<uint32_t>(std::array<uint8_t, 4>{a, a, b, b}); }

inline void PutGreyRow(uint8_t* at, uint32_t zero, uint32_t diff, unsigned nibble) {
  const uint32_t row = zero ^ (diff & kGreyLanes[nibble & 0xF]);
  std::memcpy(at, &row, sizeof row);
}

struct GreyBlock {
  static constexpr int kPixelBytes = 1;

  bool operator()(CL_BufferHdl data, uint8_t* row0, ptrdiff_t step, int64_t* consumed) const {
    void* at = nullptr;
    if (clReadData(data, kGreyTwoBytes, &at) < kGreyTwoBytes) return false;
    const uint8_t* p = static_cast<const uint8_t*>(at);
    const unsigned mask = Word(p);
    uint8_t g[8] = {p[2], p[3]};
    if (!(g[1] & kEightGreys)) {
      const uint32_t zero = g[0] * 0x01010101u, diff = uint8_t(g[0] ^ g[1]) * 0x01010101u;
      for (int j = 0; j < 4; ++j) PutGreyRow(row0 + j * step, zero, diff, mask >> (4 * j));
      *consumed += kGreyTwoBytes;
      return true;
    }
    if (clReadData(data, kGreyEightBytes - kGreyTwoBytes, &at) < kGreyEightBytes - kGreyTwoBytes) return false;
    std::memcpy(g + 2, at, 6);
    for (int half = 0; half < 2; ++half) {
      const uint8_t* pair = g + 4 * half;
      const uint32_t zero = GreyWord(pair[0], pair[2]);
      const uint32_t diff = zero ^ GreyWord(pair[1], pair[3]);
      PutGreyRow(row0 + (2 * half) * step, zero, diff, mask >> (8 * half));
      PutGreyRow(row0 + (2 * half + 1) * step, zero, diff, mask >> (8 * half + 4));
    }
    *consumed += kGreyEightBytes;
    return true;
  }
};

template <class Block>
int64_t DecodeFrame(CL_BufferHdl data, const Layout& l, uint8_t* image, const Block& block) {
  constexpr int kBlockRowBytes = 4 * Block::kPixelBytes;
  const ptrdiff_t rowBytes = ptrdiff_t(l.width) * Block::kPixelBytes;
  uint8_t scratch[4 * kBlockRowBytes];
  int64_t consumed = 0;
  for (int s = 0; s < l.Bands(); ++s) {
    const int row0 = l.Row0(s);
    const int skipped = l.SkippedRows(s);
    const int inPlace = skipped == 0 ? l.FullColumns() : 0;
    if (inPlace > 0) {
      uint8_t* at = image + row0 * rowBytes;
      for (int c = 0; c < inPlace; ++c, at += kBlockRowBytes) {
        if (!block(data, at, -rowBytes, &consumed)) return -1;
      }
    }
    for (int c = inPlace; c < l.Columns(); ++c) {
      if (!block(data, scratch, kBlockRowBytes, &consumed)) return -1;
      const size_t kept = size_t(l.KeptColumns(c)) * Block::kPixelBytes;
      for (int j = skipped; j < 4; ++j) {
        std::memcpy(image + (row0 - j) * rowBytes + c * kBlockRowBytes, scratch + j * kBlockRowBytes, kept);
      }
    }
  }
  return consumed;
}

}  // namespace

const uint32_t* ColourWords() {
  static const std::array<uint32_t, 32768> table = [] {
    std::array<uint32_t, 32768> t{};
    for (uint32_t c = 0; c < t.size(); ++c) {
      const uint32_t red = c >> 10 & 0x1F, green = c >> 5 & 0x1F, blue = c & 0x1F;
      t[c] = red * 8 | green * 8 << 8 | blue * 8 << 16;
    }
    return t;
  }();
  return table.data();
}

int64_t DecodeColourFrame(CL_BufferHdl data, const Layout& layout, const uint32_t* colourWords, uint8_t* image) {
  return DecodeFrame(data, layout, image, ColourBlock{colourWords});
}

int64_t DecodeGreyFrame(CL_BufferHdl data, const Layout& layout, uint8_t* image) {
  return DecodeFrame(data, layout, image, GreyBlock{});
}

}  // namespace cl::codecs::mvc1
