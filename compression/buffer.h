// The buffer record behind a CL_BufferHdl: a ring attached to a handle as its
// frame buffer (type 1, counted in frames) or data buffer (type 2, counted in
// bytes), with the stream state of the data buffer's reader and writer.
//
// A handle holds at most one buffer of each type. The producer side of a
// buffer (head, writer state) and the consumer side (tail, reader state) may
// run on two threads; each side's stream fields are touched only by that side.
#ifndef CINELARK_COMPRESSION_BUFFER_H
#define CINELARK_COMPRESSION_BUFFER_H

#include <cinelark/cl.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "ring.h"

namespace cl {

constexpr int kDefaultLargestChunk = 1000000;

// Creates a buffer on the handle. neverWaits marks a temporary wrap of plain
// memory made for one call: nobody else can move its other end. blockSize 0
// means one frame (frame buffers) or one byte (data buffers).
// The code of a failure is stored through status when it is given.
CL_BufferHdl CreateBuffer(const char* op, CL_Handle handle, int type, int blocks, int blockSize, void** memory,
                          bool neverWaits, int* status);

// The checks of every stream reader and writer call: a data buffer whose
// ring exists. 0 when they pass, else the code of the reported failure.
int CheckDataStream(const char* op, CL_BufferHdl buffer);

// Swaps a temporary buffer in for the length of one call: the handle's own
// buffer of the type, if any, is set aside and put back by Restore.
class TemporaryBuffer {
 public:
  TemporaryBuffer(CL_Handle handle, int type);
  ~TemporaryBuffer();
  TemporaryBuffer(const TemporaryBuffer&) = delete;
  TemporaryBuffer& operator=(const TemporaryBuffer&) = delete;

  // Wraps blocks of blockSize bytes (0: one frame or one byte) at memory;
  // returns 0 or the code of the reported failure.
  int Wrap(int blocks, int blockSize, void* memory);
  CL_BufferHdl get() const { return buffer_; }

 private:
  CL_Handle handle_;
  int type_;
  CL_BufferHdl saved_;
  CL_BufferHdl buffer_ = nullptr;
};

}  // namespace cl

struct clBufferRecord {
  CL_Handle owner = nullptr;
  int32_t type = 0;
  cl::Ring ring;
  uint8_t* memory = nullptr;
  bool callerMemory = false;
  int32_t reserved = 0;
  int32_t bytesPerFrame = 0;                 // frame buffers
  std::atomic<int32_t> validFrames{0};       // frame buffers, both sides

  // Reader (consumer side).
  int32_t readLeft = 0;                      // bytes of the chunk not yet handed out
  uint8_t* readPos = nullptr;                // next byte of the chunk
  int32_t readChunk = 0;                     // chunk bytes at hand-out
  int32_t largestChunk = cl::kDefaultLargestChunk;
  std::unique_ptr<uint8_t[]> staging;        // copies of reads across the end of memory
  int32_t stagingSize = 0;

  // Writer (producer side).
  int32_t writeLeft = 0;                     // bytes of the chunk not yet handed out
  uint8_t* writePos = nullptr;               // next byte of the chunk
  int32_t writePending = 0;                  // bytes written but not yet committed

  // The last chunk fetch, printed when a release falls short.
  struct {
    int32_t valid, wanted, wrap, contiguous, released, lastCase, beforeLastCase, beforeWanted, beforeValid,
        beforeContiguous, firstContiguous;
  } trace = {};
};

#endif
