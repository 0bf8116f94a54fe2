// Routines that "Uncompressed Video" and "Uncompressed Audio" share: opening
// and closing, the stream header, and the parameter hooks.
#include <array>
#include <climits>
#include <cstdio>
#include <new>

#include "uncompressed.h"
#include "uncompressed_state.h"

namespace cl::codecs::uncompressed {
namespace {

int Open(const char* label, CL_Handle* handle) {
  State* state = new (std::nothrow) State;
  if (state == nullptr) {
    ReportCodec(*handle, CL_ERR_NO_MEMORY, "%s: unable to malloc buffer (size %d)\n", label,
                static_cast<int>(sizeof(State)));
    return CL_ERR_NO_MEMORY;
  }
  clSetUnique(*handle, state);
  return 0;
}

// The bytes a compressed block may take when the caller did not say: the
// header plus one stored video frame, or plus "Block Size (in frames)"
// audio frames.
int64_t DefaultCompressedBufferSize(CL_Handle handle) {
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH,       CL_IMAGE_HEIGHT, CL_ORIGINAL_FORMAT,
                             CL_INTERNAL_FORMAT,   CL_BLOCK_SIZE,   CL_BITS_PER_COMPONENT};
  std::array<int32_t, 6> v{};
  if (ReadParams(handle, ids, v) < 0) return 0;
  const int scheme = clQuerySchemeFromHandle(handle);
  if (scheme & 0x8000) {
    const int format = v[3] == -1 ? v[2] : v[3];
    return kHeaderBytes + int64_t(v[0]) * v[1] * StoredBytesPerPixel(format);
  }
  const int64_t frameBytes = FrameSize(CL_AUDIO, v[2], 1, 1, v[5]);
  return kHeaderBytes + (frameBytes < 0 ? 0 : frameBytes) * (v[4] < 1 ? 1 : v[4]);
}

}  // namespace

int OpenCompressor(int, CL_Handle* handle) { return Open("clOpenCompressor Uncompressed", handle); }
int OpenDecompressor(int, CL_Handle* handle) { return Open("clOpenDecompressor Uncompressed", handle); }

int Close(CL_Handle handle) {
  delete static_cast<State*>(clSetUnique(handle, nullptr));
  return 0;
}

int QueryScheme(const void* header) {
  const int video = QueryCommonHeader(header, CL_UNCOMPRESSED_VIDEO);
  return video != -1 ? video : QueryCommonHeader(header, CL_UNCOMPRESSED_AUDIO);
}

int ReadHeader(CL_Handle handle, int size, void* header) {
  const int consumed = ReadCommonHeader(handle, size, header);
  State* state = StateOf(handle);
  if (consumed > 0 && state != nullptr) state->headerRead = true;
  return consumed;
}

int GetParams(CL_Handle handle, int* pv, int length) {
  State* state = StateOf(handle);
  if (state == nullptr || state->inGetParams) return 1;
  for (int k = 0; k + 1 < length; k += 2) {
    if (pv[k] != CL_COMPRESSED_BUFFER_SIZE || pv[k + 1] != 0) continue;
    state->inGetParams = true;
    const int64_t bytes = DefaultCompressedBufferSize(handle);
    state->inGetParams = false;
    pv[k + 1] = bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes);
  }
  return 1;
}

int SetParams(CL_Handle, int*, int) { return 1; }

int PutHeaderOnce(CL_Handle handle, const char* label, int* compressedSize) {
  State* state = StateOf(handle);
  *compressedSize = 0;
  if (!state->headerPending) return 0;
  const int header = PutStreamHeader(handle, label, kHeaderParams);
  if (header < 0) return header;
  *compressedSize = header;
  state->headerPending = false;
  return 0;
}

int TakeHeaderOnce(CL_Handle handle, const char* label) {
  State* state = StateOf(handle);
  if (!state->headerPending) return 0;
  const int header = TakeStreamHeader(handle, label, kHeaderBytes, kMaxHeaderBytes, ReadHeader);
  if (header < 0) return header;
  state->headerPending = false;
  if (!state->headerRead && DebugLevel() > 0) {
    std::fprintf(stderr, "%s: no stream header; taking the data as raw frames\n", label);
  }
  return 0;
}

}  // namespace cl::codecs::uncompressed

namespace cl::codecs {

using namespace uncompressed;

const CL_RoutineSet kUncompressedVideoRoutines = {OpenCompressor, CompressVideo, Close,      OpenDecompressor,
                                                  DecompressVideo, Close,        QueryScheme, ReadHeader,
                                                  GetParams,       SetParams};
const CL_RoutineSet kUncompressedAudioRoutines = {OpenCompressor, CompressAudio, Close,      OpenDecompressor,
                                                  DecompressAudio, Close,        QueryScheme, ReadHeader,
                                                  GetParams,       SetParams};

}  // namespace cl::codecs
