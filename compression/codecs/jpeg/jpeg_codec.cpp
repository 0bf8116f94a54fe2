// The "JPEG" row's routines around the coding itself: opening and closing
// (the state, the library's two objects and the interchange header), the
// parameter hooks, stream detection and header reading, and the codec's
// public operations.
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <new>

#include "byte_reader.h"
#include "jpeg.h"
#include "jpeg_state.h"

namespace cl::codecs::jpeg {
namespace {

// The parameter identifiers of the row's own two parameters.
constexpr int32_t kQualityFactor = CL_ALGORITHM_PARAMS;
constexpr int32_t kStreamHeadersFlag = CL_ALGORITHM_PARAMS + 1;

// A JPEG interchange stream starts with SOI then APP0: the word 0xFFD8FFE0.
int QueryJpegStream(const void* header) {
  ByteReader r({static_cast<const uint8_t*>(header), 4});
  return r.U32() == 0xFFD8FFE0u ? CL_JPEG : -1;
}

// Frees the state and everything it holds; the library objects only when
// they were created.
void Destroy(State* state, bool created) {
  if (state == nullptr) return;
  if (created) {
    jpeg_destroy_compress(&state->compress);
    jpeg_destroy_decompress(&state->decompress);
  }
  delete state;
}

int Open(const char* label, CL_Handle* handle) {
  State* state = new (std::nothrow) State;
  if (state == nullptr) {
    ReportCodec(*handle, CL_ERR_NO_MEMORY, "%s: unable to malloc buffer (size %d)\n", label,
                static_cast<int>(sizeof(State)));
    return CL_ERR_NO_MEMORY;
  }
  state->compress.err = InstallErrors(state->errors);
  state->decompress.err = &state->errors.mgr;
  const bool created = Guarded(*state, reinterpret_cast<j_common_ptr>(&state->compress), [&] {
    jpeg_create_compress(&state->compress);
    jpeg_create_decompress(&state->decompress);
  });
  state->luminance = DefaultTable(0);
  state->chrominance = DefaultTable(1);
  if (!created || !BuildHeader(*state)) {
    Destroy(state, created);
    return -1;
  }
  clSetUnique(*handle, state);
  return 0;
}

int OpenCompressor(int, CL_Handle* handle) { return Open("clOpenCompressor JPEG", handle); }
int OpenDecompressor(int, CL_Handle* handle) { return Open("clOpenDecompressor JPEG", handle); }

int Close(CL_Handle handle) {
  State* state = static_cast<State*>(clSetUnique(handle, nullptr));
  if (state != nullptr && state->decompressing) jpeg_abort_decompress(&state->decompress);
  Destroy(state, true);
  return 0;
}

// Reads a complete image's header, sets the image parameters and the
// estimated quality from it, and releases the header's bytes.
int ReadHeader(CL_Handle handle, int, void*) {
  State* state = StateOf(handle);
  if (state == nullptr || clGetParam(handle, kStreamHeadersFlag) != 1) return 0;
  jpeg_decompress_struct& d = state->decompress;
  AttachSource(*state, clQueryBufferHdl(handle, CL_DATA, nullptr), false);
  state->errors.warnings = 0;
  int result = 0;
  const bool ok = Guarded(*state, reinterpret_cast<j_common_ptr>(&d), [&] {
    result = jpeg_read_header(&d, TRUE);
  });
  const int consumed = ReleaseConsumed(*state);
  if (!ok || result != JPEG_HEADER_OK) return -1;
  const int format = d.num_components == 1 ? CL_GRAYSCALE : d.num_components == 3 ? CL_YUV : 0;
  int pv[] = {CL_IMAGE_WIDTH, int(d.image_width), CL_IMAGE_HEIGHT, int(d.image_height), CL_INTERNAL_FORMAT,
              format, CL_BITS_PER_COMPONENT, 8, kQualityFactor, EstimateQuality(d.quant_tbl_ptrs[0])};
  clSetParams(handle, pv, static_cast<int>(std::size(pv)));
  jpeg_abort_decompress(&d);
  return consumed;
}

int GetParams(CL_Handle handle, int* pv, int length) {
  State* state = StateOf(handle);
  if (state == nullptr || state->inGetParams || state->bufferSizeSet) return 0;
  for (int k = 0; k + 1 < length; k += 2) {
    if (pv[k] != CL_COMPRESSED_BUFFER_SIZE) continue;
    state->inGetParams = true;
    constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT};
    std::array<int32_t, 2> v{};
    const int read = ReadParams(handle, ids, v);
    state->inGetParams = false;
    if (read < 0) return read;
    const int64_t bytes = int64_t(v[0]) * v[1] * 4 + kBufferSlack;
    pv[k + 1] = static_cast<int>(std::min<int64_t>(bytes, INT_MAX));
  }
  return 0;
}

int SetParams(CL_Handle handle, int* pv, int length) {
  State* state = StateOf(handle);
  if (state == nullptr) return 0;
  for (int k = 0; k + 1 < length; k += 2) {
    if (pv[k] == CL_COMPRESSED_BUFFER_SIZE) state->bufferSizeSet = true;
  }
  return 0;
}

// The JPEG state of a handle of this row, or null.
State* JpegState(CL_Handle handle) {
  if (handle == nullptr || clQuerySchemeFromHandle(handle) != CL_JPEG) return nullptr;
  return StateOf(handle);
}

}  // namespace

