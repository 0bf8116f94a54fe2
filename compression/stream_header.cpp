// The common stream header written at the start of the built-in codecs'
// streams: big-endian 32-bit words, word 0 the magic 0x0C1C0DEC, word 1 the
// header length in bytes, then (parameter identifier, value) pairs, the first
// always ("Algorithm ID", scheme). A stream is recognised by words 0 and 3;
// the pairs from word 4 on are applied to a decompressor with clSetParams,
// which range-checks and clamps each value as for any caller.
#include <cinelark/cl.h>

#include <memory>
#include <new>

#include "byte_reader.h"
#include "core.h"

namespace cl {

int QueryCommonHeader(const void* header, int scheme) {
  if (header == nullptr) return -1;
  ByteReader r({static_cast<const uint8_t*>(header), kStreamHeaderFixedBytes});
  const uint32_t magic = r.U32();
  r.Skip(8);
  const int32_t id = r.S32();
  return (r.ok() && magic == CL_STREAM_HEADER_MAGIC && id == scheme) ? scheme : -1;
}

int ReadCommonHeader(CL_Handle handle, int size, const void* header) {
  if (header == nullptr || size < kStreamHeaderFixedBytes) return 0;
  ByteReader r({static_cast<const uint8_t*>(header), static_cast<size_t>(size)});
  const uint32_t magic = r.U32();
  const int32_t length = r.S32();
  const int32_t firstId = r.S32();
  const int32_t scheme = r.S32();
  if (magic != CL_STREAM_HEADER_MAGIC || firstId != CL_ALGORITHM_ID || scheme != handle->scheme) return 0;
  if (length < kStreamHeaderFixedBytes || length > size || length % 4 != 0) {
    const char* current = handle->operation.load(std::memory_order_relaxed);
    const char* op = current ? current : "clReadHeader";
    ReportCodec(handle, CL_ERR_BAD_HEADER, "%s: stream header length %d does not fit the %d bytes given\n", op,
                length, size);
    return 0;
  }
  // Whole pairs only: a trailing odd word cannot name a value.
  const int words = (length / 4 - 4) & ~1;
  std::unique_ptr<int[]> pairs(new (std::nothrow) int[words > 0 ? words : 1]);
  if (!pairs) {
    ReportCodec(handle, CL_ERR_NO_MEMORY, "%s: no buffer space available from malloc %d\n", "clReadHeader",
                words * 4);
    return 0;
  }
  for (int i = 0; i < words; ++i) pairs[i] = r.S32();
  if (words > 0) clSetParams(handle, pairs.get(), words);
  return length;
}

int BuildCommonHeader(std::span<const int32_t> pairs, std::span<uint8_t> out) {
  const size_t length = 8 + 4 * pairs.size();
  if (pairs.size() % 2 != 0 || out.size() < length) return 0;
  StoreBE32(out.data(), CL_STREAM_HEADER_MAGIC);
  StoreBE32(out.data() + 4, static_cast<uint32_t>(length));
  for (size_t i = 0; i < pairs.size(); ++i) StoreBE32(out.data() + 8 + 4 * i, static_cast<uint32_t>(pairs[i]));
  return static_cast<int>(length);
}

}  // namespace cl
