// The routine set of "MPEG Video": the stream decoder behind the library's
// decompressor interface, the sequence parameters, the pass-through
// compressor and clFindNextGOP.
//
// The decompressor pulls the stream from the handle's data buffer as it
// needs it and keeps what it has pulled, so a stream may arrive in a ring
// fed by another thread or in successive plain-memory pieces, one per call.
// When the handle's ring runs dry (its producer done) the sequence ends; the
// end of a plain-memory piece only ends the call. Each handle has a decoder
// of its own.
#include <cinelark/cl.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "../shared/codec_io.h"
#include "../shared/frame_ring.h"
#include "colour.h"
#include "headers.h"
#include "mpeg_video.h"
#include "stream.h"

namespace cl::codecs {
namespace {

using mpeg::StreamDecoder;

constexpr const char* kDecompressLabel = "clDecompress MPEGVideo";
constexpr const char* kCompressLabel = "clCompress MPEGVideo";
constexpr const char* kReadHeaderLabel = "clReadHeader MPEG Video";
constexpr int32_t kEndOfSequence = CL_ALGORITHM_PARAMS;
constexpr int32_t kYuv422dc = CL_YUV422DC;

struct MpegVideoState {
  bool compressedSizeSet = false;
  bool initPending = true;
  bool skipB = false;
  bool skipP = false;
  int lastFrameType = 0;
  int lastFrameIndex = -1;
  bool inGetParams = false;
  ScratchArea scratch;
  std::unique_ptr<StreamDecoder> decoder;
};

MpegVideoState* StateOf(CL_Handle handle) { return static_cast<MpegVideoState*>(clGetUnique(handle)); }

int FloatBits(float f) { return std::bit_cast<int>(f); }

// Pulls from the handle's data buffer, waiting on a ring until bytes come
// or the producer is done.
class DataBufferSource : public mpeg::ByteSource {
 public:
  explicit DataBufferSource(CL_BufferHdl data) : data_(data) {}
  size_t Pull(uint8_t* dst, size_t max) override {
    void* at = nullptr;
    int wrap = 0;
    const int valid = clQueryValid(data_, 1, &at, &wrap);
    if (valid <= 0) return 0;
    const size_t n = std::min(size_t(valid), max);
    std::memcpy(dst, at, n);
    clUpdateTail(data_, int(n));
    return n;
  }

