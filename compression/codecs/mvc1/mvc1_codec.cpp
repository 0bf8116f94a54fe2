// "MVC1": the routine set, the stream header and the frame loops.
//
// Stream: the 80-byte common stream header (pairs "Algorithm ID",
// "Algorithm version", "Internal format", "Number of frames", "Frame rate",
// "Image width", "Image height", "Compression ratio", and "Image width" once
// more), then every block of every frame (mvc1_layout.h, mvc1_blocks.h),
// with nothing between frames.
//
// The internal image is RGBX or greyscale with its rows in memory order, and
// the block layout puts the stream's first band at the end of memory: so the
// stream runs down the picture when the rows are stored bottom-up, as
// "Orientation" 1 says they are. Frames are therefore coded in place, and
// decoded straight into the caller's frame, only when the original format is
// the internal one and "Orientation" is not 0; otherwise they pass through a
// conversion area, flipped when "Orientation" is 0.
//
// A frame whose blocks run out is not delivered and the call fails with -18;
// so does a call that leaves some of the caller's compressed bytes unused.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <new>

#include "../shared/frame_ring.h"
#include "mvc1.h"
#include "mvc1_blocks.h"

namespace cl::codecs {
namespace {

using mvc1::Layout;

constexpr int kHeaderBytes = 80;
constexpr int kMaxHeaderBytes = 168;
constexpr int32_t kHeaderParams[] = {CL_ALGORITHM_ID, CL_ALGORITHM_VERSION, CL_INTERNAL_FORMAT,
                                     CL_NUMBER_OF_FRAMES, CL_FRAME_RATE, CL_IMAGE_WIDTH,
                                     CL_IMAGE_HEIGHT, CL_COMPRESSION_RATIO, CL_IMAGE_WIDTH};

struct Mvc1State {
  int32_t reserved = 0;
  bool headerPending = true;
  ScratchArea conversion;  // frames in the internal format
  ScratchArea codes;       // the codes of one band (compressor)
  int frames = 0;          // frames asked of the current call
  bool bufferSizeSet = false;  // the caller chose "Compressed buffer size"
  bool inGetParams = false;    // guards the codec's own clGetParams calls
  const uint32_t* colourWords = nullptr;
};

Mvc1State* StateOf(CL_Handle handle) { return static_cast<Mvc1State*>(clGetUnique(handle)); }

int Clip(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

int Open(const char* label, CL_Handle* handle) {
  Mvc1State* state = new (std::nothrow) Mvc1State;
  if (state == nullptr) {
    ReportCodec(*handle, CL_ERR_NO_MEMORY, "%s: unable to malloc buffer (size %d)\n", label,
                static_cast<int>(sizeof(Mvc1State)));
    return CL_ERR_NO_MEMORY;
  }
  state->colourWords = mvc1::ColourWords();
  clSetUnique(*handle, state);
  return 0;
}

int OpenCompressor(int, CL_Handle* handle) { return Open("clOpenCompressor MVC1", handle); }
int OpenDecompressor(int, CL_Handle* handle) { return Open("clOpenDecompressor MVC1", handle); }

int Close(CL_Handle handle) {
  delete static_cast<Mvc1State*>(clSetUnique(handle, nullptr));
  return 0;
}

int QueryScheme(const void* header) { return QueryCommonHeader(header, CL_MVC1); }

int ReadHeader(CL_Handle handle, int size, void* header) { return ReadCommonHeader(handle, size, header); }

// An unset "Compressed buffer size" is the header and one frame of blocks
// all in the eight-colour form.
int GetParams(CL_Handle handle, int* pv, int length) {
  Mvc1State* state = StateOf(handle);
  if (state == nullptr || state->inGetParams) return 1;
  for (int k = 0; k + 1 < length; k += 2) {
    if (pv[k] != CL_COMPRESSED_BUFFER_SIZE || state->bufferSizeSet) continue;
    state->inGetParams = true;
    constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT};
    std::array<int32_t, 2> v{};
    const int read = ReadParams(handle, ids, v);
    state->inGetParams = false;
    if (read < 0) return read;
    pv[k + 1] = Clip(kHeaderBytes + mvc1::WorstFrameBytes(Layout{v[0], v[1]}, CL_RGBX));
  }
  return 1;
}

int SetParams(CL_Handle handle, int* pv, int length) {
  Mvc1State* state = StateOf(handle);
  for (int k = 0; state != nullptr && k + 1 < length; k += 2) {
    if (pv[k] == CL_COMPRESSED_BUFFER_SIZE) state->bufferSizeSet = true;
  }
  return 1;
}

// The parameters one call works with.
struct Settings {
  Layout layout;
  int original = 0;
  int internal = 0;
  bool direct = false;  // code in place / decode into the caller's frame
  bool flip = false;    // "Orientation" 0: rows the other way round
  float ratio = 0;
  int frameBytes = 0;   // one frame of the frame buffer
  int64_t Pixels() const { return int64_t(layout.width) * layout.height; }
  int InternalBytes() const { return internal == CL_GRAYSCALE ? 1 : 4; }
};

enum Settle { kReadOnly, kSettle };

// Reads the image parameters and, unless only reading, settles "Internal
// format": -1 becomes greyscale for greyscale frames and RGBX for all
// others, and is stored back; any value but those two is refused.
int ReadSettings(CL_Handle handle, const char* label, Settle settle, Settings* s) {
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH,  CL_IMAGE_HEIGHT,       CL_ORIGINAL_FORMAT,   CL_INTERNAL_FORMAT,
                             CL_ORIENTATION,  CL_BITS_PER_COMPONENT, CL_COMPRESSION_RATIO};
  std::array<int32_t, 7> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  s->layout = Layout{v[0], v[1]};
  s->original = v[2];
  s->internal = v[3];
  s->flip = v[4] == 0;
  s->ratio = std::bit_cast<float>(v[6]);
  s->frameBytes = FrameSize(CL_VIDEO, s->original, s->layout.width, s->layout.height, v[5]);
  if (settle == kReadOnly) return 0;
  if (s->internal == -1) {
    s->internal = s->original == CL_GRAYSCALE ? CL_GRAYSCALE : CL_RGBX;
    StoreParam(handle, CL_INTERNAL_FORMAT, s->internal);
  }
  if (s->internal != CL_RGBX && s->internal != CL_GRAYSCALE) {
    ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid internal format %d.\n", label, s->internal);
    return CL_ERR_NO_DATA;
  }
  if (!IsVideoFormat(s->original)) {
    ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid original format %d.\n", label, s->original);
    return CL_ERR_BAD_INTERNAL_FORMAT;
  }
  s->direct = s->original == s->internal && !s->flip;
  return 0;
}

int CheckFrame(CL_Handle handle, const char* label, int frameBytes, const Settings& s) {
  return CheckFrameBytes(handle, label, frameBytes, s.Pixels() * StoredBytesPerPixel(s.original), s.layout.width,
                         s.layout.height, s.original);
}

// Copies codes into the data buffer through the stream writer.
int WriteCodes(CL_Handle handle, const char* label, CL_BufferHdl data, const uint8_t* codes, size_t count) {
  while (count > 0) {
    void* at = nullptr;
    const int k = clWriteData(data, Clip(int64_t(count)), &at);
    if (k < 0) return k;
    if (k == 0) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to get data space (wanted %d, got %d).\n", label,
                  Clip(int64_t(count)), 0);
      return CL_ERR_NO_DATA;
    }
    std::memcpy(at, codes, size_t(k));
    codes += k;
    count -= size_t(k);
  }
  return 0;
}

