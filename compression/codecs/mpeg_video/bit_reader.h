// A most-significant-bit-first reader over the bytes of one stretch of an
// MPEG-1 video stream (a header or a slice).
//
// The decoder keeps its stream bytes in an area followed by kReadSlack zero
// bytes, so Peek may look up to 32 bits past the stretch's end without any
// check; callers test Overrun() once per macroblock and once per block, which
// bounds how far past the end a damaged stretch can run before it is
// refused (a block reads at most 64 codes of at most 28 bits).
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_BIT_READER_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_BIT_READER_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cl::codecs::mpeg {

// Zero bytes that follow the stream area: room for one damaged macroblock's
// reads past a stretch's end, plus the 8-byte window of Peek.
constexpr size_t kReadSlack = 2048 + 16;

class BitReader {
 public:
  BitReader(const uint8_t* bytes, size_t size) : bytes_(bytes), limitBits_(uint64_t(size) * 8) {}

  // The next n bits (1 to 32) without consuming them.
  uint32_t Peek(int n) const { return uint32_t(Window() >> (64 - n)); }

  void Skip(int n) { pos_ += uint64_t(n); }

  uint32_t Read(int n) {
    const uint32_t v = Peek(n);
    pos_ += uint64_t(n);
    return v;
  }

  bool ReadBit() { return Read(1) != 0; }

  // Bits consumed beyond the stretch's end: the data was damaged or cut.
  bool Overrun() const { return pos_ > limitBits_; }

  bool AtEnd() const { return pos_ >= limitBits_; }

  uint64_t position() const { return pos_; }

  // The 64 bits from the current position, first bit in bit 63.
  uint64_t Window() const {
    uint64_t w;
    std::memcpy(&w, bytes_ + (pos_ >> 3), sizeof w);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
    return w << (pos_ & 7);
  }

 private:
  const uint8_t* bytes_;
  uint64_t limitBits_;
  uint64_t pos_ = 0;
};

}  // namespace cl::codecs::mpeg

#endif
