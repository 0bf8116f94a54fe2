// Routines of rows without a working codec: every attempt to code answers
// -7, so callers learn at open time that the scheme cannot be used here.
#include "awaiting_codec.h"

#include "byte_reader.h"
#include "core.h"

namespace cl {

namespace {

int Unavailable(CL_Handle handle, int scheme) {
  const Algorithm* row = FindAlgorithm(scheme);
  const char* op = handle ? handle->operation.load(std::memory_order_relaxed) : nullptr;
  ReportCodec(handle, CL_ERR_BAD_SCHEME, "%s: no codec for scheme 0x%x (%s) in this build\n",
              op ? op : "clCodec", static_cast<unsigned>(scheme),
              row ? row->name : "?");
  return CL_ERR_BAD_SCHEME;
}

}  // namespace

int OpenWithoutCodec(int scheme, CL_Handle* handle) { return Unavailable(*handle, scheme); }

int CompressWithoutCodec(CL_Handle handle, int, void*, int*, void*) {
  return Unavailable(handle, handle->scheme);
}

int DecompressWithoutCodec(CL_Handle handle, int, int, void*, void*) {
  return Unavailable(handle, handle->scheme);
}

int CloseWithoutCodec(CL_Handle handle) {
  clSetUnique(handle, nullptr);
  return 0;
}

int QueryJpegStream(const void* header) {
  ByteReader r({static_cast<const uint8_t*>(header), 4});
  return r.U32() == 0xFFD8FFE0u ? CL_JPEG : -1;
}

int QueryMpegVideoStream(const void* header) {
  ByteReader r({static_cast<const uint8_t*>(header), 4});
  return r.U32() == 0x000001B3u ? CL_MPEG_VIDEO : -1;
}

int ReadCommonHeaderRoutine(CL_Handle handle, int size, void* header) {
  return ReadCommonHeader(handle, size, header);
}

}  // namespace cl
