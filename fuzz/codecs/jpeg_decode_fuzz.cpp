// Fuzzes the "JPEG" decoder from plain memory and through a small wrapping
// data ring; the first four bytes choose the handle's settings.
#include "fuzz_codec.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzcodec::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5 || size > 65536) return 0;
  const int format = data[0] % 8, headers = data[1] >> 7 & 1 ? 0 : 1;
  int width = 1 + data[2] % 64;
  int height = 1 + data[3] % 64;
  std::vector<uint8_t> stream(data + 4, data + size);
  CL_Handle h = nullptr;
  if (headers == 1) {
    if (clOpenDecompressor(CL_JPEG, &h) != 0) return 0;
    const bool sized = clReadHeader(h, int(stream.size()), stream.data()) > 0;
    width = clGetParam(h, CL_IMAGE_WIDTH);
    height = clGetParam(h, CL_IMAGE_HEIGHT);
    clCloseDecompressor(h);
    // Pictures a real movie could hold; larger ones only slow the run down.
    if (!sized || width > 1024 || height > 1024) return 0;
  }
  const int internal = data[1] % 5 == 4 ? -1 : 4 + data[1] % 5;
  int pv[] = {CL_IMAGE_WIDTH,     width,    CL_IMAGE_HEIGHT,         height,  CL_ORIGINAL_FORMAT, format,
              CL_INTERNAL_FORMAT, internal, CL_ALGORITHM_PARAMS + 1, headers, CL_ORIENTATION,     data[0] >> 3 & 1};
  std::vector<uint8_t> frame(fuzzcodec::FrameBytes(format, width, height));
  for (const bool throughRing : {false, true}) {
    if (clOpenDecompressor(CL_JPEG, &h) != 0) return 0;
    clSetParams(h, pv, int(std::size(pv)));
    JPEGFullRange(h, data[0] >> 4 & 1);
    std::vector<uint8_t> copy(stream);
    if (!throughRing) clDecompress(h, 1, int(copy.size()), copy.data(), frame.data());
    CL_BufferHdl ring = throughRing ? clCreateBuf(h, CL_DATA, 1, 509 + int(stream.size() % 97), nullptr) : nullptr;
    size_t fed = 0;
    for (int round = 0; ring != nullptr && round < 4 && fed < stream.size(); ++round) {
      fed = fuzzcodec::Feed(ring, stream, fed);
      // Nothing more comes for this frame, so the reader must not wait.
      clDoneUpdatingHead(ring);
      clDecompress(h, 1, 0, nullptr, frame.data());
    }
    clCloseDecompressor(h);
  }
  return 0;
}
