// Helpers for the codec tests.
#ifndef CINELARK_TESTS_COMPRESSION_CODECS_TEST_UTIL_H
#define CINELARK_TESTS_COMPRESSION_CODECS_TEST_UTIL_H

#include <cinelark/cl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <numeric>
#include <vector>

namespace codectest {

using Bytes = std::vector<uint8_t>;

inline int FloatBits(float f) { return std::bit_cast<int>(f); }

// Big-endian bytes of the given 32-bit words.
inline std::vector<uint8_t> BigEndianWords(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> bytes;
  for (uint32_t w : words) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(w >> shift));
  }
  return bytes;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// n bytes counting up from first.
inline std::vector<uint8_t> Counting(int n, int first = 0) {
  std::vector<uint8_t> bytes(static_cast<size_t>(n));
  std::iota(bytes.begin(), bytes.end(), uint8_t(first));
  return bytes;
}

// Feeds bytes to a data ring with its head, in pieces of at most `piece`,
// waiting for room, and says done after the last when asked. Returns the
// bytes fed, fewer when the ring stops taking them.
inline size_t Feed(CL_BufferHdl ring, const std::vector<uint8_t>& bytes, size_t piece = SIZE_MAX, bool done = true) {
  size_t fed = 0;
  while (fed < bytes.size()) {
    void* at = nullptr;
    const int room = clQueryFree(ring, 1, &at, nullptr);
    if (room <= 0) break;
    const size_t k = std::min({size_t(room), piece, bytes.size() - fed});
    std::memcpy(at, bytes.data() + fed, k);
    if (clUpdateHead(ring, int(k)) != int(k)) break;
    fed += k;
  }
  if (done) clDoneUpdatingHead(ring);
  return fed;
}

// A stream header as the format lays it out: magic number and length, the
// pairs every codec writes, then the codec's own pairs.
inline std::vector<uint8_t> StreamHeader(int scheme, int internal, float rate, std::initializer_list<uint32_t> own) {
  std::vector<uint32_t> words = {CL_STREAM_HEADER_MAGIC, uint32_t(48 + 4 * own.size()), CL_ALGORITHM_ID,
                                 uint32_t(scheme), CL_ALGORITHM_VERSION, 1, CL_INTERNAL_FORMAT, uint32_t(internal),
                                 CL_NUMBER_OF_FRAMES, 0, CL_FRAME_RATE, uint32_t(FloatBits(rate))};
  words.insert(words.end(), own);
  return BigEndianWords(words);
}

// The 64-byte stream header of a video codec.
inline std::vector<uint8_t> VideoHeader(int scheme, int internal, int width, int height) {
  return StreamHeader(scheme, internal, 30.0f, {CL_IMAGE_WIDTH, uint32_t(width), CL_IMAGE_HEIGHT, uint32_t(height)});
}

// Bytes one pixel of video format 0 to 8 takes stored packed.
inline int StoredBytes(int format) {
  static constexpr int kBytes[] = {3, 4, 4, 1, 1, 3, 2, 2, 1};
  return kBytes[format];
}

// Peak signal-to-noise ratio over the bytes, every fourth (X or alpha)
// skipped when asked; 99 for equal pictures, 0 for pictures of other sizes.
inline double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, bool skipFourth) {
  if (a.size() != b.size()) return 0;
  double sum = 0, n = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (skipFourth && i % 4 == 3) continue;
    sum += (double(a[i]) - double(b[i])) * (double(a[i]) - double(b[i]));
    ++n;
  }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / sum);
}

// A handle of either kind that is closed when the test leaves its scope.
class Handle {
 public:
  Handle(int scheme, bool compressor, std::initializer_list<int> params = {})
      : Handle(scheme, compressor, std::vector<int>(params)) {}
  // A handle for w x h frames of the caller's format, then the other pairs.
  Handle(int scheme, bool compressor, int w, int h, int format, std::initializer_list<int> more = {})
      : Handle(scheme, compressor, {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_ORIGINAL_FORMAT, format}, more) {}
  Handle(int scheme, bool compressor, std::vector<int> pv, std::initializer_list<int> more = {})
      : compressor_(compressor) {
    const int opened = compressor ? clOpenCompressor(scheme, &h_) : clOpenDecompressor(scheme, &h_);
    EXPECT_EQ(opened, 0);
    pv.insert(pv.end(), more);
    if (!pv.empty()) {
      EXPECT_GE(clSetParams(h_, pv.data(), int(pv.size())), 0);
    }
  }
  ~Handle() {
    if (h_ != nullptr) {
      EXPECT_EQ(compressor_ ? clCloseCompressor(h_) : clCloseDecompressor(h_), 0);
    }
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  operator CL_Handle() const { return h_; }

  // Compresses frames from plain memory into a buffer of "Compressed buffer
  // size" bytes; returns the bytes the codec reports, resized to them.
  std::vector<uint8_t> Compress(const void* frames, int count, int* result = nullptr) {
    const int capacity = clGetParam(h_, CL_COMPRESSED_BUFFER_SIZE);
    std::vector<uint8_t> data(size_t(capacity > 0 ? capacity : 1));
    int size = 0;
    const int r = clCompress(h_, count, const_cast<void*>(frames), &size, data.data());
    if (result != nullptr) *result = r;
    else EXPECT_EQ(r, 0);
    data.resize(size_t(size));
    return data;
  }

  // Decodes count frames from plain memory into bytes bytes, 0xEE where
  // nothing is written; the result as Compress gives it.
  std::vector<uint8_t> Decompress(const std::vector<uint8_t>& data, size_t bytes, int count = 1,
                                  int* result = nullptr) {
    std::vector<uint8_t> out(bytes, 0xEE);
    const int r = clDecompress(h_, count, int(data.size()), const_cast<uint8_t*>(data.data()), out.data());
    if (result != nullptr) *result = r;
    else EXPECT_EQ(r, 0);
    return out;
  }

 private:
  CL_Handle h_ = nullptr;
  bool compressor_;
};

}  // namespace codectest

#endif
