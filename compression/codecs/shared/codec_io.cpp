// Stream header, byte and frame helpers shared by the simple codecs.
//
// The data buffer is a ring: its free (or valid) bytes may continue at the
// start of its memory after running to the end. The helpers here copy in
// contiguous pieces, asking the buffer again after each advance, so they
// never touch memory the buffer did not hand out.
#include "codec_io.h"

#include <cinelark/colorspace.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "codec.h"

namespace cl::codecs {

uint8_t* ScratchArea::Reserve(size_t bytes) {
  if (bytes <= size_ && memory_) return memory_.get();
  std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]());
  if (!grown) return nullptr;
  memory_ = std::move(grown);
  size_ = bytes;
  return memory_.get();
}

int ConvertFrame(int width, int height, int srcFormat, const uint8_t* src, int dstFormat, uint8_t* dst, bool flip,
                 bool fast) {
  if (srcFormat == dstFormat) {
    const size_t row = size_t(width) * StoredBytesPerPixel(srcFormat);
    if (!flip) {
      std::memcpy(dst, src, row * size_t(height));
      return 0;
    }
    for (int y = 0; y < height; ++y) std::memcpy(dst + row * size_t(height - 1 - y), src + row * size_t(y), row);
    return 0;
  }
  if (!IsVideoFormat(srcFormat) || !IsVideoFormat(dstFormat)) return -1;
  // The converters' flip switch is process-wide: it is on only around this
  // one call, and handles coding on other threads wait meanwhile so that none
  // of their conversions sees it.
  static std::mutex switchLock;
  std::lock_guard<std::mutex> hold(switchLock);
  if (flip) csFlipVertically(1);
  if (fast) csFast(1);
  const int result = csConvert(width, height, srcFormat, src, dstFormat, dst);
  if (fast) csFast(0);
  if (flip) csFlipVertically(0);
  return result;
}

void SwapValues(uint8_t* bytes, size_t count, int valueBytes) {
  if (valueBytes < 2) return;
  uint8_t* end = bytes + count - count % size_t(valueBytes);
  for (uint8_t* p = bytes; p < end; p += valueBytes) std::reverse(p, p + valueBytes);
}

int ReadParams(CL_Handle handle, std::span<const int32_t> ids, std::span<int32_t> values) {
  std::vector<int> pv(ids.size() * 2);
  for (size_t i = 0; i < ids.size(); ++i) pv[2 * i] = ids[i];
  const int result = clGetParams(handle, pv.data(), static_cast<int>(pv.size()));
  if (result < 0) return result;
  for (size_t i = 0; i < ids.size() && i < values.size(); ++i) values[i] = pv[2 * i + 1];
  return 0;
}

int StoreParam(CL_Handle handle, int32_t id, int32_t value) {
  int pv[] = {id, value};
  return clSetParams(handle, pv, 2);
}

int64_t PutBytes(CL_Handle handle, const char* label, const uint8_t* bytes, int64_t count) {
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
  int64_t stored = 0;
  while (stored < count) {
    void* at = nullptr;
    int wrap = 0;
    const int room = clQueryFree(data, 1, &at, &wrap);
    if (room < 0) return room;
    if (room == 0) break;
    const int piece = static_cast<int>(std::min<int64_t>(room, count - stored));
    std::memcpy(at, bytes + stored, size_t(piece));
    const int moved = clUpdateHead(data, piece);
    if (moved != piece) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to update data (wanted %d, got %d).\n", label, piece, moved);
      return CL_ERR_NO_DATA;
    }
    stored += piece;
  }
  return stored;
}

int64_t TakeBytes(CL_Handle handle, const char* label, uint8_t* bytes, int64_t count) {
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
  int64_t taken = 0;
  while (taken < count) {
    void* at = nullptr;
    int wrap = 0;
    const int valid = clQueryValid(data, 1, &at, &wrap);
    if (valid < 0) return valid;
    if (valid == 0) break;
    const int piece = static_cast<int>(std::min<int64_t>(valid, count - taken));
    std::memcpy(bytes + taken, at, size_t(piece));
    const int released = clUpdateTail(data, piece);
    if (released != piece) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release data (wanted %d, got %d).\n", label, piece,
                  released);
      return CL_ERR_NO_DATA;
    }
    taken += piece;
  }
  return taken;
}

