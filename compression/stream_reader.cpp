// The stream reader that decompressors use on a data buffer.
//
// The reader hands out the valid bytes in chunks. A chunk is the contiguous
// run of valid bytes at the tail when it was fetched (at most the largest
// chunk); reads are served from it until it runs short, and only then are the
// bytes consumed from it released with clUpdateTail and a new chunk fetched,
// so a decoder reading small pieces touches the ring once per chunk. A read
// that would straddle the end of the ring's memory is copied into a staging
// area so the caller always gets contiguous bytes; the chunk then continues
// at the start of the memory.
#include <cinelark/cl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "buffer.h"
#include "core.h"

namespace cl {
namespace {

void ForgetChunk(CL_BufferHdl b) {
  b->readChunk = b->readLeft = 0;
  b->readPos = nullptr;
}

// Releases the bytes consumed from the current chunk; false after reporting
// a shortfall, which only happens when someone else moved the tail.
bool ReleaseConsumed(const char* op, CL_BufferHdl b) {
  const int32_t consumed = b->readChunk - b->readLeft;
  b->trace.released = consumed;
  if (consumed > 0) {
    const int released = clUpdateTail(b, consumed);
    if (released != consumed) {
      Report(b->owner, CL_ERR_NO_DATA, "%s: could not release last data chunk (wanted %d,  got %d)\n", op, consumed,
             released);
      const auto& t = b->trace;
      std::printf(
          "compressedDataSize %d, sizeNeeded %d, wrapNeeded %d, dataBlockSize %d, requestedDataSize %d, lastCase %d, "
          "beforeLastCase %d, beforeRequestedDataSize %d, beforeCompressedDataSize %d, beforeDataBlockSizeSave %d, "
          "beginningDataBlockSize %d\n",
          t.valid, t.wanted, t.wrap, t.contiguous, t.released, t.lastCase, t.beforeLastCase, t.beforeWanted,
          t.beforeValid, t.beforeContiguous, t.firstContiguous);
      ForgetChunk(b);
      return false;
    }
  }
  ForgetChunk(b);
  return true;
}

// Fetches a new chunk and hands out between minimum and maximum bytes of it
// (fewer only when the ring is done or the largest chunk is smaller).
int Fetch(const char* op, CL_BufferHdl b, int32_t minimum, int32_t maximum, void** position) {
  if (!ReleaseConsumed(op, b)) return CL_ERR_NO_DATA;
  // No read hands out more than the largest chunk, so none waits for more.
  const int32_t largest = b->largestChunk;
  minimum = std::min(minimum, largest);
  maximum = std::min(maximum, largest);
  void* at = nullptr;
  int wrap = 0;
  const int queried = clQueryValid(b, minimum, &at, &wrap);
  if (queried < 0) return queried;

  auto& t = b->trace;
  t.beforeLastCase = t.lastCase;
  t.beforeWanted = t.wanted;
  t.beforeValid = t.valid;
  t.beforeContiguous = t.contiguous;
  if (t.firstContiguous == 0) t.firstContiguous = queried;
  t.valid = queried + wrap;
  t.wanted = minimum;
  t.wrap = wrap;
  t.contiguous = queried;

  const int32_t contiguous = std::min(queried, largest);
  uint8_t* start = static_cast<uint8_t*>(at);

  if (contiguous >= minimum) {
    t.lastCase = 1;
    const int32_t k = std::min(maximum, contiguous);
    *position = start;
    b->readPos = start + k;
    b->readChunk = contiguous;
    b->readLeft = contiguous - k;
    return k;
  }

  // The wanted bytes run past the end of memory, or are not all there.
  const int32_t wrapped = std::min(wrap, largest - contiguous);
  b->readPos = start;
  b->readChunk = b->readLeft = contiguous;
  if (contiguous + wrapped < minimum) {
    t.lastCase = 3;
    Report(b->owner, CL_ERR_NO_DATA, "%s: Apparently ran out of data while decompressing.\n", op);
    return 0;
  }
  t.lastCase = 2;
  const int32_t k = std::min(maximum, contiguous + wrapped);
  if (b->stagingSize < k) {
    std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[k]);
    if (!grown) {
      Report(b->owner, CL_ERR_NO_DATA, "%s: could not malloc (%d) failed\n", op, k);
      // Hand out the contiguous part; the rest waits for the next read.
      *position = start;
      b->readPos = start + contiguous;
      b->readLeft = 0;
      return contiguous;
    }
    b->staging = std::move(grown);
    b->stagingSize = k;
  }
  uint8_t* base = b->ring.base();
  std::memcpy(b->staging.get(), start, contiguous);
  std::memcpy(b->staging.get() + contiguous, base, k - contiguous);
  *position = b->staging.get();
  b->readPos = base + (k - contiguous);
  b->readChunk = contiguous + wrapped;
  b->readLeft = wrapped - (k - contiguous);
  return k;
}

int CheckPosition(const char* op, CL_BufferHdl b, void** position) {
  if (position == nullptr) {
    Report(b->owner, CL_ERR_NULL_BUFFER_POINTER, "%s: invalid buffer pointer %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_POINTER;
  }
  return 0;
}

}  // namespace
}  // namespace cl

using namespace cl;

extern "C" {

int clReadData(CL_BufferHdl buffer, int n, void** position) {
  const char* op = "clReadData";
  if (int bad = CheckDataStream(op, buffer)) return bad;
  if (int bad = CheckPosition(op, buffer, position)) return bad;
  if (n < 0) {
    Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: invalid query amount %d\n", op, n);
    return CL_ERR_BAD_AMOUNT;
  }
  if (buffer->readLeft >= n) {
    *position = buffer->readPos;
    buffer->readPos += n;
    buffer->readLeft -= n;
    return n;
  }
  return Fetch(op, buffer, n, n, position);
}

int clReadDataRange(CL_BufferHdl buffer, int minimum, int maximum, void** position) {
  const char* op = "clReadDataRange";
  if (int bad = CheckDataStream(op, buffer)) return bad;
  if (int bad = CheckPosition(op, buffer, position)) return bad;
  if (minimum < 0 || maximum < minimum) {
    Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: invalid query amount %d\n", op, minimum < 0 ? minimum : maximum);
    return CL_ERR_BAD_AMOUNT;
  }
  if (buffer->readLeft >= minimum && buffer->readLeft > 0) {
    const int32_t k = std::min(buffer->readLeft, maximum);
    *position = buffer->readPos;
    buffer->readPos += k;
    buffer->readLeft -= k;
    return k;
  }
  return Fetch(op, buffer, minimum, maximum, position);
}

int clReadSetup(CL_BufferHdl buffer, int largestChunk) {
  const char* op = "clReadSetup";
  if (int bad = CheckDataStream(op, buffer)) return bad;
  if (largestChunk < 1) {
    Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: invalid query amount %d\n", op, largestChunk);
    return CL_ERR_BAD_AMOUNT;
  }
  buffer->largestChunk = largestChunk;
  return 0;
}

int clDone(CL_BufferHdl buffer, int n) {
  const char* op = "clDone";
  if (int bad = CheckDataStream(op, buffer)) return bad;
  if (n < 0) n = buffer->readChunk - buffer->readLeft;
  // The next read starts a fresh chunk at the new tail.
  ForgetChunk(buffer);
  const int released = n > 0 ? clUpdateTail(buffer, n) : 0;
  if (released != n) {
    Report(buffer->owner, CL_ERR_NO_DATA, "%s: could not release last data chunk (released %d != actual %d) failed\n",
           op, n, released);
    return CL_ERR_NO_DATA;
  }
  return released;
}

}  // extern "C"
