// The "HDCC" encoder.
//
// Each frame tests n of the 16 pixels of every tile (the next n of the
// sample order, so that successive frames look at different pixels) against
// the tile as the decoder holds it, by luminance. The tiles are bucket-sorted
// by their difference (sum of the n absolute differences, divided by n) and
// the most changed ones above the threshold are sent, at most the tiles per
// update that "Compressed buffer size" allows. A tile that is not sent keeps
// its difference and is found again by a later frame.
//
// The picture is read as one byte per pixel with rows of the width rounded
// down to a multiple of 4 bytes; the partial tiles at the right and bottom
// are never sent.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "codec.h"
#include "../shared/codec_io.h"
#include "../shared/frame_ring.h"
#include "hdcc_state.h"
#include "hdcc_tables.h"

namespace cl::codecs::hdcc {
namespace {

constexpr const char* kLabel = "clCompress HDCC";

// Reads the parameters and lays out the tile table, at the first call.
int SetUp(CL_Handle handle, HDCCStateRecord* state) {
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH,          CL_IMAGE_HEIGHT,      CL_ORIGINAL_FORMAT,
                             CL_COMPRESSED_BUFFER_SIZE, CL_ALGORITHM_PARAMS + 1, CL_ALGORITHM_PARAMS};
  std::array<int32_t, 6> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  state->width = v[0];
  state->height = v[1];
  state->originalFormat = v[2];
  setSamplesToTake(state, v[4]);
  state->threshold = v[5];
  state->stride = state->width & ~3;
  state->roundedHeight = state->height & ~3;
  if (state->stride > 65536 || state->roundedHeight > 65536) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: %d x %d pixels do not fit 16-bit tile coordinates.\n", kLabel,
                state->width, state->height);
    return CL_ERR_NO_DATA;
  }
  state->tileColumns = state->stride / 4;
  state->tileRows = state->roundedHeight / 4;
  state->tilesPerUpdate = v[3] / kRecordBytes;
  const size_t count = size_t(state->tileRows) * size_t(state->tileColumns);
  try {
    state->tiles.assign(count, Tile{});
    state->records.resize(std::min(count, size_t(state->tilesPerUpdate)) * kRecordBytes);
  } catch (const std::bad_alloc&) {
    ReportCodec(handle, CL_ERR_NO_MEMORY, "%s: no buffer space available from malloc %d\n", kLabel,
                int(std::min<size_t>(count * sizeof(Tile), INT_MAX)));
    return CL_ERR_NO_MEMORY;
  }
  for (int row = 0; row < state->tileRows; ++row) {
    for (int column = 0; column < state->tileColumns; ++column) {
      Tile& t = state->tiles[size_t(row) * size_t(state->tileColumns) + size_t(column)];
      t.offset = uint32_t(row * 4 * state->stride + column * 4);
      t.x = uint16_t(column * 4);
      t.y = uint16_t(row * 4);
    }
  }
  if (DebugLevel() > 0) {
    std::fprintf(stderr, "CompressedBufferSize %d\n", v[3]);
    std::fprintf(stderr, "TilesPerUpdate %d\n", state->tilesPerUpdate);
  }
  state->setUp = true;
  return 0;
}

