// Fuzzes the "HDCC" decoder on arbitrary records, into frames exactly as
// large as the library sizes them: with clDecompressImage, then as several
// frames in a row on one decompressor. The first four bytes choose width,
// height, pixel format and bytes per frame; the rest are the records.
#include "fuzz_codec.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  clSetErrorHandler(fuzzcodec::Silent);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > 8192) return 0;
  const int width = 1 + data[0] % 40;
  const int height = 1 + data[1] % 40;
  const int format = data[2] % 9;
  const int piece = 1 + data[3] % 64;
  std::vector<uint8_t> records(data + 4, data + size);
  std::vector<uint8_t> frame(fuzzcodec::FrameBytes(format, width, height));
  if (!records.empty()) {
    clDecompressImage(CL_HDCC, width, height, format, int(records.size()), records.data(), frame.data());
  }
  CL_Handle h = nullptr;
  if (clOpenDecompressor(CL_HDCC, &h) != 0) return 0;
  int pv[] = {CL_IMAGE_WIDTH, width, CL_IMAGE_HEIGHT, height, CL_ORIGINAL_FORMAT, format};
  clSetParams(h, pv, 6);
  for (size_t at = 0; at < records.size(); at += size_t(piece)) {
    const int n = int(std::min(records.size() - at, size_t(piece)));
    clDecompress(h, 1, n, records.data() + at, frame.data());
  }
  clCloseDecompressor(h);
  return 0;
}
