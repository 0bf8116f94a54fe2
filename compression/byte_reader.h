// A bounds-checked reader of big-endian values over a byte span. Reads past
// the end yield 0 and set a sticky failure flag, so a parser can read a whole
// record and check ok() once.
#ifndef CINELARK_COMPRESSION_BYTE_READER_H
#define CINELARK_COMPRESSION_BYTE_READER_H

#include <cstddef>
#include <cstdint>
#include <span>

namespace cl {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint8_t U8() { return Has(1) ? bytes_[pos_++] : Fail(); }

  uint16_t U16() {
    if (!Has(2)) return Fail();
    uint16_t v = uint16_t(bytes_[pos_] << 8 | bytes_[pos_ + 1]);
    pos_ += 2;
    return v;
  }

  uint32_t U32() {
    if (!Has(4)) return Fail();
    uint32_t v = uint32_t(bytes_[pos_]) << 24 | uint32_t(bytes_[pos_ + 1]) << 16 |
                 uint32_t(bytes_[pos_ + 2]) << 8 | uint32_t(bytes_[pos_ + 3]);
    pos_ += 4;
    return v;
  }

  int32_t S32() { return static_cast<int32_t>(U32()); }

  void Skip(size_t n) {
    if (Has(n)) pos_ += n;
    else Fail();
  }

  bool ok() const { return ok_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return bytes_.size() - pos_; }

 private:
  bool Has(size_t n) const { return ok_ && n <= bytes_.size() - pos_; }
  uint8_t Fail() {
    ok_ = false;
    pos_ = bytes_.size();
    return 0;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Stores v big-endian at p (4 bytes).
inline void StoreBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

}  // namespace cl

#endif
