// Fuzzes the video decoder FUZZ_SCHEME names with clDecompressImage and through
// a small wrapping data ring; the first four bytes choose the frame.
#include "fuzz_codec.h"

#ifndef FUZZ_SCHEME
#error "FUZZ_SCHEME names the decoder to fuzz"
#endif

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzcodec::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5 || size > 8192) return 0;
  const int width = 1 + data[0] % 32, height = 1 + data[1] % 32, format = data[2] % 9;
  std::vector<uint8_t> stream(data + 4, data + size);
  std::vector<uint8_t> frame(fuzzcodec::FrameBytes(format, width, height));
  std::vector<uint8_t> copy(stream);
  clDecompressImage(FUZZ_SCHEME, width, height, format, int(copy.size()), copy.data(), frame.data());

  CL_Handle h = nullptr;
  if (clOpenDecompressor(FUZZ_SCHEME, &h) != 0) return 0;
  int pv[] = {CL_IMAGE_WIDTH, width, CL_IMAGE_HEIGHT, height, CL_ORIGINAL_FORMAT, format, CL_ORIENTATION, data[3] & 1};
  clSetParams(h, pv, 8);
  // A ring that is not a multiple of any item size, so items straddle its end.
  CL_BufferHdl ring = clCreateBuf(h, CL_DATA, 1, 67 + int(stream.size() % 31), nullptr);
  size_t fed = 0;
  for (int round = 0; ring != nullptr && round < 8; ++round) {
    fed = fuzzcodec::Feed(ring, stream, fed);
        // Closed before every frame, so the decoder never waits for more.
    clDoneUpdatingHead(ring);
    if (clDecompress(h, 1, 0, nullptr, frame.data()) != 0) break;
    void* at = nullptr;
    if (fed == stream.size() && clQueryValid(ring, 0, &at, nullptr) <= 0) break;
  }
  clCloseDecompressor(h);
  return 0;
}
