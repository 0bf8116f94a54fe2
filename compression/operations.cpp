// The calls that run a codec: clCompress, clDecompress, clReadHeader and the
// one-call image operations.
//
// Each checks its arguments, settles "Frame buffer size" against the frame
// size the image parameters give, wraps the plain memory it was given in
// temporary buffers (setting aside, for the call, any buffer of the same type
// the caller created) and calls the codec's routine with the handle naming
// the operation. Temporary frame buffers for compression and data buffers for
// decompression arrive full and done; the others arrive empty. No temporary
// buffer outlives its call.
#include <cinelark/cl.h>

#include <bit>
#include <climits>
#include <optional>

#include "buffer.h"
#include "core.h"

namespace cl {
namespace {

// Reads the image parameters through clGetParams (running the codec's
// getParams) and checks "Frame buffer size" against one frame, setting it
// when it is 0. Stores "Compressed buffer size" as the codec reports it.
// Returns 0 or the code of the reported failure.
int SettleFrameBufferSize(const char* op, CL_Handle handle, int* compressedBufferSize) {
  int pv[] = {CL_IMAGE_WIDTH,        0, CL_IMAGE_HEIGHT,           0, CL_ORIGINAL_FORMAT,    0,
              CL_FRAME_BUFFER_SIZE,  0, CL_COMPRESSED_BUFFER_SIZE, 0, CL_BITS_PER_COMPONENT, 0};
  const int got = clGetParams(handle, pv, static_cast<int>(std::size(pv)));
  if (got < 0) return got;
  const int32_t frame = FrameSize(TypeOfScheme(handle->scheme), pv[5], pv[1], pv[3], pv[11]);
  const int32_t frameBufferSize = pv[7];
  *compressedBufferSize = pv[9];
  if (frame < 0 || (frameBufferSize != 0 && frameBufferSize < frame)) {
    Report(handle, CL_ERR_FRAME_BUFFER_TOO_SMALL, "%s: invalid frameBufferSize (%d), must be at least (%d)\n", op,
           frameBufferSize, frame < 0 ? INT_MAX : frame);
    return CL_ERR_FRAME_BUFFER_TOO_SMALL;
  }
  if (frameBufferSize == 0) {
    int set[] = {CL_FRAME_BUFFER_SIZE, frame};
    const int result = clSetParams(handle, set, 2);
    if (result < 0) return result;
  }
  return 0;
}

int NoBuffer(CL_Handle handle, const char* format, const char* op, const void* pointer) {
  Report(handle, CL_ERR_NO_BUFFER, format, op, static_cast<int>(Hex(pointer)));
  return CL_ERR_NO_BUFFER;
}

}  // namespace
}  // namespace cl

using namespace cl;

extern "C" {

int clCompress(CL_Handle handle, int numberOfFrames, void* frameBuffer, int* compressedSize, void* compressedData) {
  const char* op = "clCompress";
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE, "%s: invalid compressionHdl parameter %d\n", op, 0);
    return CL_ERR_NULL_HANDLE;
  }
  OperationScope scope(handle, op);
  if (frameBuffer == nullptr && handle->frameBuffer == nullptr) {
    Report(handle, CL_ERR_NO_BUFFER, "%s: frame buffer parameter is NULL and frame buffer was not created\n", op);
    return CL_ERR_NO_BUFFER;
  }
  int privateSize = 0;
  if (compressedSize == nullptr) {
    if (compressedData != nullptr) {
      Report(handle, CL_ERR_BAD_COMPRESSED_SIZE, "%s: invalid dataSize parameter 0x%x\n", op, 0u);
      return CL_ERR_BAD_COMPRESSED_SIZE;
    }
    compressedSize = &privateSize;
  }
  if (compressedData == nullptr && handle->dataBuffer == nullptr) {
    Report(handle, CL_ERR_NO_BUFFER, "%s: compressed data parameter is NULL and data buffer was not created\n", op);
    return CL_ERR_NO_BUFFER;
  }
  int capacity = 0;
  if (int bad = SettleFrameBufferSize(op, handle, &capacity)) return bad;

  std::optional<TemporaryBuffer> frames;
  if (frameBuffer != nullptr) {
    frames.emplace(handle, CL_FRAME);
    if (int bad = frames->Wrap(numberOfFrames, 0, frameBuffer)) return bad;
    clUpdateHead(frames->get(), numberOfFrames);
    clDoneUpdatingHead(frames->get());
  } else if (handle->frameBuffer == nullptr) {
    return NoBuffer(handle, "%s: invalid frame buffer pointer (%d) or buffer not created.\n", op, frameBuffer);
  }

  std::optional<TemporaryBuffer> data;
  if (compressedData != nullptr) {
    if (capacity <= 0) {
      // The codec did not say how large a compressed frame may grow, so the
      // caller's memory has no known size to wrap.
      Report(handle, CL_ERR_BAD_COMPRESSED_SIZE, "%s: invalid compressed buffer size %d for plain compressed data\n",
             op, capacity);
      return CL_ERR_BAD_COMPRESSED_SIZE;
    }
    data.emplace(handle, CL_DATA);
    if (int bad = data->Wrap(1, capacity, compressedData)) return bad;
  } else if (handle->dataBuffer == nullptr) {
    return NoBuffer(handle, "%s: invalid compressed data pointer (%d) or buffer not created.\n", op, compressedData);
  }

  const int result =
      AlgorithmOf(handle).routines.compress(handle, numberOfFrames, frameBuffer, compressedSize, compressedData);
  return result < 0 ? result : 0;
}

