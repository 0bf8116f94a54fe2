// The frame-buffer steps the video codecs share; see frame_ring.h.
#include "frame_ring.h"

#include <algorithm>
#include <climits>

#include "codec.h"

namespace cl::codecs {

uint8_t* FrameToCode(CL_Handle handle, const char* label, CL_BufferHdl frames, int* status) {
  void* at = nullptr;
  int wrap = 0;
  const int valid = clQueryValid(frames, 1, &at, &wrap);
  if (valid >= 1) return static_cast<uint8_t*>(at);
  if (valid < 0) {
    *status = valid;
  } else {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to get a frame.\n", label);
    *status = CL_ERR_NO_DATA;
  }
  return nullptr;
}

uint8_t* FrameSpace(CL_Handle handle, const char* label, CL_BufferHdl frames, int* status) {
  void* at = nullptr;
  int wrap = 0;
  const int room = clQueryFree(frames, 1, &at, &wrap);
  if (room >= 1) return static_cast<uint8_t*>(at);
  if (room < 0) {
    *status = room;
  } else {
    ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to get space for a frame.\n", label);
    *status = CL_ERR_NO_DATA;
  }
  return nullptr;
}

int PutFrame(CL_Handle handle, const char* label, CL_BufferHdl frames) {
  if (clUpdateHead(frames, 1) == 1) return 0;
  ReportCodec(handle, CL_ERR_NO_DATA, "%s: unable to put a frame.\n", label);
  return CL_ERR_NO_DATA;
}

uint8_t* ReserveArea(CL_Handle handle, const char* label, ScratchArea& area, int64_t bytes) {
  uint8_t* memory = area.Reserve(size_t(bytes));
  if (memory == nullptr) {
    ReportCodec(handle, CL_ERR_NO_MEMORY, "%s: unable to malloc buffer (size %d)\n", label,
                static_cast<int>(std::min<int64_t>(bytes, INT_MAX)));
  }
  return memory;
}

int ConvertOrReport(CL_Handle handle, const char* label, int width, int height, int from, const uint8_t* src, int to,
                    uint8_t* dst, bool flip, bool fast) {
  if (ConvertFrame(width, height, from, src, to, dst, flip, fast) == 0) return 0;
  ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: no conversion from format %d (%s) to format %d (%s).\n", label,
              from, FormatName(from), to, FormatName(to));
  return CL_ERR_BAD_INTERNAL_FORMAT;
}

int CheckFrameBytes(CL_Handle handle, const char* label, int frameBytes, int64_t neededBytes, int width, int height,
                    int original) {
  if (frameBytes >= 0 && frameBytes >= neededBytes) return 0;
  ReportCodec(handle, CL_ERR_NO_DATA, "%s: frames of %d bytes cannot hold %d x %d %s pixels.\n", label, frameBytes,
              width, height, FormatName(original));
  return CL_ERR_NO_DATA;
}

}  // namespace cl::codecs