 private:
  CL_BufferHdl data_;
};

// Bytes per pixel the compression ratio counts for an original format.
int RatioBytes(int format) {
  switch (format) {
    case CL_RGB:
    case CL_YUV:
      return 3;
    case CL_RGBX:
    case CL_RGBA:
      return 4;
    case CL_RGB332:
    case CL_GRAYSCALE:
    case CL_RGB8:
      return 1;
    default:
      return 2;
  }
}

// The seven sequence parameters. The ratio is clamped into the
// parameter's range (a variable or zero bit rate gives 1.0).
int StoreSequenceParams(CL_Handle handle, const mpeg::SequenceHeader& s, int original) {
  const int width = s.width / 16 * 16;
  const int height = s.height / 16 * 16;
  const float rate = mpeg::kPictureRates[s.rateCode & 15];
  double ratio = 1.0;
  if (s.bitRate != 0x3FFFF && s.bitRate != 0) {
    ratio = double(rate) * RatioBytes(original) * 8.0 * width * height / (double(s.bitRate) * 400.0);
  }
  const float stored = float(std::clamp(ratio, 1.0, 1000000.0));
  int pv[] = {CL_IMAGE_WIDTH,      width,
              CL_IMAGE_HEIGHT,     height,
              CL_INTERNAL_FORMAT,  kYuv422dc,
              CL_COMPRESSION_RATIO, FloatBits(stored),
              CL_EXACT_COMPRESSION_RATIO, s.constrained ? 1 : 0,
              CL_ALGORITHM_VERSION, 1,
              CL_FRAME_RATE,       FloatBits(rate)};
  return clSetParams(handle, pv, int(std::size(pv)));
}

int Open(int, CL_Handle* handle) {
  auto* state = new (std::nothrow) MpegVideoState;
  if (state == nullptr) {
    ReportCodec(*handle, CL_ERR_NO_MEMORY, "%s: Can't allocate memory\n", "clOpenDecompressor");
    return CL_ERR_NO_MEMORY;
  }
  clSetUnique(*handle, state);
  return 0;
}

int Close(CL_Handle handle) {
  delete StateOf(handle);
  clSetUnique(handle, nullptr);
  return 0;
}

int QueryScheme(const void* header) {
  const auto* b = static_cast<const uint8_t*>(header);
  return b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == mpeg::kSequenceHeader ? CL_MPEG_VIDEO : -1;
}

int ReadHeader(CL_Handle handle, int size, void* header) {
  const auto* bytes = static_cast<const uint8_t*>(header);
  int original = CL_RGBX;
  constexpr int32_t ids[] = {CL_ORIGINAL_FORMAT};
  ReadParams(handle, ids, {&original, 1});
  int at = 0;
  while (at + 3 < size && !(bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1)) ++at;
  mpeg::SequenceHeader s;
  if (at + 3 >= size || bytes[at + 3] != mpeg::kSequenceHeader ||
      !mpeg::ParseSequenceHeader({bytes + at + 4, size_t(size - at - 4)}, &s)) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: sequence did not begin with a header.\n", kReadHeaderLabel);
    return CL_ERR_NO_DATA;
  }
  StoreSequenceParams(handle, s, original);
  return at + 4;
}

int GetParams(CL_Handle handle, int* pv, int length) {
  MpegVideoState* state = StateOf(handle);
  if (state == nullptr || state->inGetParams) return 1;
  for (int k = 0; k + 1 < length; k += 2) {
    if (pv[k] == CL_COMPRESSED_BUFFER_SIZE && !state->compressedSizeSet) {
      constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT, CL_NUMBER_OF_COMPONENTS, CL_BITS_PER_COMPONENT};
      std::array<int32_t, 4> v{};
      state->inGetParams = true;
      const int read = ReadParams(handle, ids, v);
      state->inGetParams = false;
      if (read < 0) return read;
      const int64_t bytes = int64_t(v[0]) * v[1] * v[2] * v[3] / 8;
      pv[k + 1] = int(std::min<int64_t>(bytes, INT32_MAX));
    } else if (pv[k] == CL_FRAME_TYPE) {
      pv[k + 1] = state->lastFrameType;
    } else if (pv[k] == CL_LAST_FRAME_INDEX) {
      pv[k + 1] = state->lastFrameIndex;
    }
  }
  return 1;
}

int SetParams(CL_Handle handle, int* pv, int length) {
  MpegVideoState* state = StateOf(handle);
  for (int k = 0; state != nullptr && k + 1 < length; k += 2) {
    if (pv[k] == CL_COMPRESSED_BUFFER_SIZE) state->compressedSizeSet = true;
    if (pv[k] == CL_SPEED) {
      const float speed = std::bit_cast<float>(pv[k + 1]);
      state->skipB = speed > 1.0f;
      state->skipP = speed > 3.0f;
      if (state->decoder) state->decoder->SetSkipping(state->skipB, state->skipP);
    }
  }
  return 1;
}

// Starts the sequence on the first decompress call after opening.
int StartSequence(CL_Handle handle, MpegVideoState* state, mpeg::ByteSource& source, int original) {
  state->decoder.reset(new (std::nothrow) StreamDecoder);
  StreamDecoder::Status status = state->decoder ? state->decoder->Start(source) : StreamDecoder::kNoMemory;
  if (status == StreamDecoder::kOk && (state->decoder->sequence().width < 16 || state->decoder->sequence().height < 16)) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: picture smaller than one macroblock (%d x %d).\n", kDecompressLabel,
                state->decoder->sequence().width, state->decoder->sequence().height);
    state->decoder.reset();
    return CL_ERR_NO_DATA;
  }
  if (status == StreamDecoder::kNotSequence) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: sequence did not begin with a header.\n", kDecompressLabel);
    state->decoder.reset();
    return CL_ERR_NO_DATA;
  }
  if (status == StreamDecoder::kNoMemory) {
    ReportCodec(handle, CL_ERR_NO_MEMORY, "%s: Can't allocate memory\n", kDecompressLabel);
    state->decoder.reset();
    return CL_ERR_NO_MEMORY;
  }
  state->initPending = false;
  state->lastFrameIndex = -1;
  state->decoder->SetSkipping(state->skipB, state->skipP);
  StoreSequenceParams(handle, state->decoder->sequence(), original);
  return 0;
}