int Compress(CL_Handle handle, int frames, void*, int* compressedSize, void*) {
  const char* label = "clCompress MVC1";
  Mvc1State* state = StateOf(handle);
  Settings s;
  if (int bad = ReadSettings(handle, label, kSettle, &s)) return bad;
  if (int bad = CheckFrame(handle, label, s.frameBytes, s)) return bad;
  state->frames = frames;
  *compressedSize = 0;
  if (state->headerPending) {
    const int header = PutStreamHeader(handle, label, kHeaderParams);
    if (header < 0) return header;
    *compressedSize = header;
    state->headerPending = false;
  }

  const Layout& l = s.layout;
  const bool grey = s.internal == CL_GRAYSCALE;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
  uint8_t* codes = ReserveArea(handle, label, state->codes, int64_t(l.Columns()) * mvc1::kColourEightBytes);
  if (codes == nullptr) return CL_ERR_NO_MEMORY;
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    const uint8_t* source = FrameToCode(handle, label, frameBuffer, &status);
    if (source == nullptr) return status;
    if (!s.direct) {
      uint8_t* area = ReserveArea(handle, label, state->conversion, s.Pixels() * s.InternalBytes());
      if (area == nullptr) return CL_ERR_NO_MEMORY;
      if (int bad = ConvertOrReport(handle, label, l.width, l.height, s.original, source, s.internal, area, s.flip)) {
        return bad;
      }
      source = area;
    }
    const int threshold = mvc1::ChooseThreshold(l, source, s.internal, s.ratio);
    int64_t written = 0;
    for (int band = 0; band < l.Bands(); ++band) {
      const size_t n = grey ? mvc1::EncodeGreyBand(l, source, band, threshold, codes)
                            : mvc1::EncodeColourBand(l, source, band, threshold, codes);
      if (int bad = WriteCodes(handle, label, data, codes, n)) return bad;
      written += int64_t(n);
    }
    if (int moved = clWriteDone(data, -1); moved < 0) return moved;
    *compressedSize = Clip(*compressedSize + written);
    if (clUpdateTail(frameBuffer, 1) != 1) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release a frame\n", label);
      return CL_ERR_NO_DATA;
    }
  }
  return frames;
}

