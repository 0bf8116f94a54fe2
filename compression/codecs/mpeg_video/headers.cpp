// Sequence, group and picture headers (ISO/IEC 11172-2, 2.4.2).
#include "headers.h"

#include <cstddef>

#include "vlc_tables.h"

namespace cl::codecs::mpeg {

const float kPictureRates[16] = {0.0f, 23.976f, 24.0f, 25.0f, 29.97f, 30.0f, 50.0f, 59.94f,
                                 60.0f, 0.0f,    0.0f,  0.0f,  0.0f,   0.0f,  0.0f,  0.0f};

namespace {

// Header fields, most significant bit first; reading past the end yields
// zeros and marks the reader as short.
class FieldReader {
 public:
  explicit FieldReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint32_t Read(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++pos_) {
      const size_t byte = pos_ >> 3;
      if (byte >= bytes_.size()) {
        short_ = true;
        v <<= 1;
        continue;
      }
      v = v << 1 | ((bytes_[byte] >> (7 - (pos_ & 7))) & 1u);
    }
    return v;
  }

  bool ok() const { return !short_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool short_ = false;
};

bool ReadMatrix(FieldReader& r, uint8_t* matrix) {
  bool ok = true;
  for (int i = 0; i < 64; ++i) {
    matrix[kZigZag[i]] = uint8_t(r.Read(8));
    ok = ok && matrix[kZigZag[i]] != 0;
  }
  return ok;
}

}  // namespace

bool ParseSequenceHeader(std::span<const uint8_t> bytes, SequenceHeader* out) {
  FieldReader r(bytes);
  SequenceHeader s;
  s.width = int(r.Read(12));
  s.height = int(r.Read(12));
  s.aspectCode = int(r.Read(4));
  s.rateCode = int(r.Read(4));
  s.bitRate = int(r.Read(18));
  r.Read(1);  // marker
  s.vbvBufferSize = int(r.Read(10));
  s.constrained = r.Read(1) != 0;
  bool matricesOk = true;
  if (r.Read(1)) {
    matricesOk = ReadMatrix(r, s.intraMatrix);
  } else {
    for (int i = 0; i < 64; ++i) s.intraMatrix[i] = kDefaultIntraMatrix[i];
  }
  if (r.Read(1)) {
    matricesOk = ReadMatrix(r, s.nonIntraMatrix) && matricesOk;
  } else {
    for (uint8_t& m : s.nonIntraMatrix) m = 16;
  }
  if (!r.ok() || !matricesOk || s.width == 0 || s.height == 0) return false;
  *out = s;
  return true;
}

bool ParseGroupHeader(std::span<const uint8_t> bytes, GroupHeader* out) {
  FieldReader r(bytes);
  GroupHeader g;
  g.dropFrame = r.Read(1) != 0;
  g.hours = int(r.Read(5));
  g.minutes = int(r.Read(6));
  r.Read(1);  // marker
  g.seconds = int(r.Read(6));
  g.pictures = int(r.Read(6));
  g.closed = r.Read(1) != 0;
  g.brokenLink = r.Read(1) != 0;
  if (!r.ok()) return false;
  *out = g;
  return true;
}

bool ParsePictureHeader(std::span<const uint8_t> bytes, PictureHeader* out) {
  FieldReader r(bytes);
  PictureHeader p;
  p.temporalReference = int(r.Read(10));
  p.type = int(r.Read(3));
  p.vbvDelay = int(r.Read(16));
  if (p.type == kPPicture || p.type == kBPicture) {
    p.fullPelForward = r.Read(1) != 0;
    p.forwardFCode = int(r.Read(3));
    if (p.forwardFCode == 0) return false;
  }
  if (p.type == kBPicture) {
    p.fullPelBackward = r.Read(1) != 0;
    p.backwardFCode = int(r.Read(3));
    if (p.backwardFCode == 0) return false;
  }
  if (!r.ok() || p.type < kIPicture || p.type > kDPicture) return false;
  *out = p;
  return true;
}

int TimeCodeFrame(const GroupHeader& g, int framesPerSecond) {
  return g.pictures + framesPerSecond * ((g.hours * 60 + g.minutes) * 60 + g.seconds);
}

}  // namespace cl::codecs::mpeg