// Converts the delivered store into the frame: straight to RGBX, or through
// the scratch picture and the colour-space converters.
int Deliver(CL_Handle handle, MpegVideoState* state, const mpeg::Store& store, int width, int height, int original,
            bool bottomUp, uint8_t* frame) {
  const mpeg::Geometry& g = state->decoder->geometry();
  const mpeg::PlaneSet planes{store.y, store.cr, store.cb, g.lumaStride(), g.chromaStride()};
  if (original == CL_RGBX) {
    mpeg::ConvertToRgbx(planes, width, height, frame, bottomUp);
    return 0;
  }
  uint8_t* rgbx = ReserveArea(handle, kDecompressLabel, state->scratch, int64_t(width) * height * 4);
  if (rgbx == nullptr) return CL_ERR_NO_MEMORY;
  mpeg::ConvertToRgbx(planes, width, height, rgbx, bottomUp);
  return ConvertOrReport(handle, kDecompressLabel, width, height, CL_RGBX, rgbx, original, frame, false);
}

// Reports what went wrong in the stream since the last report; true when
// pictures were damaged or refused.
bool ReportProblems(CL_Handle handle, StreamDecoder& decoder) {
  const mpeg::Problems p = decoder.TakeProblems();
  for (int k = 0; k < p.repeatedSequenceHeaders; ++k) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: video sequence header in the middle of the stream.\n", kDecompressLabel);
  }
  if (p.damagedSlices > 0) {
    // The decoder's own word for a block that runs past its end-of-block
    // code, on standard output once per call, as it has always said it.
    std::printf("ERRRRRRROOOOORRRR\n");
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: %d damaged slices skipped.\n", kDecompressLabel, p.damagedSlices);
  }
  if (p.dPictures > 0) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: %d D pictures not decoded.\n", kDecompressLabel, p.dPictures);
  }
  return p.damagedSlices > 0 || p.dPictures > 0;
}

int Decompress(CL_Handle handle, int frames, int, void* compressedData, void*) {
  MpegVideoState* state = StateOf(handle);
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT, CL_ORIGINAL_FORMAT, CL_ORIENTATION,
                             CL_BITS_PER_COMPONENT};
  std::array<int32_t, 5> before{};
  if (int bad = ReadParams(handle, ids, before)) return bad;
  const int original = before[2];
  if (!IsVideoFormat(original)) {
    ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid original format %d.\n", kDecompressLabel, original);
    return CL_ERR_BAD_INTERNAL_FORMAT;
  }
  const int frameBytes = FrameSize(CL_VIDEO, original, before[0], before[1], before[4]);
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  DataBufferSource source(clQueryBufferHdl(handle, CL_DATA, nullptr));
  if (state->initPending) {
    if (int bad = StartSequence(handle, state, source, original)) return bad;
  }
  StoreParam(handle, CL_INTERNAL_FORMAT, kYuv422dc);
  StreamDecoder& decoder = *state->decoder;
  const int width = decoder.sequence().width / 16 * 16;
  const int height = decoder.sequence().height / 16 * 16;
  if (int bad = CheckFrameBytes(handle, kDecompressLabel, frameBytes,
                                int64_t(width) * height * StoredBytesPerPixel(original), width, height, original)) {
    return bad;
  }
  decoder.ResumeSource();
  bool damaged = false;
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    uint8_t* frame = FrameSpace(handle, kDecompressLabel, frameBuffer, &status);
    if (frame == nullptr) return status;
    StreamDecoder::Status decoded = StreamDecoder::kOk;
    const mpeg::Delivered d = decoder.Next(source, compressedData == nullptr, &decoded);
    if (decoded == StreamDecoder::kNoMemory) {
      ReportCodec(handle, CL_ERR_NO_MEMORY, "%s: Can't allocate memory\n", kDecompressLabel);
      return CL_ERR_NO_MEMORY;
    }
    state->lastFrameType = d.type;
    state->lastFrameIndex = decoder.lastFrameIndex();
    if (d.store != nullptr) {
      if (int bad = Deliver(handle, state, *d.store, width, height, original, before[3] == 1, frame)) return bad;
    }
    if (decoder.ended()) StoreParam(handle, kEndOfSequence, 1);
    damaged = ReportProblems(handle, decoder) || damaged;
    if (int bad = PutFrame(handle, kDecompressLabel, frameBuffer)) return bad;
  }
  // A plain-memory piece goes away with the call: keep what is left of it.
  if (compressedData != nullptr && !decoder.Drain(source)) {
    ReportCodec(handle, CL_ERR_NO_MEMORY, "%s: Can't allocate memory\n", kDecompressLabel);
    return CL_ERR_NO_MEMORY;
  }
  return damaged ? CL_ERR_NO_DATA : frames;
}

