// The routine set of "RTR".
//
// Stream: the 72-byte common stream header (pairs "Algorithm ID",
// "Algorithm version", "Internal format", "Number of frames", "Frame rate",
// "Image width", "Image height", "Quality level"), then each frame's blocks
// in the order of its internal format (rtr_layout.h), nothing between
// frames. The caller's frames are converted to the internal format (with the
// converters' fast tables, flipped when "Orientation" is 1) before coding and
// back after decoding, unless the formats are equal and nothing is flipped.
//
// Decoding goes on past damage: a damaged block keeps what its codes gave,
// and a stream that ends early leaves the blocks not reached as they were.
// Every frame is still delivered, and the call then fails with -18.
#include "rtr.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <new>

#include "../shared/codec_io.h"
#include "../shared/frame_ring.h"
#include "rtr_frame.h"

namespace cl::codecs {
namespace {

using rtr::CodeReader;
using rtr::Layout;

constexpr int kHeaderBytes = 72;
constexpr int kMaxHeaderBytes = 192;
constexpr int32_t kQualityLevel = CL_ALGORITHM_PARAMS;
constexpr const char* kCompressLabel = "clCompress whtBased";
constexpr const char* kDecompressLabel = "clDecompress whtBased";
constexpr int32_t kHeaderParams[] = {CL_ALGORITHM_ID,     CL_ALGORITHM_VERSION, CL_INTERNAL_FORMAT,
                                     CL_NUMBER_OF_FRAMES, CL_FRAME_RATE,        CL_IMAGE_WIDTH,
                                     CL_IMAGE_HEIGHT,     kQualityLevel};

struct RtrState {
  bool bufferSizeSet = false;  // the caller chose "Compressed buffer size"
  bool headerPending = true;
  int quality = 1;
  ScratchArea conversion;      // frames in the internal format
  int32_t reserved[2] = {};
};

RtrState* StateOf(CL_Handle handle) { return static_cast<RtrState*>(clGetUnique(handle)); }

int Open(const char* operation, CL_Handle* handle) {
  RtrState* state = new (std::nothrow) RtrState;
  if (state == nullptr) {
    ReportCodec(*handle, -1, "%s: unable to malloc buffer (size %d)\n", operation, int(sizeof(RtrState)));
    return -1;
  }
  rtr::ClampTable();
  clSetUnique(*handle, state);
  return 0;
}

int OpenCompressor(int, CL_Handle* handle) { return Open("clOpenCompressor", handle); }
int OpenDecompressor(int, CL_Handle* handle) { return Open("clOpenDecompressor", handle); }

int Close(CL_Handle handle) {
  delete static_cast<RtrState*>(clSetUnique(handle, nullptr));
  return 0;
}

int QueryScheme(const void* header) { return QueryCommonHeader(header, CL_RTR); }

int ReadHeader(CL_Handle handle, int size, void* header) { return ReadCommonHeader(handle, size, header); }

// "Quality level" reads as the level in use; an unset "Compressed buffer
// size" as three quarters of a caller frame plus the header.
int GetParams(CL_Handle handle, int* pv, int length) {
  RtrState* state = StateOf(handle);
  if (state == nullptr) return 1;
  for (int k = 0; k + 1 < length; k += 2) {
    if (pv[k] == kQualityLevel) pv[k + 1] = state->quality;
    if (pv[k] != CL_COMPRESSED_BUFFER_SIZE || state->bufferSizeSet) continue;
    // The nested read asks for none of the values computed here.
    constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT, CL_NUMBER_OF_COMPONENTS, CL_BITS_PER_COMPONENT};
    std::array<int32_t, 4> v{};
    if (int bad = ReadParams(handle, ids, v)) return bad;
    const int64_t frame = int64_t(v[0]) * v[1] * v[2] * v[3] / 8;
    const int64_t bytes = frame * 3 / 4 + kHeaderBytes;
    pv[k + 1] = bytes > INT_MAX ? INT_MAX : int(bytes);
  }
  return 1;
}

int SetParams(CL_Handle handle, int* pv, int length) {
  RtrState* state = StateOf(handle);
  for (int k = 0; state != nullptr && k + 1 < length; k += 2) {
    if (pv[k] == CL_COMPRESSED_BUFFER_SIZE) state->bufferSizeSet = true;
    if (pv[k] != kQualityLevel) continue;
    if (pv[k + 1] >= 1 && pv[k + 1] <= rtr::kQualityLevels) {
      state->quality = pv[k + 1];
    } else {
      std::fprintf(stderr, "Warning: SetParams_whtBased - illegal qLevel\n");
    }
  }
  return 1;
}

// The image parameters one call works with.
struct Picture {
  int width = 0;
  int height = 0;
  int original = 0;
  int internal = 0;
  bool flip = false;
  int frameBytes = 0;  // one frame of the frame buffer
  int64_t pixels = 0;
};

// Reads the image parameters; unless only the frame size is wanted, settles
// the internal format (-1 is the caller's format when that is one of the
// codec's, else YUV422) and stores it back.
int ReadPicture(CL_Handle handle, const char* label, bool settle, bool decompressor, Picture* p) {
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH,     CL_IMAGE_HEIGHT, CL_ORIGINAL_FORMAT,
                             CL_INTERNAL_FORMAT, CL_ORIENTATION,  CL_BITS_PER_COMPONENT};
  std::array<int32_t, 6> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  p->width = v[0];
  p->height = v[1];
  p->original = v[2];
  p->internal = v[3];
  p->flip = v[4] == 1;
  p->pixels = int64_t(p->width) * p->height;
  p->frameBytes = FrameSize(CL_VIDEO, p->original, p->width, p->height, v[5]);
  if (!IsVideoFormat(p->original)) {
    ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid original format %d.\n", label, p->original);
    return CL_ERR_BAD_INTERNAL_FORMAT;
  }
  if (!settle) return 0;
  if (p->internal == -1) p->internal = p->original >= CL_GRAYSCALE && p->original <= CL_YUV422DC ? p->original : CL_YUV422;
  if (p->internal < CL_GRAYSCALE) {
    if (decompressor) {
      ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid internal format.\n", label);
    } else {
      ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid internal format %d.\n", label, p->internal);
    }
    return CL_ERR_NO_DATA;
  }
  if (p->internal != v[3]) StoreParam(handle, CL_INTERNAL_FORMAT, p->internal);
  return 0;
}

