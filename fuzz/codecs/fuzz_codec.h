// What the codec fuzz targets share.
#ifndef CINELARK_FUZZ_CODECS_FUZZ_CODEC_H
#define CINELARK_FUZZ_CODECS_FUZZ_CODEC_H

#include <cinelark/cl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace fuzzcodec {

inline void Silent(CL_Handle, int, const char*, ...) {}

// Damaged streams make the decoders print to the C stderr stream, which alone
// goes elsewhere: the sanitizers and the fuzzer report through their own.
inline void Quiet() {
  clSetErrorHandler(Silent);
  if (std::FILE* sink = std::fopen("/dev/null", "w")) stderr = sink;
}

// Bytes of one caller frame of video format 0 to 8.
inline size_t FrameBytes(int format, int width, int height) {
  static const int kComponents[] = {3, 4, 4, 1, 1, 3, 3, 3, 1};
  return size_t(kComponents[format]) * size_t(width) * size_t(height);
}

// Copies what fits of stream from fed on into the ring; returns the new fed.
inline size_t Feed(CL_BufferHdl ring, const std::vector<uint8_t>& stream, size_t fed) {
  while (fed < stream.size()) {
    void* at = nullptr;
    int wrap = 0;
    const int room = clQueryFree(ring, 0, &at, &wrap);
    if (room <= 0) break;
    const size_t k = std::min<size_t>(size_t(room), stream.size() - fed);
    std::memcpy(at, stream.data() + fed, k);
    clUpdateHead(ring, int(k));
    fed += k;
  }
  return fed;
}

}  // namespace fuzzcodec

#endif
