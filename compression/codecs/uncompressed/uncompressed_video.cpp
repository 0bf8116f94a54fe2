// "Uncompressed Video": each frame is stored as width x height pixels of the
// internal format, rows in order, no padding, after the 64-byte stream
// header (pairs "Algorithm ID", "Algorithm version", "Internal format",
// "Number of frames", "Frame rate", "Image width", "Image height").
//
// A stored pixel takes 3 bytes in RGB and YUV, 4 in RGBX and RGBA, 1 in
// RGB332, greyscale and RGB8, and 2 in the 4:2:2 layouts. The word layouts
// are stored big-endian (the X or alpha byte first, red last) like every
// multi-byte value of a compressed stream; in memory they are native words.
// The caller's frames are converted to the internal format (and flipped
// when "Orientation" is 1) on the way in, and back on the way out.
#include <algorithm>
#include <array>
#include <climits>

#include "../shared/frame_ring.h"
#include "uncompressed_state.h"

namespace cl::codecs::uncompressed {
namespace {

struct VideoLayout {
  int width = 0;
  int height = 0;
  int original = 0;
  int internal = 0;
  bool flip = false;
  int frameBytes = 0;     // one frame of the frame buffer
  int64_t sourceBytes = 0;  // the pixels of one frame in the original format
  int64_t storedBytes = 0;  // one stored frame
};

// Reads the image parameters and settles the internal format (-1 means the
// original one, and is stored back). Refuses layouts whose frames could not
// be read or written whole.
int ReadVideoLayout(CL_Handle handle, const char* label, VideoLayout* l) {
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH,  CL_IMAGE_HEIGHT, CL_ORIGINAL_FORMAT,
                             CL_INTERNAL_FORMAT, CL_ORIENTATION, CL_BITS_PER_COMPONENT};
  std::array<int32_t, 6> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  l->width = v[0];
  l->height = v[1];
  l->original = v[2];
  l->internal = v[3];
  l->flip = v[4] == 1;
  if (l->internal == -1) {
    l->internal = l->original;
    StoreParam(handle, CL_INTERNAL_FORMAT, l->internal);
  }
  if (!IsVideoFormat(l->original)) {
    ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid original format %d.\n", label, l->original);
    return CL_ERR_BAD_INTERNAL_FORMAT;
  }
  if (!IsVideoFormat(l->internal)) {
    ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid internal format %d.\n", label, l->internal);
    return CL_ERR_BAD_INTERNAL_FORMAT;
  }
  const int64_t pixels = int64_t(l->width) * l->height;
  l->frameBytes = FrameSize(CL_VIDEO, l->original, l->width, l->height, v[5]);
  l->sourceBytes = pixels * StoredBytesPerPixel(l->original);
  l->storedBytes = pixels * StoredBytesPerPixel(l->internal);
  if (l->storedBytes > INT_MAX) {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: a stored frame of %d x %d pixels is too large.\n", label, l->width,
                l->height);
    return CL_ERR_NO_DATA;
  }
  return 0;
}

int WordBytes(int format) { return format == CL_RGBX || format == CL_RGBA ? 4 : 0; }

}  // namespace

int CompressVideo(CL_Handle handle, int frames, void*, int* compressedSize, void*) {
  const char* label = "clCompress Uncompressed";
  VideoLayout l;
  if (int bad = ReadVideoLayout(handle, label, &l)) return bad;
  if (int bad = CheckFrameBytes(handle, label, l.frameBytes, l.sourceBytes, l.width, l.height, l.original)) {
    return bad;
  }
  if (int bad = PutHeaderOnce(handle, label, compressedSize)) return bad;

  const int swap = WordBytes(l.internal);
  const bool direct = l.original == l.internal && !l.flip && swap == 0;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  ScratchArea& scratch = StateOf(handle)->area;
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    const uint8_t* stored = FrameToCode(handle, label, frameBuffer, &status);
    if (stored == nullptr) return status;
    if (!direct) {
      uint8_t* area = ReserveArea(handle, label, scratch, l.storedBytes);
      if (area == nullptr) return CL_ERR_NO_MEMORY;
      if (int bad = ConvertOrReport(handle, label, l.width, l.height, l.original, stored, l.internal, area, l.flip)) {
        return bad;
      }
      SwapValues(area, size_t(l.storedBytes), swap);
      stored = area;
    }
    const int64_t put = PutBytes(handle, label, stored, l.storedBytes);
    if (put < 0) return static_cast<int>(put);
    *compressedSize = static_cast<int>(std::min<int64_t>(INT_MAX, *compressedSize + put));
    if (put != l.storedBytes) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to update data (wanted %d, got %d).\n", label,
                  static_cast<int>(l.storedBytes), static_cast<int>(put));
      return CL_ERR_NO_DATA;
    }
    const int released = clUpdateTail(frameBuffer, 1);
    if (released != 1) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to release frames (wanted %d, got %d).\n", label, 1, released);
      return CL_ERR_NO_DATA;
    }
  }
  return frames;
}

int DecompressVideo(CL_Handle handle, int frames, int, void*, void*) {
  const char* label = "clDecompress Uncompressed";
  // The frame buffer was laid out from the parameters as they stand before
  // the stream header changes them.
  VideoLayout before;
  if (int bad = ReadVideoLayout(handle, label, &before)) return bad;
  if (int bad = TakeHeaderOnce(handle, label)) return bad;
  VideoLayout l;
  if (int bad = ReadVideoLayout(handle, label, &l)) return bad;
  if (int bad = CheckFrameBytes(handle, label, before.frameBytes, l.sourceBytes, l.width, l.height, l.original)) {
    return bad;
  }

  const int swap = WordBytes(l.internal);
  const bool direct = l.original == l.internal && !l.flip;
  CL_BufferHdl frameBuffer = clQueryBufferHdl(handle, CL_FRAME, nullptr);
  ScratchArea& scratch = StateOf(handle)->area;
  for (int f = 0; f < frames; ++f) {
    int status = 0;
    uint8_t* frame = FrameSpace(handle, label, frameBuffer, &status);
    if (frame == nullptr) return status;
    uint8_t* stored = frame;
    if (!direct) {
      stored = ReserveArea(handle, label, scratch, l.storedBytes);
      if (stored == nullptr) return CL_ERR_NO_MEMORY;
    }
    const int64_t got = TakeBytes(handle, label, stored, l.storedBytes);
    if (got < 0) return static_cast<int>(got);
    if (got != l.storedBytes) {
      ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to get data (wanted %d, got %d).\n", label,
                  static_cast<int>(l.storedBytes), static_cast<int>(got));
      return CL_ERR_NO_DATA;
    }
    SwapValues(stored, size_t(l.storedBytes), swap);
    if (!direct) {
      if (int bad = ConvertOrReport(handle, label, l.width, l.height, l.internal, stored, l.original, frame, l.flip)) {
        return bad;
      }
    }
    if (int bad = PutFrame(handle, label, frameBuffer)) return bad;
  }
  return frames;
}

}  // namespace cl::codecs::uncompressed
