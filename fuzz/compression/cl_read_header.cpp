// Fuzzes scheme detection, header reading on every row and the stream reader.
#include <cinelark/cl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "codec.h"

namespace {

void Silent(CL_Handle, int, const char*, ...) {}

int Open(int, CL_Handle*) { return 0; }
int Close(CL_Handle) { return 0; }
int Compress(CL_Handle, int, void*, int*, void*) { return 0; }
int Decompress(CL_Handle, int, int, void*, void*) { return 0; }
int ReadHeader(CL_Handle h, int size, void* header) { return cl::ReadCommonHeader(h, size, header); }
int scheme = -1;
int Query(const void* header) { return cl::QueryCommonHeader(header, scheme); }
int Params(CL_Handle, int*, int) { return 0; }

void ReadHeaders(const std::vector<uint8_t>& bytes) {
  for (int type : {CL_AUDIO, CL_VIDEO}) {
    const int rows = clQueryAlgorithms(type, nullptr, 0) / 2;
    for (int row = 0; row < rows; ++row) {
      CL_Handle h = nullptr;
      if (clOpenDecompressor(type ? (row | 0x8000) : row, &h) != 0) continue;
      std::vector<uint8_t> copy(bytes);
      clReadHeader(h, static_cast<int>(copy.size()), copy.data());
      clCloseDecompressor(h);
    }
  }
}

// Reads the bytes back through a small wrapping ring in input-chosen chunks;
// marked done from the start, as no second thread feeds it.
void WalkStream(const std::vector<uint8_t>& bytes) {
  CL_Handle h = nullptr;
  if (clOpenDecompressor(scheme, &h) != 0) return;
  CL_BufferHdl ring = clCreateBuf(h, CL_DATA, 1, 37, nullptr);
  clDoneUpdatingHead(ring);
  clReadSetup(ring, 1 + bytes.size() % 29);
  size_t fed = 0, step = 0;
  for (int rounds = 0; rounds < 4096; ++rounds) {
    void* at = nullptr;
    int wrap = 0;
    const int room = clQueryFree(ring, 0, &at, &wrap);
    const size_t k = std::min<size_t>(room, bytes.size() - fed);
    if (k > 0) {
      std::memcpy(at, bytes.data() + fed, k);
      clUpdateHead(ring, static_cast<int>(k));
      fed += k;
    }
    const uint8_t pick = bytes.empty() ? 0 : bytes[step++ % bytes.size()];
    const int n = pick % 41;
    const int kind = pick >> 6;  // reads of both kinds, done, or the writer on the same ring
    const int got = kind == 0   ? clReadData(ring, n, &at)
                    : kind == 1 ? clReadDataRange(ring, n / 2, n, &at)
                    : kind == 2 ? clDone(ring, -1)
                                : clWrite1Byte(ring, 0, &at, n);
    if (got > 0 && kind < 2) {
      volatile uint8_t sink = static_cast<uint8_t*>(at)[got - 1];
      (void)sink;
    }
    if (fed == bytes.size() && got <= 0 && kind < 2) break;
  }
  clCloseDecompressor(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = [] {
    clSetErrorHandler(Silent);
    return clAddAlgorithm("Fuzz Header", CL_VIDEO, 256, Open, Compress, Close, Open, Decompress, Close, ReadHeader,
                          Query, Params, Params, &scheme) == 0;
  }();
  if (!registered || size > 4096) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  uint8_t first[16] = {};
  std::memcpy(first, data, std::min<size_t>(size, 16));
  clQueryScheme(first);
  ReadHeaders(bytes);
  WalkStream(bytes);
  return 0;
}
