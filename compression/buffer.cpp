// Frame and data buffers: creation, destruction, the queries and updates of
// both ends, and the temporary wraps of plain memory.
//
// Frame buffers count in frames at this interface and in bytes inside the
// ring (frames x bytes per frame); the wrap amounts the queries return stay
// in bytes. Data buffers count in bytes throughout. Amounts that cannot be
// met are not errors: updates move what they can and return the amount moved.
#include <cinelark/cl.h>

#include <algorithm>
#include <climits>
#include <new>

#include "buffer.h"
#include "core.h"

namespace cl {
namespace {

CL_BufferHdl& Slot(CL_Handle handle, int type) {
  return type == CL_FRAME ? handle->frameBuffer : handle->dataBuffer;
}

// Frames to bytes without overflow; the ring never holds more than 2^30 - 1.
int32_t FrameBytes(const clBufferRecord* b, int32_t frames) {
  return static_cast<int32_t>(std::min<int64_t>(int64_t(frames) * b->bytesPerFrame, INT32_MAX));
}

void FreeRecord(clBufferRecord* b) {
  b->ring.Free();
  if (!b->callerMemory) delete[] b->memory;
  delete b;
}

// The common checks of the query and update operations; 0 when they pass.
int CheckBuffer(const char* op, CL_BufferHdl buffer) {
  if (buffer == nullptr) {
    Report(nullptr, CL_ERR_NULL_BUFFER_HANDLE, "%s: invalid buffer handle %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_HANDLE;
  }
  return 0;
}

int CheckExists(const char* op, CL_BufferHdl buffer) {
  if (!buffer->ring.Exists()) {
    Report(buffer->owner, CL_ERR_NO_BUFFER, "%s: buffer was not created before being used %d\n", op, 0);
    return CL_ERR_NO_BUFFER;
  }
  return 0;
}

int UpdateAmount(const char* op, CL_BufferHdl buffer, int amount) {
  if (int bad = CheckBuffer(op, buffer)) return bad;
  if (amount < 0) {
    Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: invalid update amount %d\n", op, amount);
    return CL_ERR_BAD_AMOUNT;
  }
  return CheckExists(op, buffer);
}

// clUpdateHead and clUpdateTail: moves one end of the ring by amount bytes
// (data buffers) or frames (frame buffers), and for frame buffers counts the
// frames moved into (sign +1) or out of (-1) the valid ones.
int MoveEnd(const char* op, CL_BufferHdl buffer, int amount, int32_t (Ring::*move)(int32_t), int sign) {
  if (int bad = UpdateAmount(op, buffer, amount)) return bad;
  Ring::Use use(buffer->ring);
  if (buffer->type == CL_DATA) return (buffer->ring.*move)(amount);
  const int32_t bytes = FrameBytes(buffer, amount);
  const int32_t moved = (buffer->ring.*move)(bytes);
  const int frames = moved == bytes ? amount : moved / buffer->bytesPerFrame;
  buffer->validFrames.fetch_add(sign * frames, std::memory_order_relaxed);
  return frames;
}

}  // namespace

int CheckDataStream(const char* op, CL_BufferHdl buffer) {
  if (int bad = CheckBuffer(op, buffer)) return bad;
  if (buffer->type != CL_DATA) {
    Report(buffer->owner, CL_ERR_BAD_BUFFER_TYPE, "%s: invalid buffer type (%d)\n", op, buffer->type);
    return CL_ERR_BAD_BUFFER_TYPE;
  }
  return CheckExists(op, buffer);
}

CL_BufferHdl CreateBuffer(const char* op, CL_Handle handle, int type, int blocks, int blockSize, void** memory,
                          bool neverWaits, int* status) {
  int ignored = 0;
  int& code = status ? *status : ignored;
  code = 0;
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE_POINTER, "%s: invalid compressor handle pointer %d\n", op, 0);
    code = CL_ERR_NULL_HANDLE_POINTER;
    return nullptr;
  }
  if (type != CL_FRAME && type != CL_DATA) {
    Report(handle, CL_ERR_BAD_BUFFER_TYPE, "%s: invalid buffer type (%d)\n", op, type);
    code = CL_ERR_BAD_BUFFER_TYPE;
    return nullptr;
  }
  if (Slot(handle, type) != nullptr) {
    Report(handle, CL_ERR_BUFFER_EXISTS,
           type == CL_DATA ? "%s: attempt to create a data buffer that already exists (%d)\n"
                           : "%s: attempt to create a frame buffer that already exists (%d)\n",
           op, type);
    code = CL_ERR_BUFFER_EXISTS;
    return nullptr;
  }
  if (blocks < 1) {
    Report(handle, CL_ERR_BAD_BLOCK_COUNT, "%s: invalid number of blocks %d\n", op, blocks);
    code = CL_ERR_BAD_BLOCK_COUNT;
    return nullptr;
  }
  if (blockSize < 0) {
    Report(handle, CL_ERR_BAD_BLOCK_SIZE, "%s: invalid block size %d\n", op, blockSize);
    code = CL_ERR_BAD_BLOCK_SIZE;
    return nullptr;
  }
  clBufferRecord* b = new (std::nothrow) clBufferRecord();
  if (b == nullptr) {
    Report(handle, CL_ERR_NO_MEMORY, "%s: no buffer space available from malloc %d\n", op,
           static_cast<int>(sizeof(clBufferRecord)));
    code = CL_ERR_NO_MEMORY;
    return nullptr;
  }
  b->owner = handle;
  b->type = type;