int CheckFrame(CL_Handle handle, const char* label, int frameBytes, const Picture& p) {
  return CheckFrameBytes(handle, label, frameBytes, p.pixels * StoredBytesPerPixel(p.original), p.width, p.height,
                         p.original);
}

int Compress(CL_Handle handle, int frames, void*, int* compressedSize, void*) {
  const char* label = kCompressLabel;
  RtrState* state = StateOf(handle);
  Picture p;
  if (int bad = ReadPicture(handle, label, true, false, &p)) return bad;
  if (int bad = CheckFrame(handle, label, p.frameBytes, p)) return bad;
  *compressedSize = 0;
  if (state->headerPending) {
    const int header = PutStreamHeader(handle, label, kHeaderParams);
    if (header < 0) return header;
    *compressedSize = header;
    state->headerPending = false;
  }
  const Layout layout = rtr::MakeLayout(p.internal, p.width, p.height);
  const bool convert = p.original != p.internal || p.flip;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    const uint8_t* source = FrameToCode(handle, label, frameBuffer, &status);
    if (source == nullptr) return status;
    if (convert) {
      uint8_t* area = ReserveArea(handle, label, state->conversion, p.pixels * StoredBytesPerPixel(p.internal));
      if (area == nullptr) return CL_ERR_NO_MEMORY;
      if (int bad = ConvertOrReport(handle, label, p.width, p.height, p.original, source, p.internal, area, p.flip,
                                    true)) {
        return bad;
      }
      source = area;
    }
    const int64_t bytes = rtr::EncodeFrame(handle, label, source, layout, state->quality);
    if (bytes < 0) return int(bytes);
    *compressedSize = int(std::min<int64_t>(INT_MAX, *compressedSize + bytes));
    if (clUpdateTail(frameBuffer, 1) != 1) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release a frame\n", label);
      return CL_ERR_NO_DATA;
    }
  }
  return frames;
}

int Decompress(CL_Handle handle, int frames, int compressedDataSize, void* compressedData, void*) {
  const char* label = kDecompressLabel;
  RtrState* state = StateOf(handle);
  // The frame buffer was laid out from the parameters as they stand before
  // a stream header changes them.
  Picture before;
  if (int bad = ReadPicture(handle, label, false, true, &before)) return bad;
  int64_t consumed = 0;
  if (state->headerPending) {
    const int header = TakeStreamHeader(handle, label, kHeaderBytes, kMaxHeaderBytes, ReadHeader);
    if (header < 0) return header;
    consumed += header;
    state->headerPending = false;
  }
  Picture p;
  if (int bad = ReadPicture(handle, label, true, true, &p)) return bad;
  if (int bad = CheckFrame(handle, label, before.frameBytes, p)) return bad;

  const Layout layout = rtr::MakeLayout(p.internal, p.width, p.height);
  const bool direct = p.original == p.internal && !p.flip;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  CodeReader reader(clQueryBufferHdl(handle, CL_DATA, nullptr));
  int damaged = 0;
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    uint8_t* frame = FrameSpace(handle, label, frameBuffer, &status);
    if (frame == nullptr) return status;
    uint8_t* target = frame;
    if (!direct) {
      target = ReserveArea(handle, label, state->conversion, p.pixels * StoredBytesPerPixel(p.internal));
      if (target == nullptr) return CL_ERR_NO_MEMORY;
    }
    damaged += reader.DecodeFrame(layout, state->quality, target);
    if (!direct) {
      if (int bad = ConvertOrReport(handle, label, p.width, p.height, p.internal, target, p.original, frame, p.flip,
                                    true)) {
        return bad;
      }
    }
    if (int bad = PutFrame(handle, label, frameBuffer)) return bad;
  }
  reader.Finish();
  consumed += reader.consumed();
  const bool leftover = compressedData != nullptr && compressedDataSize != consumed;
  if (damaged > 0 || leftover) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: damaged data (%d of %d frames short or corrupt, %d of %d bytes used).\n",
                label, damaged, frames, int(std::min<int64_t>(consumed, INT_MAX)), compressedDataSize);
    return CL_ERR_NO_DATA;
  }
  return frames;
}

}  // namespace

const CL_RoutineSet kRtrRoutines = {OpenCompressor, Compress,    Close,      OpenDecompressor, Decompress,
                                    Close,          QueryScheme, ReadHeader, GetParams,        SetParams};

}  // namespace cl::codecs