int clDecompress(CL_Handle handle, int numberOfFrames, int compressedDataSize, void* compressedData,
                 void* frameBuffer) {
  const char* op = "clDecompress";
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE, "%s: invalid handle parameter %d\n", op, 0);
    return CL_ERR_NULL_HANDLE;
  }
  OperationScope scope(handle, op);
  if (compressedDataSize < 0) {
    Report(handle, CL_ERR_BAD_DECOMPRESSED_SIZE, "%s: invalid dataSize parameter %d\n", op, compressedDataSize);
    return CL_ERR_BAD_DECOMPRESSED_SIZE;
  }
  int capacity = 0;
  if (int bad = SettleFrameBufferSize(op, handle, &capacity)) return bad;

  std::optional<TemporaryBuffer> frames;
  if (frameBuffer != nullptr) {
    frames.emplace(handle, CL_FRAME);
    if (int bad = frames->Wrap(numberOfFrames, 0, frameBuffer)) return bad;
  } else if (handle->frameBuffer == nullptr) {
    return NoBuffer(handle, "%s: invalid frame buffer pointer (%d) or buffer not created.\n", op, frameBuffer);
  }

  std::optional<TemporaryBuffer> data;
  if (compressedData != nullptr && compressedDataSize != 0) {
    data.emplace(handle, CL_DATA);
    if (int bad = data->Wrap(1, compressedDataSize, compressedData)) return bad;
    clUpdateHead(data->get(), compressedDataSize);
    clDoneUpdatingHead(data->get());
  } else if (handle->dataBuffer == nullptr) {
    return NoBuffer(handle, "%s: invalid compressed data pointer (%d) or buffer not created.\n", op, compressedData);
  }

  const int result =
      AlgorithmOf(handle).routines.decompress(handle, numberOfFrames, compressedDataSize, compressedData, frameBuffer);
  return result < 0 ? result : 0;
}

int clReadHeader(CL_Handle handle, int headerSize, void* header) {
  const char* op = "clReadHeader";
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE, "%s: invalid decompressionHdl parameter %d\n", op, 0);
    return 0;
  }
  if (header == nullptr || headerSize <= 0) {
    Report(handle, CL_ERR_BAD_HEADER, "%s: invalid stream header (ptr 0x%x, size %d)\n", op, Hex(header), headerSize);
    return 0;
  }
  CL_ReadHeaderRoutine read = AlgorithmOf(handle).routines.readHeader;
  if (read == nullptr) return 0;
  TemporaryBuffer data(handle, CL_DATA);
  if (data.Wrap(1, headerSize, header) != 0) return 0;
  clUpdateHead(data.get(), headerSize);
  clDoneUpdatingHead(data.get());
  OperationScope scope(handle, op);
  // The routine's answer as it is: header bytes, 0 for another codec's
  // header, or a negative code when the codec failed to read it.
  return read(handle, headerSize, header);
}

int clCompressImage(int scheme, int width, int height, int originalFormat, float compressionRatio,
                    void* frameBuffer, int* compressedSize, void* compressedData) {
  const char* op = "clCompressImage";
  if (frameBuffer == nullptr) {
    Report(nullptr, CL_ERR_NULL_BUFFER_POINTER, "%s: invalid frame buffer %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_POINTER;
  }
  if (compressedSize == nullptr) {
    Report(nullptr, CL_ERR_BAD_COMPRESSED_SIZE, "%s: invalid compression data buffer size %d\n", op, 0);
    return CL_ERR_BAD_COMPRESSED_SIZE;
  }
  if (compressedData == nullptr) {
    Report(nullptr, CL_ERR_NULL_BUFFER_POINTER, "%s: invalid compression data buffer %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_POINTER;
  }
  CL_Handle handle = nullptr;
  if (int bad = clOpenCompressor(scheme, &handle)) return bad;
  int pv[] = {CL_IMAGE_WIDTH,       width,
              CL_IMAGE_HEIGHT,      height,
              CL_ORIGINAL_FORMAT,   originalFormat,
              CL_COMPRESSION_RATIO, std::bit_cast<int>(compressionRatio)};
  const int pairs = compressionRatio != 0.0f ? 8 : 6;
  int first = clSetParams(handle, pv, pairs);
  const int compressed = clCompress(handle, 1, frameBuffer, compressedSize, compressedData);
  if (first >= 0) first = compressed;
  const int closed = clCloseCompressor(handle);
  return first < 0 ? first : closed;
}

int clDecompressImage(int scheme, int width, int height, int originalFormat, int compressedSize,
                      void* compressedData, void* frameBuffer) {
  const char* op = "clDecompressImage";
  if (compressedSize < 1) {
    Report(nullptr, CL_ERR_BAD_DECOMPRESSED_SIZE, "%s: invalid compression data buffer size %d\n", op,
           compressedSize);
    return CL_ERR_BAD_DECOMPRESSED_SIZE;
  }
  if (compressedData == nullptr) {
    Report(nullptr, CL_ERR_NULL_BUFFER_POINTER, "%s: invalid compression data buffer %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_POINTER;
  }
  if (frameBuffer == nullptr) {
    Report(nullptr, CL_ERR_NULL_BUFFER_POINTER, "%s: invalid frame buffer %d\n", op, 0);
    return CL_ERR_NULL_BUFFER_POINTER;
  }
  CL_Handle handle = nullptr;
  if (int bad = clOpenDecompressor(scheme, &handle)) return bad;
  int pv[] = {CL_IMAGE_WIDTH, width, CL_IMAGE_HEIGHT, height, CL_ORIGINAL_FORMAT, originalFormat};
  int first = clSetParams(handle, pv, 6);
  const int decompressed = clDecompress(handle, 1, compressedSize, compressedData, frameBuffer);
  if (first >= 0) first = decompressed;
  const int closed = clCloseDecompressor(handle);
  return first < 0 ? first : closed;
}

}  // extern "C"
