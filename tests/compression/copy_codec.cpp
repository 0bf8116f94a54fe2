#include "copy_codec.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codec.h"

namespace {

int scheme = -1;
int lastSetValue = 0;

struct State {
  bool headerPending = true;
};

int FrameBytes(CL_Handle h) {
  int pv[] = {CL_IMAGE_WIDTH, 0, CL_IMAGE_HEIGHT, 0, CL_ORIGINAL_FORMAT, 0, CL_BITS_PER_COMPONENT, 0};
  clGetParams(h, pv, 8);
  return cl::FrameSize(CL_VIDEO, pv[5], pv[1], pv[3], pv[7]);
}

int Open(int, CL_Handle* h) {
  clSetUnique(*h, new State);
  return 0;
}

int Close(CL_Handle h) {
  delete static_cast<State*>(clSetUnique(h, nullptr));
  return 0;
}

// Copies bytes into the data buffer through the writer.
int Put(CL_BufferHdl data, const uint8_t* bytes, int n) {
  while (n > 0) {
    void* at = nullptr;
    const int k = clWriteData(data, n, &at);
    if (k <= 0) {
      cl::ReportCodec(clQueryHandle(data), CL_ERR_NO_DATA, "%s: no room for %d bytes\n", "clCompress Copy", n);
      return CL_ERR_NO_DATA;
    }
    std::memcpy(at, bytes, k);
    bytes += k;
    n -= k;
  }
  return 0;
}

// Copies n bytes out of the data buffer through the reader.
int Get(CL_BufferHdl data, uint8_t* bytes, int n) {
  while (n > 0) {
    void* at = nullptr;
    const int k = clReadDataRange(data, 1, n, &at);
    if (k <= 0) return CL_ERR_NO_DATA;
    std::memcpy(bytes, at, k);
    bytes += k;
    n -= k;
  }
  return 0;
}

int Compress(CL_Handle h, int frames, void*, int* size, void*) {
  State* s = static_cast<State*>(clGetUnique(h));
  CL_BufferHdl frameBuf = clQueryBufferHdl(h, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(h, CL_DATA, nullptr);
  if (s->headerPending) {
    const int32_t pairs[] = {CL_ALGORITHM_ID, h ? clQuerySchemeFromHandle(h) : 0, CL_ALGORITHM_VERSION, 1,
                             CL_IMAGE_WIDTH,  clGetParam(h, CL_IMAGE_WIDTH),       CL_IMAGE_HEIGHT,
                             clGetParam(h, CL_IMAGE_HEIGHT)};
    uint8_t header[kCopyHeaderBytes];
    cl::BuildCommonHeader(pairs, header);
    if (int bad = Put(data, header, kCopyHeaderBytes)) return bad;
    *size += kCopyHeaderBytes;
    s->headerPending = false;
  }
  const int frameBytes = FrameBytes(h);
  for (int f = 0; f < frames; ++f) {
    void* at = nullptr;
    if (clQueryValid(frameBuf, 1, &at, nullptr) < 1) {
      cl::ReportCodec(h, CL_ERR_NO_DATA, "%s: unable to get a frame.\n", "clCompress Copy");
      return CL_ERR_NO_DATA;
    }
    if (int bad = Put(data, static_cast<uint8_t*>(at), frameBytes)) return bad;
    clUpdateTail(frameBuf, 1);
    clWriteDone(data, -1);
    *size += frameBytes;
  }
  return frames;
}

int Decompress(CL_Handle h, int frames, int, void*, void*) {
  State* s = static_cast<State*>(clGetUnique(h));
  CL_BufferHdl frameBuf = clQueryBufferHdl(h, CL_FRAME, nullptr);
  CL_BufferHdl data = clQueryBufferHdl(h, CL_DATA, nullptr);
  if (s->headerPending) {
    uint8_t header[kCopyHeaderBytes];
    if (Get(data, header, kCopyHeaderBytes) != 0 ||
        cl::ReadCommonHeader(h, kCopyHeaderBytes, header) != kCopyHeaderBytes) {
      cl::ReportCodec(h, CL_ERR_BAD_HEADER, "%s: no stream header\n", "clDecompress Copy");
      return CL_ERR_BAD_HEADER;
    }
    clDone(data, -1);
    s->headerPending = false;
  }
  const int frameBytes = FrameBytes(h);
  for (int f = 0; f < frames; ++f) {
    void* at = nullptr;
    if (clQueryFree(frameBuf, 1, &at, nullptr) < 1) return CL_ERR_NO_DATA;
    if (Get(data, static_cast<uint8_t*>(at), frameBytes) != 0) {
      cl::ReportCodec(h, CL_ERR_NO_DATA, "%s: frame %d is cut short\n", "clDecompress Copy", f);
      return CL_ERR_NO_DATA;
    }
    clDone(data, -1);
    clUpdateHead(frameBuf, 1);
  }
  return frames;
}

int QueryScheme(const void* header) { return cl::QueryCommonHeader(header, scheme); }

int ReadHeader(CL_Handle h, int size, void* header) { return cl::ReadCommonHeader(h, size, header); }

int GetParams(CL_Handle h, int* pv, int n) {
  // A frame plus the header always fits, as a real codec would promise.
  for (int k = 0; k < n; k += 2) {
    if (pv[k] == CL_COMPRESSED_BUFFER_SIZE && pv[k + 1] == 0) pv[k + 1] = FrameBytes(h) + kCopyHeaderBytes;
  }
  return 0;
}

int SetParams(CL_Handle, int* pv, int n) {
  lastSetValue = n >= 2 ? pv[n - 1] : 0;
  return 0;
}

}  // namespace

int CopyCodecScheme() {
  if (scheme < 0) {
    clAddAlgorithm("Test Copy", CL_VIDEO, kCopyHeaderBytes, Open, Compress, Close, Open, Decompress, Close,
                   ReadHeader, QueryScheme, GetParams, SetParams, &scheme);
  }
  return scheme;
}

int CopyLastSetValue() { return lastSetValue; }
