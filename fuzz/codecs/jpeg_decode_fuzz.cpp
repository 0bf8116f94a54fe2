// Fuzzes the "JPEG" decoder: the first two bytes choose the caller's format,
// orientation, colour path, internal format and whether frames carry headers;
// the next two size an abbreviated frame (a complete one is sized by
// clReadHeader). The frame is decoded from plain memory and through a small
// wrapping data ring into a frame exactly as large as the picture.
#include "fuzz_codec.h"

namespace {

using fuzzcodec::FrameBytes;

struct Choice {
  int format, orientation, fullRange, internal, headers;
};

void Decode(const Choice& c, int width, int height, std::vector<uint8_t> stream, bool throughRing) {
  CL_Handle h = nullptr;
  if (stream.empty() || clOpenDecompressor(CL_JPEG, &h) != 0) return;
  int pv[] = {CL_IMAGE_WIDTH,     width,      CL_IMAGE_HEIGHT, height,        CL_ORIGINAL_FORMAT,
              c.format,           CL_ORIENTATION, c.orientation, CL_INTERNAL_FORMAT, c.internal,
              CL_ALGORITHM_PARAMS + 1, c.headers};
  clSetParams(h, pv, int(std::size(pv)));
  JPEGFullRange(h, c.fullRange);
  std::vector<uint8_t> frame(FrameBytes(c.format, width, height));
  if (!throughRing) {
    clDecompress(h, 1, int(stream.size()), stream.data(), frame.data());
    clCloseDecompressor(h);
    return;
  }
  CL_BufferHdl ring = clCreateBuf(h, CL_DATA, 1, 509 + int(stream.size() % 97), nullptr);
  size_t fed = 0;
  for (int round = 0; ring != nullptr && round < 4 && fed < stream.size(); ++round) {
    fed = fuzzcodec::Feed(ring, stream, fed);
    // Nothing more comes for this frame, so the reader must not wait.
    clDoneUpdatingHead(ring);
    clDecompress(h, 1, 0, nullptr, frame.data());
  }
  clCloseDecompressor(h);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzcodec::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > 65536) return 0;
  const Choice c{data[0] % 8, data[0] >> 3 & 1, data[0] >> 4 & 1, data[1] % 5 == 4 ? -1 : 4 + data[1] % 5,
                 data[1] >> 7 & 1 ? 0 : 1};
  int width = 1 + data[2] % 64;
  int height = 1 + data[3] % 64;
  std::vector<uint8_t> stream(data + 4, data + size);
  if (c.headers == 1) {
    CL_Handle reader = nullptr;
    if (clOpenDecompressor(CL_JPEG, &reader) != 0) return 0;
    const bool sized = clReadHeader(reader, int(stream.size()), stream.data()) > 0;
    width = clGetParam(reader, CL_IMAGE_WIDTH);
    height = clGetParam(reader, CL_IMAGE_HEIGHT);
    clCloseDecompressor(reader);
    // Pictures a real movie could hold; larger ones only slow the run down.
    if (!sized || width > 1024 || height > 1024) return 0;
  }
  Decode(c, width, height, stream, false);
  Decode(c, width, height, stream, true);
  return 0;
}
