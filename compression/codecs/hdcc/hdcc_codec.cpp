// The routine set of "HDCC" and the helpers that take a handle.
//
// The stream has no header of its own: each compressed frame is just its
// records (20 x their number bytes, 0 when nothing changed). The encoder
// reads its parameters at the first compress call and keeps them; the
// decoder reads width, height and format at its first call. Frames and
// records travel through the handle's buffers like any codec's, which for
// plain memory are the caller's frame and compressed data themselves.
#include <algorithm>
#include <array>
#include <climits>
#include <new>

#include "../shared/codec_io.h"
#include "hdcc.h"
#include "hdcc_state.h"

namespace cl::codecs {
namespace {

HDCCStateRecord* StateOf(CL_Handle handle) { return static_cast<HDCCStateRecord*>(clGetUnique(handle)); }

int Open(const char* operation, CL_Handle* handle) {
  HDCCStateRecord* state = new (std::nothrow) HDCCStateRecord;
  if (state == nullptr) {
    ReportCodec(*handle, CL_ERR_NO_MEMORY, "%s: unable to malloc buffer (size %d)\n", operation,
                int(sizeof(HDCCStateRecord)));
    return CL_ERR_NO_MEMORY;
  }
  clSetUnique(*handle, state);
  return 0;
}

int OpenCompressor(int, CL_Handle* handle) { return Open("clOpenCompressor", handle); }
int OpenDecompressor(int, CL_Handle* handle) { return Open("clOpenDecompressor", handle); }

int Close(CL_Handle handle) {
  delete static_cast<HDCCStateRecord*>(clSetUnique(handle, nullptr));
  return 0;
}

int QueryScheme(const void* header) { return QueryCommonHeader(header, CL_HDCC); }

int ReadHeader(CL_Handle handle, int size, void* header) {
  const int length = ReadCommonHeader(handle, size, header);
  if (length > 0 && StateOf(handle) != nullptr) StateOf(handle)->headerRead = true;
  return length;
}

// Until the caller sets it, "Compressed buffer size" is room for every whole
// tile of the picture (at least one), so that a single call, as
// clCompressImage makes, sends every tile that changed.
int GetParams(CL_Handle handle, int* pv, int length) {
  HDCCStateRecord* state = StateOf(handle);
  if (state == nullptr || state->bufferSizeSet) return 1;
  for (int k = 0; k + 1 < length; k += 2) {
    if (pv[k] != CL_COMPRESSED_BUFFER_SIZE) continue;
    // The nested read asks for none of the values computed here.
    constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT};
    std::array<int32_t, 2> v{};
    if (int bad = ReadParams(handle, ids, v)) return bad;
    const int64_t tiles = std::max<int64_t>(1, int64_t(v[0] / 4) * (v[1] / 4));
    pv[k + 1] = int(std::min<int64_t>(tiles * hdcc::kRecordBytes, INT_MAX / hdcc::kRecordBytes * hdcc::kRecordBytes));
  }
  return 1;
}

int SetParams(CL_Handle handle, int* pv, int length) {
  HDCCStateRecord* state = StateOf(handle);
  for (int k = 0; state != nullptr && k + 1 < length; k += 2) {
    if (pv[k] == CL_COMPRESSED_BUFFER_SIZE) state->bufferSizeSet = true;
  }
  return 1;
}

// The state of a handle of this codec, or null after reporting why not.
HDCCStateRecord* HandleState(CL_Handle handle, const char* operation, int* code) {
  if (handle == nullptr) {
    *code = CL_ERR_NULL_HANDLE;
    ReportCodec(nullptr, *code, "%s: invalid compressor handle %d\n", operation, 0);
    return nullptr;
  }
  if (clQuerySchemeFromHandle(handle) != CL_HDCC || StateOf(handle) == nullptr) {
    *code = CL_ERR_BAD_SCHEME;
    ReportCodec(handle, *code, "%s: not an HDCC handle (scheme %d)\n", operation, clQuerySchemeFromHandle(handle));
    return nullptr;
  }
  return StateOf(handle);
}

}  // namespace

const CL_RoutineSet kHdccRoutines = {OpenCompressor,   hdcc::Compress, Close,      OpenDecompressor,
                                     hdcc::Decompress, Close,          QueryScheme, ReadHeader,
                                     GetParams,        SetParams};

}  // namespace cl::codecs

using cl::codecs::HandleState;

extern "C" {

int clHDCCSetSamplesToTake(CL_Handle handle, int count) {
  int code = 0;
  HDCCStateRecord* state = HandleState(handle, "clHDCCSetSamplesToTake", &code);
  if (state == nullptr) return code;
  setSamplesToTake(state, count);
  if (count >= 1 && count <= 16) cl::codecs::StoreParam(handle, CL_ALGORITHM_PARAMS + 1, count);
  return 0;
}

int clHDCCEncodeKeyFrameNext(CL_Handle handle) {
  int code = 0;
  HDCCStateRecord* state = HandleState(handle, "clHDCCEncodeKeyFrameNext", &code);
  if (state == nullptr) return code;
  HDCCEncodeKeyFrameNext(state);
  return 0;
}

}  // extern "C"