int Decompress(CL_Handle handle, int frames, int compressedDataSize, void* compressedData, void*) {
  const char* label = "clDecompress MVC1";
  Mvc1State* state = StateOf(handle);
  // The frame buffer was laid out from the parameters as they stand before
  // a stream header changes them.
  Settings before;
  if (int bad = ReadSettings(handle, label, kReadOnly, &before)) return bad;
  state->frames = frames;
  int64_t consumed = 0;
  if (state->headerPending) {
    const int header = TakeStreamHeader(handle, label, kHeaderBytes, kMaxHeaderBytes, ReadHeader);
    if (header < 0) return header;
    consumed += header;
    state->headerPending = false;
  }
  Settings s;
  if (int bad = ReadSettings(handle, label, kSettle, &s)) return bad;
  if (int bad = CheckFrame(handle, label, before.frameBytes, s)) return bad;

  const Layout& l = s.layout;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    uint8_t* frame = FrameSpace(handle, label, frameBuffer, &status);
    if (frame == nullptr) return status;
    uint8_t* target = frame;
    if (!s.direct) {
      target = ReserveArea(handle, label, state->conversion, s.Pixels() * s.InternalBytes());
      if (target == nullptr) return CL_ERR_NO_MEMORY;
    }
    const int64_t got = s.internal == CL_GRAYSCALE ? mvc1::DecodeGreyFrame(data, l, target)
                                                   : mvc1::DecodeColourFrame(data, l, state->colourWords, target);
    if (got < 0) {
      clDone(data, -1);
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: the blocks of frame %d of %d run short.\n", label, f + 1, frames);
      return CL_ERR_NO_DATA;
    }
    consumed += got;
    if (!s.direct) {
      if (int bad = ConvertOrReport(handle, label, l.width, l.height, s.internal, target, s.original, frame, s.flip)) {
        return bad;
      }
    }
    if (int bad = PutFrame(handle, label, frameBuffer)) return bad;
  }
  clDone(data, -1);
  if (compressedData != nullptr && compressedDataSize != consumed) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: compressed data size does not match (%d given, %d used).\n", label,
                compressedDataSize, Clip(consumed));
    return CL_ERR_NO_DATA;
  }
  return frames;
}

}  // namespace

const CL_RoutineSet kMvc1Routines = {OpenCompressor, Compress,    Close,      OpenDecompressor, Decompress,
                                     Close,          QueryScheme, ReadHeader, GetParams,        SetParams};

}  // namespace cl::codecs