// Codes one frame into state->records; returns the number of records.
int EncodeFrame(HDCCStateRecord* state, const uint8_t* image) {
  const int n = state->samples;
  int offsets[16];
  int positions[16];
  for (int k = 0; k < n; ++k) {
    const int p = kSampleOrder[(state->nextSample + k) & 15];
    positions[k] = p;
    offsets[k] = (p >> 2) * state->stride + (p & 3);
  }
  state->nextSample = (state->nextSample + n) & 15;

  const bool rgb332 = state->originalFormat == CL_RGB332;
  const bool grey = state->originalFormat == CL_GRAYSCALE;
  const uint8_t* lumNew = (rgb332 ? kRgb332Luminance : grey ? kGreyLuminance : kRgb8Luminance).data();
  const uint8_t* lumOld = (grey ? kGreyLuminance : kRgb8Luminance).data();

  int32_t heads[256];
  std::fill(std::begin(heads), std::end(heads), -1);
  int changed = 0;
  const int32_t count = int32_t(state->tiles.size());
  for (int32_t i = 0; i < count; ++i) {
    Tile& t = state->tiles[size_t(i)];
    const uint8_t* pixels = image + t.offset;
    int sum = 0;
    for (int k = 0; k < n; ++k) sum += std::abs(lumNew[pixels[offsets[k]]] - lumOld[t.pixels[positions[k]]]);
    const int d = sum >> state->shift;
    changed += d > state->threshold;
    t.link = heads[d];
    heads[d] = i;
  }
  if (DebugLevel() > 0) {
    for (int d = 0; d < 256; ++d) {
      int inBucket = 0;
      for (int32_t i = heads[d]; i >= 0; i = state->tiles[size_t(i)].link) ++inBucket;
      if (inBucket > 0) std::fprintf(stderr, "%3d:%3d ", d, inBucket);
    }
    std::fprintf(stderr, "\n");
  }

  const int m = std::min(changed, state->tilesPerUpdate);
  uint8_t* out = state->records.data();
  int taken = 0;
  for (int d = 255; d >= 0 && taken < m; --d) {
    for (int32_t i = heads[d]; i >= 0 && taken < m; i = state->tiles[size_t(i)].link, ++taken) {
      Tile& t = state->tiles[size_t(i)];
      const uint8_t* pixels = image + t.offset;
      for (int row = 0; row < 4; ++row) {
        for (int x = 0; x < 4; ++x) {
          const uint8_t p = pixels[row * state->stride + x];
          t.pixels[4 * row + x] = rgb332 ? kRgb332ToRgb8[p] : p;
        }
      }
      std::copy_n(t.pixels, 16, out);
      out[16] = uint8_t(t.x >> 8);
      out[17] = uint8_t(t.x);
      out[18] = uint8_t(t.y >> 8);
      out[19] = uint8_t(t.y);
      out += kRecordBytes;
    }
  }
  return taken;
}

}  // namespace

int Compress(CL_Handle handle, int frames, void*, int* compressedSize, void*) {
  HDCCStateRecord* state = static_cast<HDCCStateRecord*>(clGetUnique(handle));
  if (!state->setUp) {
    if (int bad = SetUp(handle, state)) return bad;
  }
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT, CL_ORIGINAL_FORMAT, CL_BITS_PER_COMPONENT};
  std::array<int32_t, 4> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  if (int bad = CheckFrameBytes(handle, kLabel, FrameSize(CL_VIDEO, v[2], v[0], v[1], v[3]),
                                int64_t(state->stride) * state->roundedHeight, state->width, state->height,
                                state->originalFormat)) {
    return bad;
  }
  *compressedSize = 0;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    const uint8_t* image = FrameToCode(handle, kLabel, frameBuffer, &status);
    if (image == nullptr) return status;
    const int64_t bytes = int64_t(EncodeFrame(state, image)) * kRecordBytes;
    const int64_t stored = PutBytes(handle, kLabel, state->records.data(), bytes);
    if (stored < 0) return int(stored);
    *compressedSize = int(std::min<int64_t>(INT_MAX, *compressedSize + stored));
    if (stored != bytes) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: no room for the frame's tiles (%d of %d bytes stored).\n", kLabel,
                  int(stored), int(bytes));
      return CL_ERR_NO_DATA;
    }
    if (clUpdateTail(frameBuffer, 1) != 1) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release a frame\n", kLabel);
      return CL_ERR_NO_DATA;
    }
  }
  return 1;
}

}  // namespace cl::codecs::hdcc

using namespace cl::codecs::hdcc;

extern "C" {

void setSamplesToTake(HDCCState* state, int count) {
  // Counts round up to a power of two, whose logarithm divides the sum.
  static constexpr struct {
    int most, samples, shift;
  } kSteps[] = {{1, 1, 0}, {2, 2, 1}, {4, 4, 2}, {8, 8, 3}, {16, 16, 4}};
  if (state == nullptr) return;
  for (const auto& step : kSteps) {
    if (count >= 1 && count <= step.most) {
      state->samples = step.samples;
      state->shift = step.shift;
      return;
    }
  }
  std::fprintf(stderr, "Warning: illegal CL_SAMPLES_PER_TILE value\n");
}

void HDCCEncodeKeyFrameNext(HDCCState* state) {
  if (state == nullptr) return;
  for (Tile& t : state->tiles) std::fill(std::begin(t.pixels), std::end(t.pixels), uint8_t(0));
}

}  // extern "C"
