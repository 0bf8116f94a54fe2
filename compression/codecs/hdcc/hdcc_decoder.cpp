// The "HDCC" decoder: writes each 20-byte record's 4 x 4 tile at its (x, y)
// into the caller's frame, which must still hold the previous frame.
//
// Rows of the frame are the width rounded down to a multiple of 4 pixels
// apart, as the encoder reads them. RGBA frames get 32-bit words (red in bits
// 0-7, green 8-15, blue 16-23, bits 24-31 zero), RGB332 frames the bytes
// converted back, RGB8 frames the bytes as they are; other formats get
// nothing. A record whose tile would not lie wholly inside the frame is
// skipped, and a call with such records, or with bytes that do not make
// whole records, fails with -18 after writing the good ones.
#include <array>
#include <climits>
#include <cstring>

#include "codec.h"
#include "../shared/codec_io.h"
#include "../shared/frame_ring.h"
#include "hdcc_state.h"
#include "hdcc_tables.h"

namespace cl::codecs::hdcc {
namespace {

constexpr const char* kLabel = "clDecompress HDCC";

int PixelBytes(int format) {
  switch (format) {
    case CL_RGBA:
      return 4;
    case CL_RGB332:
    case CL_RGB8:
      return 1;
    default:
      return 0;
  }
}

void WriteTile(const uint8_t* pixels, int format, uint8_t* at, size_t rowBytes) {
  for (int row = 0; row < 4; ++row, at += rowBytes) {
    const uint8_t* in = pixels + 4 * row;
    if (format == CL_RGBA) {
      const uint32_t words[4] = {kRgb8ToWord[in[0]], kRgb8ToWord[in[1]], kRgb8ToWord[in[2]], kRgb8ToWord[in[3]]};
      std::memcpy(at, words, sizeof words);
    } else if (format == CL_RGB332) {
      for (int x = 0; x < 4; ++x) at[x] = kRgb8ToRgb332[in[x]];
    } else {
      std::memcpy(at, in, 4);
    }
  }
}

}  // namespace

int Decompress(CL_Handle handle, int, int compressedDataSize, void*, void*) {
  HDCCStateRecord* state = static_cast<HDCCStateRecord*>(clGetUnique(handle));
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT, CL_ORIGINAL_FORMAT, CL_BITS_PER_COMPONENT};
  std::array<int32_t, 4> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  if (!state->setUp) {
    state->width = v[0];
    state->height = v[1];
    state->originalFormat = v[2];
    state->stride = state->width & ~3;
    state->setUp = true;
  }
  const int format = state->originalFormat;
  const int pixelBytes = PixelBytes(format);
  const size_t rowBytes = size_t(state->stride) * size_t(pixelBytes);
  if (int bad = CheckFrameBytes(handle, kLabel, FrameSize(CL_VIDEO, v[2], v[0], v[1], v[3]),
                                int64_t(rowBytes) * state->height, state->width, state->height, format)) {
    return bad;
  }
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
  int status = 0;
  uint8_t* frame = FrameSpace(handle, kLabel, frameBuffer, &status);
  if (frame == nullptr) return status;

  int bad = 0;
  const int records = compressedDataSize / kRecordBytes;
  int r = 0;
  for (; r < records; ++r) {
    void* at = nullptr;
    if (clReadData(data, kRecordBytes, &at) < kRecordBytes) break;
    const uint8_t* record = static_cast<const uint8_t*>(at);
    const int x = record[16] << 8 | record[17];
    const int y = record[18] << 8 | record[19];
    if (x + 4 > state->stride || y + 4 > state->height) {
      ++bad;
      continue;
    }
    if (pixelBytes > 0) WriteTile(record, format, frame + size_t(y) * rowBytes + size_t(x) * pixelBytes, rowBytes);
  }
  clDone(data, -1);
  if (int put = PutFrame(handle, kLabel, frameBuffer)) return put;
  const int missing = records - r;
  if (bad > 0 || missing > 0 || compressedDataSize % kRecordBytes != 0) {
    ReportCodec(handle, CL_ERR_NO_DATA,
                "%s: damaged data (%d tiles outside the frame, %d missing, %d bytes beyond whole tiles).\n", kLabel,
                bad, missing, compressedDataSize % kRecordBytes);
    return CL_ERR_NO_DATA;
  }
  return 0;
}

}  // namespace cl::codecs::hdcc
