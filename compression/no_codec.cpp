// Routines of the rows without a codec on Linux.
#include "no_codec.h"

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

}  // namespace cl
