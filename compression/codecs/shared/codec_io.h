// Pieces that the uncompressed, G.711 and run-length codecs share: moving
// the stream header and plain bytes through the handle's data buffer, the
// stored size of a pixel, frame conversion with the optional vertical flip,
// and a scratch area that only grows.
//
// Everything here works on the handle's attached buffers through the public
// buffer calls, so it behaves the same on a caller's rings (which may block
// until the other side moves) and on the temporary wraps of plain memory
// (which answer at once with what they hold). Errors are reported through
// the codec handler with the label the caller passes ("clCompress RLE", ...).
#ifndef CINELARK_COMPRESSION_CODECS_SHARED_CODEC_IO_H
#define CINELARK_COMPRESSION_CODECS_SHARED_CODEC_IO_H

#include <cinelark/cl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace cl::codecs {

// Bytes one pixel of a video format occupies in a stored frame: three for
// the byte-triple layouts RGB and YUV, four for the word layouts RGBX and
// RGBA, one for RGB332, greyscale and RGB8, and two for everything else (the
// 4:2:2 layouts carry one chroma byte and one luma byte per pixel).
constexpr int StoredBytesPerPixel(int format) {
  switch (format) {
    case CL_RGB:
    case CL_YUV:
      return 3;
    case CL_RGBX:
    case CL_RGBA:
      return 4;
    case CL_RGB332:
    case CL_GRAYSCALE:
    case CL_RGB8:
      return 1;
    default:
      return 2;
  }
}

// True for the video formats this library can lay out at all (0 to 8).
constexpr bool IsVideoFormat(int format) { return format >= CL_RGB && format <= CL_RGB8; }

// A zero-filled scratch area that keeps its memory between frames and only
// grows. Growth keeps nothing of the old contents.
class ScratchArea {
 public:
  // Returns at least bytes of memory, or null when it cannot be had.
  uint8_t* Reserve(size_t bytes);
  size_t size() const { return size_; }

 private:
  std::unique_ptr<uint8_t[]> memory_;
  size_t size_ = 0;
};

// Converts a width x height picture between two pixel formats, mirroring the
// rows when flip is set. Equal formats are copied row by row here (so that
// every format, RGB8 included, can be flipped); different formats go through
// the colour-space converters with their flip switch set for just this call
// (conversions of the codecs on other threads wait for it). src and dst must
// not overlap. fast turns on the converters' coarse YUV tables for the
// call. Returns 0, or -1 when no converter exists.
int ConvertFrame(int width, int height, int srcFormat, const uint8_t* src, int dstFormat, uint8_t* dst, bool flip,
                 bool fast = false);

// Reverses the byte order of each 16-, 24- or 32-bit value in place; the
// stream keeps multi-byte pixels and samples big-endian.
void SwapValues(uint8_t* bytes, size_t count, int valueBytes);

// Writes the common stream header with the handle's current values of the
// given parameters ("Algorithm ID" first) at the head of the data buffer.
// Fewer free bytes than the header needs: -18 "insufficient space to write
// header". Returns the header's length or a negative code.
int PutStreamHeader(CL_Handle handle, const char* label, std::span<const int32_t> ids);

// Reads the stream header at the tail of the data buffer with the codec's
// readHeader routine and releases the bytes it accepted. headerBytes is the
// length the codec writes; a longer header (up to maxHeaderBytes) announced
// in the header's own length word is read whole when that many bytes are
// there. Fewer than headerBytes valid bytes: -18 "insufficient data for
// header". Returns the bytes consumed (0 when the stream does not start with
// this codec's header: its bytes then stay for the frames) or a negative code.
int TakeStreamHeader(CL_Handle handle, const char* label, int headerBytes, int maxHeaderBytes,
                     CL_ReadHeaderRoutine read);

// Copies bytes into the data buffer in contiguous pieces, advancing its head
// after each. Stops early when the buffer has no room left (a temporary wrap
// that is full, or a ring marked done). A head that moves less than asked
// reports -18 "unable to update data". Returns the bytes stored or a negative
// code.
int64_t PutBytes(CL_Handle handle, const char* label, const uint8_t* bytes, int64_t count);

// Copies up to count bytes out of the data buffer in contiguous pieces,
// releasing each. Stops early when no more data will come. A tail that moves
// less than asked reports -18 "unable to release data". Returns the bytes
// copied or a negative code.
int64_t TakeBytes(CL_Handle handle, const char* label, uint8_t* bytes, int64_t count);

// Reads the handle's current values of the given parameters into values.
// Returns 0 or the code clGetParams reported.
int ReadParams(CL_Handle handle, std::span<const int32_t> ids, std::span<int32_t> values);

// Stores one value on the handle with clSetParams.
int StoreParam(CL_Handle handle, int32_t id, int32_t value);

}  // namespace cl::codecs

#endif
