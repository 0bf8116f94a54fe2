// Opening and closing compressors and decompressors, and the handle's
// unique data and scheme.
//
// A handle starts with its algorithm's parameter defaults, "Algorithm ID" set
// to its scheme, no buffers and no unique data; the codec's open routine then
// attaches its private state. When that routine fails the handle is freed and
// the caller's pointer cleared, so a failed open leaves nothing to close.
#include <cinelark/cl.h>

#include <new>

#include "core.h"

namespace cl {
namespace {

void FreeHandle(CL_Handle h) {
  if (h->frameBuffer != nullptr) clDestroyBuf(h->frameBuffer);
  if (h->dataBuffer != nullptr) clDestroyBuf(h->dataBuffer);
  delete h;
}

int Open(const char* op, bool compressor, int scheme, CL_Handle* handle) {
  const char* nullMessage = compressor ? "%s: invalid compressor handle pointer %d\n"
                                       : "%s: invalid decompressor handle pointer %d\n";
  // The compressor checks the scheme first, the decompressor the pointer.
  if (!compressor && handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE_POINTER, nullMessage, op, 0);
    return CL_ERR_NULL_HANDLE_POINTER;
  }
  Algorithm* row = FindAlgorithm(scheme);
  if (row == nullptr) {
    Report(nullptr, CL_ERR_BAD_SCHEME, "%s: invalid compression scheme (%d)\n", op, scheme);
    return CL_ERR_BAD_SCHEME;
  }
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE_POINTER, nullMessage, op, 0);
    return CL_ERR_NULL_HANDLE_POINTER;
  }
  CL_Handle h = new (std::nothrow) clHandleRecord();
  if (h == nullptr) {
    Report(nullptr, CL_ERR_NO_MEMORY, "%s: no buffer space available from malloc %d\n", op,
           static_cast<int>(sizeof(clHandleRecord)));
    return CL_ERR_NO_MEMORY;
  }
  h->scheme = scheme;
  try {
    h->values.resize(static_cast<size_t>(row->paramCount));
  } catch (const std::bad_alloc&) {
    Report(nullptr, CL_ERR_NO_MEMORY, "%s: no buffer space available from malloc %d\n", op,
           static_cast<int>(row->paramCount * sizeof(int32_t)));
    delete h;
    return CL_ERR_NO_MEMORY;
  }
  h->valueCount = row->paramCount;
  for (int i = 0; i < row->paramCount; ++i) h->values[i] = (*row->params)[i].def;
  if (h->valueCount > CL_ALGORITHM_ID) h->values[CL_ALGORITHM_ID] = scheme;

  *handle = h;
  int result;
  {
    OperationScope scope(h, op);
    CL_OpenRoutine open = compressor ? row->routines.openCompressor : row->routines.openDecompressor;
    result = open(scheme, handle);
  }
  if (result < 0) {
    FreeHandle(h);
    *handle = nullptr;
    return result;
  }
  return 0;
}

int Close(const char* op, bool compressor, CL_Handle handle) {
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE,
           compressor ? "%s: invalid compressionHdl parameter %d\n" : "%s: invalid decompressionHdl parameter %d\n",
           op, 0);
    return CL_ERR_NULL_HANDLE;
  }
  const Algorithm& row = AlgorithmOf(handle);
  int result;
  {
    OperationScope scope(handle, op);
    result = (compressor ? row.routines.closeCompressor : row.routines.closeDecompressor)(handle);
  }
  FreeHandle(handle);
  return result < 0 ? result : 0;
}

}  // namespace
}  // namespace cl

using namespace cl;

extern "C" {

int clOpenCompressor(int scheme, CL_Handle* handle) { return Open("clOpenCompressor", true, scheme, handle); }

int clOpenDecompressor(int scheme, CL_Handle* handle) { return Open("clOpenDecompressor", false, scheme, handle); }

int clCloseCompressor(CL_Handle handle) { return Close("clCloseCompressor", true, handle); }

int clCloseDecompressor(CL_Handle handle) { return Close("clCloseDecompressor", false, handle); }

int clQuerySchemeFromHandle(CL_Handle handle) {
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE_POINTER, "%s: invalid compressor handle %d\n", "clQuerySchemeFromHandle", 0);
    return 0;
  }
  return handle->scheme;
}

void* clGetUnique(CL_Handle handle) {
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE_POINTER, "%s: invalid compressor handle %d\n", "clGetUnique", 0);
    return nullptr;
  }
  return handle->unique;
}

void* clSetUnique(CL_Handle handle, void* unique) {
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE_POINTER, "%s: invalid compressor handle %d\n", "clSetUnique", 0);
    return nullptr;
  }
  void* previous = handle->unique;
  handle->unique = unique;
  return previous;
}

}  // extern "C"