  if (type == CL_FRAME) {
    const auto& v = handle->values;
    const int width = v[CL_IMAGE_WIDTH], height = v[CL_IMAGE_HEIGHT];
    const int format = v[CL_ORIGINAL_FORMAT], bits = v[CL_BITS_PER_COMPONENT];
    const int32_t frame = FrameSize(TypeOfScheme(handle->scheme), format, width, height, bits);
    if (frame <= 0) {
      Report(handle, CL_ERR_ZERO_FRAME_SIZE,
             frame == 0 ? "%s: Frame buffer size is zero (%d by %d by %d  %s)\n"
                        : "%s: Frame buffer size is too large (%d by %d by %d  %s)\n",
             op, width, height, bits, FormatName(format));
      delete b;
      code = CL_ERR_ZERO_FRAME_SIZE;
      return nullptr;
    }
    b->bytesPerFrame = frame;
    // Blocks hold whole frames; a block smaller than one frame holds none.
    const int requested = blockSize;
    blockSize = blockSize == 0 ? frame : blockSize / frame * frame;
    if (blockSize == 0) {
      Report(handle, CL_ERR_BAD_BLOCK_SIZE, "%s: invalid block size %d\n", op, requested);
      delete b;
      code = CL_ERR_BAD_BLOCK_SIZE;
      return nullptr;
    }
  } else if (blockSize == 0) {
    blockSize = 1;
  }

  const int64_t bytes = int64_t(blocks) * blockSize;
  if (bytes > Ring::kMaxSize) {
    Report(handle, CL_ERR_BAD_BLOCK_SIZE, "%s: %d blocks of %d bytes exceed the largest buffer (%d bytes)\n", op,
           blocks, blockSize, Ring::kMaxSize);
    delete b;
    code = CL_ERR_BAD_BLOCK_SIZE;
    return nullptr;
  }
  if (memory != nullptr && *memory != nullptr) {
    b->memory = static_cast<uint8_t*>(*memory);
    b->callerMemory = true;
  } else {
    b->memory = new (std::nothrow) uint8_t[bytes];
    if (b->memory == nullptr) {
      Report(handle, CL_ERR_NO_MEMORY, "%s: no buffer space available from malloc %d\n", op,
             static_cast<int>(bytes));
      delete b;
      code = CL_ERR_NO_MEMORY;
      return nullptr;
    }
    if (memory != nullptr) *memory = b->memory;
  }
  b->ring.New(static_cast<int32_t>(bytes), b->memory, neverWaits);
  Slot(handle, type) = b;
  return b;
}

TemporaryBuffer::TemporaryBuffer(CL_Handle handle, int type)
    : handle_(handle), type_(type), saved_(Slot(handle, type)) {
  Slot(handle, type) = nullptr;
}

TemporaryBuffer::~TemporaryBuffer() {
  if (buffer_ != nullptr) clDestroyBuf(buffer_);
  Slot(handle_, type_) = saved_;
}

int TemporaryBuffer::Wrap(int blocks, int blockSize, void* memory) {
  void* m = memory;
  int status = 0;
  buffer_ = CreateBuffer("clCreateBuf", handle_, type_, blocks, blockSize, &m, true, &status);
  return status;
}

}  // namespace cl

using namespace cl;

extern "C" {

CL_BufferHdl clCreateBuf(CL_Handle handle, int type, int blocks, int blockSize, void** memory) {
  const char* op = "clCreateBuf";
  // Zero block sizes are for the library's own wraps; callers name a size.
  if (handle != nullptr && (type == CL_FRAME || type == CL_DATA) && Slot(handle, type) == nullptr &&
      blocks >= 1 && blockSize <= 0) {
    Report(handle, CL_ERR_BAD_BLOCK_SIZE, "%s: invalid block size %d\n", op, blockSize);
    return nullptr;
  }
  return CreateBuffer(op, handle, type, blocks, blockSize, memory, false, nullptr);
}

int clDestroyBuf(CL_BufferHdl buffer) {
  if (int bad = CheckBuffer("clDestroyBuf", buffer)) return bad;
  if (buffer->owner != nullptr) {
    CL_BufferHdl& slot = Slot(buffer->owner, buffer->type);
    if (slot == buffer) slot = nullptr;
  }
  FreeRecord(buffer);
  return 0;
}

CL_BufferHdl clQueryBufferHdl(CL_Handle handle, int type, void** memory) {
  const char* op = "clQueryBufferHdl";
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE_POINTER, "%s: invalid compressor handle %d\n", op, 0);
    return nullptr;
  }
  if (type != CL_FRAME && type != CL_DATA) {
    Report(handle, CL_ERR_BAD_BUFFER_TYPE, "%s: invalid buffer type (%d)\n", op, type);
    return nullptr;
  }
  CL_BufferHdl buffer = Slot(handle, type);
  if (memory != nullptr) *memory = buffer ? buffer->memory : nullptr;
  return buffer;
}