// The compressor stores each frame as it is, or converted to "Internal
// format" when that differs from the original (-1 takes the original).
int Compress(CL_Handle handle, int frames, void*, int* compressedSize, void*) {
  MpegVideoState* state = StateOf(handle);
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH,        CL_IMAGE_HEIGHT,           CL_ORIGINAL_FORMAT,
                             CL_INTERNAL_FORMAT,    CL_FRAME_BUFFER_SIZE,      CL_BITS_PER_COMPONENT};
  std::array<int32_t, 6> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  const int width = v[0];
  const int height = v[1];
  const int original = v[2];
  int internal = v[3];
  if (internal == -1) {
    internal = original;
    StoreParam(handle, CL_INTERNAL_FORMAT, internal);
  }
  const int64_t outBytes = int64_t(width) * height * StoredBytesPerPixel(internal);
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(handle, CL_DATA, nullptr);
  *compressedSize = 0;
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    const uint8_t* source = FrameToCode(handle, kCompressLabel, frameBuffer, &status);
    if (source == nullptr) return status;
    const int wanted = std::max<int>(v[4], int(outBytes));
    void* at = nullptr;
    int wrap = 0;
    const int room = clQueryFree(data, wanted, &at, &wrap);
    const int64_t free = int64_t(std::max(room, 0)) + wrap;
    if (free < wanted) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to get data space (wanted %d, got %d).\n", kCompressLabel,
                  wanted, int(free));
      return CL_ERR_NO_DATA;
    }
    if (internal != original) {
      uint8_t* area = ReserveArea(handle, kCompressLabel, state->scratch, outBytes);
      if (area == nullptr) return CL_ERR_NO_MEMORY;
      if (int bad = ConvertOrReport(handle, kCompressLabel, width, height, original, source, internal, area, false)) {
        return bad;
      }
      source = area;
    }
    const int64_t put = PutBytes(handle, kCompressLabel, source, outBytes);
    if (put < 0) return int(put);
    if (put != outBytes) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to put data (wanted %d, got %d).", kCompressLabel,
                  int(outBytes), int(put));
      return CL_ERR_NO_DATA;
    }
    *compressedSize += int(put);
    if (clUpdateTail(frameBuffer, 1) != 1) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release a frame\n", kCompressLabel);
      return CL_ERR_NO_DATA;
    }
  }
  return frames;
}

}  // namespace

const CL_RoutineSet kMpegVideoRoutines = {Open, Compress, Close, Open, Decompress, Close,
                                          QueryScheme, ReadHeader, GetParams, SetParams};

}  // namespace cl::codecs
