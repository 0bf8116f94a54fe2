// Fuzzes the "MPEG Video" decoder through a wrapping data ring; the first
// byte chooses the pixel format, orientation and speed.
#include <bit>

#include "fuzz_codec.h"

namespace {

constexpr int kFormats[] = {CL_RGBX, CL_RGB332, CL_YUV422, CL_RGB};
constexpr int kBytesPerPixel[] = {4, 1, 2, 3};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  clSetErrorHandler(fuzzcodec::Silent);
  const int choice = data[0];
  std::vector<uint8_t> stream(data + 1, data + size);
  CL_Handle h = nullptr;
  if (clOpenDecompressor(CL_MPEG_VIDEO, &h) != 0) return 0;
  const int format = choice & 3;
  int pv[] = {CL_ORIGINAL_FORMAT, kFormats[format], CL_ORIENTATION, choice >> 2 & 1};
  clSetParams(h, pv, 4);
  clSetParam(h, CL_SPEED, std::bit_cast<int>(choice & 8 ? 4.0f : choice & 16 ? 2.0f : 1.0f));
  const int header = clReadHeader(h, int(stream.size()), stream.data());
  const int width = clGetParam(h, CL_IMAGE_WIDTH);
  const int height = clGetParam(h, CL_IMAGE_HEIGHT);
  CL_BufferHdl ring = clCreateBuf(h, CL_DATA, 1, 4096 + int(stream.size() % 97), nullptr);
  if (header <= 0 || width * height > 256 * 256 || ring == nullptr) {
    clCloseDecompressor(h);
    return 0;
  }
  std::vector<uint8_t> frame(size_t(width) * size_t(height) * size_t(kBytesPerPixel[format]));
  size_t fed = 0;
  for (int round = 0; round < 24; ++round) {
    fed = fuzzcodec::Feed(ring, stream, fed);
    if (fed == stream.size()) clDoneUpdatingHead(ring);
    if (clDecompress(h, 1, 0, nullptr, frame.data()) < 0 && fed == stream.size()) break;
    if (clGetParam(h, CL_ALGORITHM_PARAMS) == 1 && fed == stream.size()) break;
  }
  clCloseDecompressor(h);
  return 0;
}
