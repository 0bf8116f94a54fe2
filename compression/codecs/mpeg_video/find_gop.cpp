// clFindNextGOP: the next group of pictures in a data buffer, looked at
// without consuming anything, and its time code as a frame number.
#include <cinelark/cl.h>

#include <cstdint>

#include "headers.h"

namespace {

// Positions tried before giving up.
constexpr int kSearchLimit = 200001;

// The valid bytes of a ring: a contiguous part, then its continuation at the
// start of the ring's memory.
struct ValidBytes {
  const uint8_t* first;
  int firstCount;
  const uint8_t* rest;
  int restCount;

  int total() const { return firstCount + restCount; }
  uint8_t At(int k) const { return k < firstCount ? first[k] : rest[k - firstCount]; }
  const uint8_t* Address(int k) const { return k < firstCount ? first + k : rest + (k - firstCount); }

  // Four bytes big-endian from k; the sequence end code past the data.
  uint32_t Word(int k) const {
    if (k + 4 > total()) return 0x000001B7u;
    return uint32_t(At(k)) << 24 | uint32_t(At(k + 1)) << 16 | uint32_t(At(k + 2)) << 8 | At(k + 3);
  }
};

}  // namespace

extern "C" int clFindNextGOP(CL_BufferHdl buffer, int framesPerSecond, int* offset, void** position) {
  void* at = nullptr;
  int wrap = 0;
  const int valid = clQueryValid(buffer, 1, &at, &wrap);
  if (valid < 0) return valid;
  void* memory = nullptr;
  clQueryBufferHdl(clQueryHandle(buffer), CL_DATA, &memory);
  const ValidBytes bytes{static_cast<const uint8_t*>(at), valid, static_cast<const uint8_t*>(memory),
                         wrap > 0 && memory != nullptr ? wrap : 0};
  for (int k = 0; k < kSearchLimit && k + 4 <= bytes.total(); ++k) {
    if (bytes.Word(k) != 0x000001B8u) continue;
    const uint32_t w = bytes.Word(k + 4);
    cl::codecs::mpeg::GroupHeader g;
    g.hours = int(w >> 26 & 31);
    g.minutes = int(w >> 20 & 63);
    g.seconds = int(w >> 13 & 63);
    g.pictures = int(w >> 7 & 63);
    if (offset != nullptr) *offset = k + 4;
    if (position != nullptr) *position = const_cast<uint8_t*>(bytes.Address(k + 4 < bytes.total() ? k + 4 : k));
    return cl::codecs::mpeg::TimeCodeFrame(g, framesPerSecond);
  }
  return -1;
}
