// Frame coding of "RTR" over the data buffer; see rtr_frame.h.
#include "rtr_frame.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "codec.h"

namespace cl::codecs::rtr {

int64_t EncodeFrame(CL_Handle handle, const char* label, const uint8_t* frame, const Layout& layout, int quality) {
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
  const uint8_t* luma = Shifts(quality, false);
  const uint8_t* chroma = Shifts(quality, true);
  uint8_t staged[4096];
  int fill = 0;
  int64_t total = 0;
  bool full = false;
  auto flush = [&] {
    int done = 0;
    while (done < fill) {
      void* at = nullptr;
      const int k = clWriteData(data, fill - done, &at);
      if (k <= 0) {
        full = true;
        break;
      }
      std::memcpy(at, staged + done, size_t(k));
      done += k;
    }
    total += done;
    fill = 0;
  };

  uint8_t samples[64];
  int32_t q[64];
  for (int my = 0; my < layout.mbRows && !full; ++my) {
    for (int mx = 0; mx < layout.mbColumns && !full; ++mx) {
      for (int b = 0; b < layout.blockCount; ++b) {
        const BlockSpot& spot = layout.blocks[b];
        const Plane& plane = layout.planes[spot.plane];
        GatherBlock(frame, plane, mx * plane.mbWidth + spot.dx, my * plane.mbHeight + spot.dy, samples);
        ForwardBlock(samples, spot.chroma ? chroma : luma, q);
        fill += CodeBlock(q, staged + fill);
      }
      if (fill > int(sizeof staged) - 6 * kMaxBlockBytes) flush();
    }
  }
  if (!full) flush();
  const int committed = clWriteDone(data, -1);
  if (committed < 0) return committed;
  if (full) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: no room for the compressed frame (%d bytes written).\n", label,
                int(std::min<int64_t>(total, INT_MAX)));
    return CL_ERR_NO_DATA;
  }
  return total;
}

CodeReader::CodeReader(CL_BufferHdl data) : data_(data) {
  // A block is fetched whole when the buffer can hold one; a smaller buffer
  // can only be read as the end of the stream.
  void* at = nullptr;
  int wrap = 0;
  const int valid = clQueryValid(data, 0, &at, &wrap);
  int freeWrap = 0;
  const int free = clQueryFree(data, 0, &at, &freeWrap);
  if (valid >= 0 && free >= 0) ask_ = int(std::min<int64_t>(kMaxBlockBytes, int64_t(valid) + wrap + free + freeWrap));
}

void CodeReader::Finish() {
  clDone(data_, unreleased_);
  unreleased_ = 0;
  at_ = end_ = nullptr;
  last_ = false;
}

bool CodeReader::Refill() {
  Finish();
  if (ask_ <= 0) return false;
  void* at = nullptr;
  int wrap = 0;
  const int contiguous = clQueryValid(data_, ask_, &at, &wrap);
  if (contiguous < 0) return false;
  const int available = contiguous + wrap;
  if (available <= 0) return false;
  void* position = nullptr;
  if (available >= kMaxBlockBytes) {
    // Take the whole contiguous run; only a block that straddles the end of
    // the ring's memory is gathered alone.
    const int most = contiguous >= kMaxBlockBytes ? INT_MAX : kMaxBlockBytes;
    const int n = clReadDataRange(data_, kMaxBlockBytes, most, &position);
    if (n < kMaxBlockBytes) return false;
    at_ = static_cast<const uint8_t*>(position);
    end_ = at_ + n;
    return true;
  }
  const int n = clReadDataRange(data_, available, available, &position);
  if (n < available) return false;
  std::memcpy(tail_, position, size_t(n));
  std::memset(tail_ + n, 0, sizeof tail_ - size_t(n));
  at_ = tail_;
  end_ = tail_ + n;
  last_ = true;
  return true;
}

const uint8_t* CodeReader::Next() {
  if (end_ - at_ >= kMaxBlockBytes) return at_;
  if (last_) return at_ < end_ ? at_ : nullptr;
  return Refill() ? at_ : nullptr;
}

int CodeReader::DecodeFrame(const Layout& layout, int quality, uint8_t* frame) {
  const uint8_t* clamp = ClampTable();
  const uint8_t* luma = Shifts(quality, false);
  const uint8_t* chroma = Shifts(quality, true);
  int32_t d[64];
  uint8_t samples[64];
  bool damaged = false;
  for (int my = 0; my < layout.mbRows; ++my) {
    for (int mx = 0; mx < layout.mbColumns; ++mx) {
      for (int b = 0; b < layout.blockCount; ++b) {
        const uint8_t* in = Next();
        if (in == nullptr) return 1;
        const BlockSpot& spot = layout.blocks[b];
        const Plane& plane = layout.planes[spot.plane];
        const int n = DecodeBlock(in, spot.chroma ? chroma : luma, d, &damaged);
        if (n > end_ - at_) {
          // The block ran into the padding after the last byte.
          unreleased_ += int(end_ - at_);
          consumed_ += end_ - at_;
          at_ = end_;
          return 1;
        }
        at_ += n;
        unreleased_ += n;
        consumed_ += n;
        InverseBlock(d, clamp, samples);
        StoreBlock(samples, plane, mx * plane.mbWidth + spot.dx, my * plane.mbHeight + spot.dy, frame);
      }
    }
  }
  return damaged ? 1 : 0;
}

}  // namespace cl::codecs::rtr
