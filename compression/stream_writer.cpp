// The stream writer that compressors use on a data buffer.
//
// The writer hands out free space in chunks: a chunk is the contiguous run of
// free bytes at the head when it was fetched. Bytes handed out or stored are
// pending until committed with clUpdateHead, which happens when a chunk is
// used up (so that a consumer on another thread sees them before the writer
// waits for room) or when the codec calls clWriteDone. A fetch waits only
// for one free byte, never for a larger amount, so a writer and a reader
// waiting for more than the other side holds cannot block each other.
//
// Values stored with clWrite1Byte, clWrite2Bytes and clWrite4Bytes are
// big-endian and may straddle the end of memory: the writer commits what it
// has and continues at the start.
#include <cinelark/cl.h>

#include <cstdint>

#include "buffer.h"
#include "core.h"

namespace cl {
namespace {

int Commit(const char* op, CL_BufferHdl b, int32_t n) {
  const int moved = n > 0 ? clUpdateHead(b, n) : 0;
  if (moved != n) {
    Report(b->owner, CL_ERR_NO_DATA, "%s: could not update last data chunk (update %d != actual %d) failed\n", op, n,
           moved);
    return CL_ERR_NO_DATA;
  }
  return moved;
}

// Commits the pending bytes and starts a chunk at the head; returns its
// length (0 when the ring is done or a temporary wrap is full) or an error.
int Refill(const char* op, CL_BufferHdl b) {
  const int committed = Commit(op, b, b->writePending);
  b->writePending = 0;
  b->writeLeft = 0;
  if (committed < 0) return committed;
  void* at = nullptr;
  int wrap = 0;
  const int room = clQueryFree(b, 1, &at, &wrap);
  if (room < 0) return room;
  b->writePos = static_cast<uint8_t*>(at);
  b->writeLeft = room;
  return room;
}

int WriteValue(const char* op, CL_BufferHdl b, int skip, void** position, uint32_t value, int bytes) {
  if (int bad = CheckDataStream(op, b)) return bad;
  if (skip < 0 || skip > b->writeLeft) {
    Report(b->owner, CL_ERR_BAD_AMOUNT, "%s: invalid skip %d (%d bytes left in the chunk)\n", op, skip, b->writeLeft);
    return CL_ERR_BAD_AMOUNT;
  }
  b->writePos += skip;
  b->writeLeft -= skip;
  b->writePending += skip;
  if (b->writeLeft >= bytes) {
    // The usual case: the value fits in the chunk at hand.
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) *b->writePos++ = static_cast<uint8_t>(value >> shift);
    b->writeLeft -= bytes;
    b->writePending += bytes;
    if (position != nullptr) *position = b->writePos;
    return 0;
  }
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    if (b->writeLeft == 0) {
      const int room = Refill(op, b);
      if (room < 0) return room;
      if (room == 0) {
        Report(b->owner, CL_ERR_NO_DATA, "%s: no room in the data buffer for a %d-byte value\n", op, bytes);
        return CL_ERR_NO_DATA;
      }
    }
    *b->writePos++ = static_cast<uint8_t>(value >> shift);
    --b->writeLeft;
    ++b->writePending;
  }
  if (position != nullptr) *position = b->writePos;
  return 0;
}

}  // namespace
}  // namespace cl

using namespace cl;

extern "C" {

int clWriteData(CL_BufferHdl buffer, int n, void** position) {
  const char* op = "clWriteData";
  if (int bad = CheckDataStream(op, buffer)) return bad;
  if (position == nullptr) {
    Report(buffer->owner, CL_ERR_NULL_BUFFER_POINTER, "%s: invalid buffer pointer %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_POINTER;
  }
  if (n < 0) {
    Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: invalid query amount %d\n", op, n);
    return CL_ERR_BAD_AMOUNT;
  }
  if (buffer->writeLeft == 0 && n > 0) {
    const int room = Refill(op, buffer);
    if (room < 0) return room;
  }
  const int k = n < buffer->writeLeft ? n : buffer->writeLeft;
  *position = buffer->writePos;
  buffer->writePos += k;
  buffer->writeLeft -= k;
  buffer->writePending += k;
  return k;
}

int clWrite1Byte(CL_BufferHdl buffer, int skip, void** position, int value) {
  return WriteValue("clWrite1Byte", buffer, skip, position, static_cast<uint32_t>(value), 1);
}

int clWrite2Bytes(CL_BufferHdl buffer, int skip, void** position, int value) {
  return WriteValue("clWrite2Bytes", buffer, skip, position, static_cast<uint32_t>(value), 2);
}

int clWrite4Bytes(CL_BufferHdl buffer, int skip, void** position, int value) {
  return WriteValue("clWrite4Bytes", buffer, skip, position, static_cast<uint32_t>(value), 4);
}

int clWriteDone(CL_BufferHdl buffer, int n) {
  const char* op = "clWriteDone";
  if (int bad = CheckDataStream(op, buffer)) return bad;
  if (n < 0) n = buffer->writePending;
  const int moved = Commit(op, buffer, n);
  if (n >= buffer->writePending) {
    // Everything handed out is committed; the next write starts a new chunk.
    buffer->writePending = 0;
    buffer->writeLeft = 0;
  } else {
    buffer->writePending -= n;
  }
  return moved;
}

}  // extern "C"
