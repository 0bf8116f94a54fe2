// The contract between the compression library's core and its codecs.
//
// A codec is one folder under compression/codecs/ that defines one constant
// CL_RoutineSet (or a few, when rows share most routines) and nothing else
// visible. Its registry row in builtin_rows.cpp points at that set. The core
// does every argument check, parameter validation and buffer wrapping around
// the routines, so a routine may rely on what is listed here and must check
// only what the compressed data itself says.
//
// What every routine may assume:
// - It runs on the thread that called the cl operation, with the handle's
//   operation name set (so errors it reports carry "clCompress ..." etc.).
// - The handle is valid and holds one value per parameter of its row, already
//   range-checked; read them with clGetParams and write them with clSetParams.
// - The result is an error when negative; the core passes negative results on
//   unchanged and turns every other result into 0 (readHeader and queryScheme
//   excepted, see below).
//
// The routines, in row order:
// - openCompressor / openDecompressor(scheme, &handle): the handle already has
//   its parameter defaults and "Algorithm ID" = scheme. Allocate the private
//   state and attach it with clSetUnique. On failure report the error, free
//   what was allocated and return the code; the core then frees the handle.
// - compress(handle, frames, frameBuffer, &compressedSize, compressedData):
//   the handle's frame buffer and data buffer both exist (either the caller's
//   rings or temporary wraps of the plain memory the pointers name). Take
//   frames from the frame buffer (clQueryValid / clUpdateTail), append bytes
//   to the data buffer (clQueryFree / clUpdateHead, or the stream writer) and
//   add the bytes written to *compressedSize, which is never null. The plain
//   pointers are passed for information only; never write through them.
// - decompress(handle, frames, compressedDataSize, compressedData,
//   frameBuffer): the mirror image: read bytes from the data buffer (the
//   stream reader, or clQueryValid / clUpdateTail) and put decoded frames into
//   the frame buffer (clQueryFree / clUpdateHead).
// - closeCompressor / closeDecompressor(handle): free the private state and
//   clSetUnique(handle, nullptr). The core frees the buffers and the handle.
// - queryScheme(header): header points to at least 16 bytes (words 0-3 of a
//   stream header). Return the scheme when they start a stream of this codec,
//   else -1. Use QueryCommonHeader for the common stream header.
// - readHeader(handle, size, header): header holds size bytes. Apply the
//   header's parameters to the handle and return the header's length, or 0
//   when the bytes are not this codec's header, or a negative code when the
//   codec failed to read it (clReadHeader returns all three as they are).
//   Use ReadCommonHeader for the
//   common stream header. The bytes are also wrapped as the handle's data
//   buffer, all valid, for routines that prefer the stream reader.
// - getParams(handle, pvBuffer, length): the core has already filled in the
//   stored values; the routine may replace some with computed ones.
// - setParams(handle, pvBuffer, length): the core has already stored the
//   clamped values; the buffer holds the values as the caller asked for them.
// The readHeader, queryScheme, getParams and setParams slots may be null.
//
// Buffers and threads: the rings belong to the handle; a codec never frees
// them and never keeps a position across calls, because a caller's producer
// thread may be filling the other end. Queries may block until the other
// side has moved; temporary wraps of plain memory never block, they answer
// with what they hold. Codec state lives in the unique data only: no statics
// other than constant tables.
//
// Errors: report through ReportCodec (the codec handler) with the codec's own
// label as the first %s ("clCompress RLE", ...), then return the code.
#ifndef CINELARK_COMPRESSION_CODEC_H
#define CINELARK_COMPRESSION_CODEC_H

#include <cinelark/cl.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "error.h"

struct CL_RoutineSet {
  CL_OpenRoutine openCompressor;
  CL_CompressRoutine compress;
  CL_CloseRoutine closeCompressor;
  CL_OpenRoutine openDecompressor;
  CL_DecompressRoutine decompress;
  CL_CloseRoutine closeDecompressor;
  CL_QuerySchemeRoutine queryScheme;
  CL_ReadHeaderRoutine readHeader;
  CL_ParamsRoutine getParams;
  CL_ParamsRoutine setParams;
};

namespace cl {

// Reports an error through the handler installed for codecs.
template <typename... Args>
void ReportCodec(CL_Handle handle, int code, const char* format, Args... args) {
  CodecHandler()(handle, code, format, args...);
}

// The debug level set with clDebug; codecs print diagnostics when nonzero.
int DebugLevel();

// Components of a pixel or sample format for an algorithm type (0 audio,
// 1 video); 0 for formats that do not exist.
int Components(int type, int format);

// The name of a video pixel format, "Not a valid format" for other values.
const char* FormatName(int format);

// Bytes of one frame: components x width x height x bits / 8, truncated.
// Returns -1 when the product does not fit in a signed 32-bit value.
int32_t FrameSize(int type, int format, int width, int height, int bits);

// The common stream header: 32-bit big-endian words, the magic
// CL_STREAM_HEADER_MAGIC, the header size in bytes, then (identifier, value)
// pairs of which the first is ("Algorithm ID", scheme).
constexpr int kStreamHeaderFixedBytes = 16;

// Returns scheme when the 16 bytes at header are a common stream header whose
// "Algorithm ID" pair names scheme, else -1.
int QueryCommonHeader(const void* header, int scheme);

// Checks that header holds a common stream header of the handle's scheme no
// longer than size bytes, applies the pairs after "Algorithm ID" with
// clSetParams and returns the header's length; 0 when it is not such a header.
int ReadCommonHeader(CL_Handle handle, int size, const void* header);

// Writes the header made of the given pairs (the first must be "Algorithm ID")
// into out, which must hold 8 + 4 x pairs.size() bytes; returns that length,
// or 0 when out is too small or the pair list is odd.
int BuildCommonHeader(std::span<const int32_t> pairs, std::span<uint8_t> out);

}  // namespace cl

#endif