int PutStreamHeader(CL_Handle handle, const char* label, std::span<const int32_t> ids) {
  constexpr size_t kMaxPairs = 20;
  std::array<int32_t, 2 * kMaxPairs> pairs{};
  std::array<int32_t, kMaxPairs> values{};
  const size_t n = std::min(ids.size(), kMaxPairs);
  if (int bad = ReadParams(handle, ids.first(n), values)) return bad;
  for (size_t i = 0; i < n; ++i) {
    pairs[2 * i] = ids[i];
    pairs[2 * i + 1] = values[i];
  }
  std::array<uint8_t, 8 + 8 * kMaxPairs> header{};
  const int length = BuildCommonHeader(std::span(pairs).first(2 * n), header);

  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
  // What is free now; only when that is too little is the buffer asked to
  // wait for more (a buffer smaller than the header refuses that query).
  void* at = nullptr;
  int wrap = 0;
  int contiguous = clQueryFree(data, 0, &at, &wrap);
  if (contiguous < 0) return contiguous;
  int free = contiguous + wrap;
  if (free < length) {
    contiguous = clQueryFree(data, length, &at, &wrap);
    if (contiguous >= 0) free = contiguous + wrap;
  }
  if (free < length) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: insufficient space to write header (%d bytes needed, %d free).\n", label,
                length, free);
    return CL_ERR_NO_DATA;
  }
  const int64_t stored = PutBytes(handle, label, header.data(), length);
  if (stored < 0) return static_cast<int>(stored);
  if (stored != length) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to update data (wanted %d, got %d).\n", label, length,
                static_cast<int>(stored));
    return CL_ERR_NO_DATA;
  }
  return length;
}

int TakeStreamHeader(CL_Handle handle, const char* label, int headerBytes, int maxHeaderBytes,
                     CL_ReadHeaderRoutine read) {
  void* memory = nullptr;
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, &memory);
  void* at = nullptr;
  int wrap = 0;
  int contiguous = clQueryValid(data, headerBytes, &at, &wrap);
  if (contiguous < 0) return contiguous;
  if (contiguous + wrap < headerBytes) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: insufficient data for header (%d bytes needed, %d free).\n", label,
                headerBytes, contiguous + wrap);
    return CL_ERR_NO_DATA;
  }
  // The header may straddle the end of the ring's memory: gather it.
  std::vector<uint8_t> header(size_t(std::max(headerBytes, maxHeaderBytes)));
  auto gather = [&](int n) {
    const int first = std::min(n, contiguous);
    std::memcpy(header.data(), at, size_t(first));
    if (n > first) std::memcpy(header.data() + first, memory, size_t(n - first));
  };
  int size = headerBytes;
  gather(size);
  const uint32_t announced =
      uint32_t(header[4]) << 24 | uint32_t(header[5]) << 16 | uint32_t(header[6]) << 8 | uint32_t(header[7]);
  if (announced > uint32_t(headerBytes) && announced <= uint32_t(maxHeaderBytes)) {
    contiguous = clQueryValid(data, static_cast<int>(announced), &at, &wrap);
    if (contiguous < 0) return contiguous;
    if (contiguous + wrap >= static_cast<int>(announced)) {
      size = static_cast<int>(announced);
      gather(size);
    }
  }
  const int consumed = read(handle, size, header.data());
  if (consumed <= 0) return 0;
  const int released = clUpdateTail(data, consumed);
  if (released != consumed) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to put data for header (%d bytes wanted, %d actual).\n", label,
                consumed, released);
    return CL_ERR_NO_DATA;
  }
  return consumed;
}

}  // namespace cl::codecs
