#include "copy_codec.h"

#include <cstring>

#include "codec.h"

namespace {

int scheme = -1;
int lastSetValue = 0;

int FrameBytes(CL_Handle h) {
  int pv[] = {CL_IMAGE_WIDTH, 0, CL_IMAGE_HEIGHT, 0, CL_ORIGINAL_FORMAT, 0, CL_BITS_PER_COMPONENT, 0};
  clGetParams(h, pv, 8);
  return cl::FrameSize(CL_VIDEO, pv[5], pv[1], pv[3], pv[7]);
}

// Moves n bytes between memory and the data ring, through the stream writer
// when compressing and the reader when decompressing.
bool Move(CL_BufferHdl data, bool write, uint8_t* bytes, int n) {
  while (n > 0) {
    void* at = nullptr;
    const int k = write ? clWriteData(data, n, &at) : clReadDataRange(data, 1, n, &at);
    if (k <= 0) {
      if (write) cl::ReportCodec(clQueryHandle(data), CL_ERR_NO_DATA, "%s: no room for %d bytes\n",
                                 "clCompress Copy", n);
      return false;
    }
    std::memcpy(write ? at : bytes, write ? bytes : at, size_t(k));
    bytes += k;
    n -= k;
  }
  return true;
}

// The unique pointer is set once the stream header has gone through.
int Compress(CL_Handle h, int frames, void*, int* size, void*) {
  CL_BufferHdl frameBuf = clQueryBufferHdl(h, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(h, CL_DATA, nullptr);
  if (clGetUnique(h) == nullptr) {
    const int32_t pairs[] = {CL_ALGORITHM_ID, scheme, CL_ALGORITHM_VERSION, 1,
                             CL_IMAGE_WIDTH, clGetParam(h, CL_IMAGE_WIDTH),
                             CL_IMAGE_HEIGHT, clGetParam(h, CL_IMAGE_HEIGHT)};
    uint8_t header[kCopyHeaderBytes];
    cl::BuildCommonHeader(pairs, header);
    if (!Move(data, true, header, kCopyHeaderBytes)) return CL_ERR_NO_DATA;
    *size += kCopyHeaderBytes;
    clSetUnique(h, &scheme);
  }
  const int frameBytes = FrameBytes(h);
  for (int f = 0; f < frames; ++f) {
    void* at = nullptr;
    if (clQueryValid(frameBuf, 1, &at, nullptr) < 1) return CL_ERR_NO_DATA;
    if (!Move(data, true, static_cast<uint8_t*>(at), frameBytes)) return CL_ERR_NO_DATA;
    clUpdateTail(frameBuf, 1);
    clWriteDone(data, -1);
    *size += frameBytes;
  }
  return frames;
}

int Decompress(CL_Handle h, int frames, int, void*, void*) {
  CL_BufferHdl frameBuf = clQueryBufferHdl(h, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(h, CL_DATA, nullptr);
  if (clGetUnique(h) == nullptr) {
    uint8_t header[kCopyHeaderBytes];
    if (!Move(data, false, header, kCopyHeaderBytes) ||
        cl::ReadCommonHeader(h, kCopyHeaderBytes, header) != kCopyHeaderBytes) {
      return CL_ERR_BAD_HEADER;
    }
    clDone(data, -1);
    clSetUnique(h, &scheme);
  }
  for (int f = 0; f < frames; ++f) {
    void* at = nullptr;
    if (clQueryFree(frameBuf, 1, &at, nullptr) < 1) return CL_ERR_NO_DATA;
    if (!Move(data, false, static_cast<uint8_t*>(at), FrameBytes(h))) {
      cl::ReportCodec(h, CL_ERR_NO_DATA, "clDecompress Copy: frame %d is cut short\n", f);
      return CL_ERR_NO_DATA;
    }
    clDone(data, -1);
    clUpdateHead(frameBuf, 1);
  }
  return frames;
}

// A frame plus the header always fits, as a real codec would promise.
int GetParams(CL_Handle h, int* pv, int n) {
  for (int k = 0; k < n; k += 2) {
    if (pv[k] == CL_COMPRESSED_BUFFER_SIZE && pv[k + 1] == 0) pv[k + 1] = FrameBytes(h) + kCopyHeaderBytes;
  }
  return 0;
}

}  // namespace

int AddCopyAlgorithm(const char* name, int type, int* id) {
  auto open = [](int, CL_Handle*) { return 0; };
  auto close = [](CL_Handle) { return 0; };
  auto read = [](CL_Handle h, int n, void* header) { return cl::ReadCommonHeader(h, n, header); };
  auto query = [](const void* header) { return cl::QueryCommonHeader(header, scheme); };
  auto setParams = [](CL_Handle, int* pv, int n) {
    lastSetValue = n >= 2 ? pv[n - 1] : 0;
    return 0;
  };
  return clAddAlgorithm(name, type, kCopyHeaderBytes, open, Compress, close, open, Decompress, close,
                        read, query, GetParams, setParams, id);
}

int CopyCodecScheme() {
  if (scheme < 0) AddCopyAlgorithm("Test Copy", CL_VIDEO, &scheme);
  return scheme;
}

int CopyLastSetValue() { return lastSetValue; }