CL_Handle clQueryHandle(CL_BufferHdl buffer) {
  if (CheckBuffer("clQueryHandle", buffer)) return nullptr;
  return buffer->owner;
}

int clQueryFree(CL_BufferHdl buffer, int amount, void** position, int* wrap) {
  const char* op = "clQueryFree";
  if (int bad = CheckBuffer(op, buffer)) return bad;
  if (amount < 0) {
    Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: invalid query amount %d\n", op, amount);
    return CL_ERR_BAD_AMOUNT;
  }
  if (position == nullptr) {
    Report(buffer->owner, CL_ERR_NULL_BUFFER_POINTER, "%s: invalid buffer pointer %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_POINTER;
  }
  if (int bad = CheckExists(op, buffer)) return bad;
  Ring::Use use(buffer->ring);
  int32_t wrapBytes = 0;
  uint8_t* at = nullptr;
  int result;
  if (buffer->type == CL_FRAME) {
    const int64_t bytes = int64_t(amount) * buffer->bytesPerFrame;
    if (bytes > buffer->ring.size()) {
      Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: Query amount * sizeOfOneFrame larger than buffer size (%d > %d)\n",
             op, FrameBytes(buffer, amount), buffer->ring.size());
      return CL_ERR_BAD_AMOUNT;
    }
    result = buffer->ring.QueryFree(static_cast<int32_t>(bytes), &at, &wrapBytes) / buffer->bytesPerFrame;
  } else {
    if (amount > buffer->ring.size()) {
      Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: Query amount larger than buffer size (%d > %d)\n", op, amount,
             buffer->ring.size());
      return CL_ERR_BAD_AMOUNT;
    }
    result = buffer->ring.QueryFree(amount, &at, &wrapBytes);
  }
  *position = at;
  if (wrap != nullptr) *wrap = wrapBytes;
  return result;
}

int clQueryValid(CL_BufferHdl buffer, int amount, void** position, int* wrap) {
  const char* op = "clQueryValid";
  if (int bad = CheckBuffer(op, buffer)) return bad;
  if (amount < 0) {
    Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: invalid query amount %d\n", op, amount);
    return CL_ERR_BAD_AMOUNT;
  }
  if (int bad = CheckExists(op, buffer)) return bad;
  if (position == nullptr) {
    Report(buffer->owner, CL_ERR_NULL_BUFFER_POINTER, "%s: invalid buffer pointer %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_POINTER;
  }
  Ring::Use use(buffer->ring);
  int32_t wrapBytes = 0;
  uint8_t* at = nullptr;
  int result;
  if (buffer->type == CL_FRAME) {
    const int64_t bytes = int64_t(amount) * buffer->bytesPerFrame;
    if (bytes > buffer->ring.size()) {
      Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: Query amount * sizeOfOneFrame larger than buffer size (%d > %d)\n",
             op, FrameBytes(buffer, amount), buffer->ring.size());
      return CL_ERR_BAD_AMOUNT;
    }
    const int32_t got = buffer->ring.QueryValid(static_cast<int32_t>(bytes), &at, &wrapBytes);
    result = got == bytes ? amount : got / buffer->bytesPerFrame;
    buffer->validFrames.store(result, std::memory_order_relaxed);
  } else {
    if (amount > buffer->ring.size()) {
      Report(buffer->owner, CL_ERR_BAD_AMOUNT, "%s: Query amount larger than buffer size (%d > %d). Limiting to %d.\n",
             op, amount, buffer->ring.size(), buffer->ring.size());
      amount = buffer->ring.size();
    }
    result = buffer->ring.QueryValid(amount, &at, &wrapBytes);
  }
  *position = at;
  if (wrap != nullptr) *wrap = wrapBytes;
  return result;
}

int clUpdateHead(CL_BufferHdl buffer, int amount) {
  return MoveEnd("clUpdateHead", buffer, amount, &Ring::UpdateHead, +1);
}

int clUpdateTail(CL_BufferHdl buffer, int amount) {
  // The board JPEG codec's byte release would come first here; no such
  // codec is built, so there is nothing to release before the ring moves.
  return MoveEnd("clUpdateTail", buffer, amount, &Ring::UpdateTail, -1);
}

int clDoneUpdatingHead(CL_BufferHdl buffer) {
  if (int bad = CheckBuffer("clDoneUpdatingHead", buffer)) return bad;
  if (int bad = CheckExists("clDoneUpdatingHead", buffer)) return bad;
  buffer->ring.Done();
  return 0;
}

}  // extern "C"