int ReadLayout(CL_Handle handle, const char* label, Layout* l) {
  constexpr int32_t ids[] = {CL_IMAGE_WIDTH, CL_IMAGE_HEIGHT,       CL_ORIGINAL_FORMAT, CL_INTERNAL_FORMAT,
                             CL_ORIENTATION, CL_BITS_PER_COMPONENT, kQualityFactor,     CL_FRAME_BUFFER_SIZE};
  std::array<int32_t, 8> v{};
  if (int bad = ReadParams(handle, ids, v)) return bad;
  l->width = v[0];
  l->height = v[1];
  l->original = v[2];
  l->internal = v[3];
  l->flip = v[4] == 1;
  l->quality = v[6];
  l->frameBytes = v[7];
  if (l->internal == -1) {
    l->internal = l->original >= CL_GRAYSCALE ? l->original : CL_YUV;
    StoreParam(handle, CL_INTERNAL_FORMAT, l->internal);
  }
  if (l->internal < CL_GRAYSCALE || l->internal > CL_YUV422DC) {
    ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid internal format %d.\n", label, l->internal);
    return CL_ERR_NO_DATA;
  }
  if (!IsVideoFormat(l->original) || l->original == CL_RGB8) {
    ReportCodec(handle, CL_ERR_BAD_INTERNAL_FORMAT, "%s: invalid original format %d.\n", label, l->original);
    return CL_ERR_NO_DATA;
  }
  StateOf(handle)->headerFlag = clGetParam(handle, kStreamHeadersFlag);
  return 0;
}

}  // namespace cl::codecs::jpeg

namespace cl::codecs {

using namespace jpeg;

const CL_RoutineSet kJpegRoutines = {OpenCompressor, Compress,    Close,      OpenDecompressor, Decompress,
                                     Close,          QueryJpegStream, ReadHeader, GetParams,        SetParams};

}  // namespace cl::codecs

using namespace cl::codecs::jpeg;

extern "C" {

int JPEGLoadQuantizationTable(CL_Handle handle, int which, const uint16_t* table) {
  State* state = JpegState(handle);
  if (state == nullptr || which < 0 || which > 2 || table == nullptr) return -1;
  if (which == 2) return 0;
  QuantTable& used = which == 0 ? state->luminance : state->chrominance;
  std::copy(table, table + 64, used.begin());
  StoreTable(state->header, which, used);
  return 0;
}

int JPEGPassThrough(CL_Handle handle, int size, const void* bytes) {
  State* state = JpegState(handle);
  if (state == nullptr || size <= 0 || bytes == nullptr) return -1;
  const size_t total = state->passThroughBytes + size_t(size);
  std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[total]);
  if (!grown) return -1;
  if (state->passThroughBytes > 0) std::memcpy(grown.get(), state->passThrough.get(), state->passThroughBytes);
  std::memcpy(grown.get() + state->passThroughBytes, bytes, size_t(size));
  state->passThrough = std::move(grown);
  state->passThroughBytes = total;
  return 0;
}

int JPEGFullRange(CL_Handle handle, int on) {
  State* state = JpegState(handle);
  if (state == nullptr || on < 0 || on > 1) return -1;
  state->fullRange = on == 1;
  return 0;
}

}  // extern "C"
