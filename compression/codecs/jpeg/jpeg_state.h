// What the JPEG codec's files share: the private state of a handle, the
// interchange header, and the guarded bridge to libjpeg.
//
// libjpeg reports a fatal error by calling error_exit, which must not return.
// Ours jumps back to the setjmp in Guarded(), the only place a library call
// is made from; the frames it skips are the library's own and the step
// lambdas, which hold nothing with a destructor. Warnings (corrupt or missing
// data) are reported too and make the frame fail after the library is done.
#ifndef CINELARK_COMPRESSION_CODECS_JPEG_JPEG_STATE_H
#define CINELARK_COMPRESSION_CODECS_JPEG_JPEG_STATE_H

#include <cinelark/cl.h>

#include <array>
#include <bit>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>

#include <jpeglib.h>
#include <jerror.h>

#include "../shared/codec_io.h"

namespace cl::codecs::jpeg {

using QuantTable = std::array<uint16_t, 64>;  // zig-zag order

// The interchange header that abbreviated frames ("Stream headers flag" 0)
// are decoded with: SOI, two 16-bit DQT segments, SOF0 for three components,
// the four standard DHT segments and SOS.
constexpr int kHeaderBytes = 733;
constexpr int kDqtStart = 2;           // first DQT marker
constexpr int kDqtBytes = 133;         // one DQT segment, marker included
constexpr int kSofStart = 268;         // SOF0 marker
constexpr int kDhtStart = 287;         // first DHT marker
constexpr int kMaxChunk = 4096;        // largest piece the reader hands out
constexpr int kBufferSlack = 868;      // the row's maximum header size

// The library's error manager with the place fatal errors return to.
struct LibraryErrors {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  int warnings = 0;
};

// Feeds the library from the handle's data buffer, after the interchange
// header when one is pending.
struct Source {
  jpeg_source_mgr mgr;
  CL_BufferHdl data = nullptr;
  const uint8_t* header = nullptr;
  int headerBytes = 0;
  int lastPiece = 0;      // bytes of the last piece taken from the ring
  bool inPiece = false;   // the library is reading from that piece
  int64_t consumed = 0;   // ring bytes handed out since the source was set
};

// Collects the library's output in memory that grows as needed, keeping
// what was written.
struct Destination {
  jpeg_destination_mgr mgr;
  std::unique_ptr<uint8_t[]> memory;
  size_t capacity = 0;
  size_t size = 0;  // bytes of the last image
};

struct State {
  bool bufferSizeSet = false;   // the caller set "Compressed buffer size"
  int headerFlag = 1;
  bool fullRange = false;       // frames are full-range JFIF pictures
  bool decompressing = false;   // a decompression is open in the library
  LibraryErrors errors;
  jpeg_compress_struct compress;
  jpeg_decompress_struct decompress;
  Source source;
  Destination destination;
  ScratchArea conversion;       // frames in the internal format
  ScratchArea rows;             // rows handed to or taken from the library
  QuantTable luminance;
  QuantTable chrominance;
  std::array<uint8_t, kHeaderBytes> header{};
  std::unique_ptr<uint8_t[]> passThrough;
  size_t passThroughBytes = 0;
  bool inGetParams = false;
};

// The library's colour space for frames of a format it converts itself in
// full range mode (JCS_UNKNOWN for the others). The word layouts are native
// words with red in the low byte.
inline J_COLOR_SPACE LibrarySpace(int format) {
  constexpr bool little = std::endian::native == std::endian::little;
  switch (format) {
    case CL_RGB:
      return JCS_EXT_BGR;
    case CL_RGBX:
      return little ? JCS_EXT_RGBX : JCS_EXT_XBGR;
    case CL_RGBA:
      return little ? JCS_EXT_RGBA : JCS_EXT_ABGR;
    case CL_GRAYSCALE:
      return JCS_GRAYSCALE;
    default:
      return JCS_UNKNOWN;
  }
}

inline State* StateOf(CL_Handle handle) { return static_cast<State*>(clGetUnique(handle)); }

// Runs step, a sequence of library calls on cinfo. Returns false when the
// library gave up (after reporting why and releasing its working memory).
template <typename Step>
bool Guarded(State& state, j_common_ptr cinfo, Step&& step) {
  if (setjmp(state.errors.jump) != 0) {
    jpeg_abort(cinfo);
    return false;
  }
  step();
  return true;
}

// Sets up the error manager on a library object before it is created.
jpeg_error_mgr* InstallErrors(LibraryErrors& errors);

// Attaches the source and destination managers to the state's objects.
void AttachSource(State& state, CL_BufferHdl data, bool withHeader);
void AttachDestination(State& state);

// Releases the ring bytes the library consumed since AttachSource and
// returns their count (or the buffer's negative code).
int ReleaseConsumed(State& state);

// The luminance and chrominance tables of ITU-T T.81 Annex K scaled to 50 %.
const QuantTable& DefaultTable(int which);

// Natural (row-major) position of each zig-zag index.
extern const std::array<uint8_t, 64> kZigZag;

// Fills the interchange header from the handle's tables and the library's
// standard Huffman tables. Returns false when the library failed.
bool BuildHeader(State& state);

// Copies table into the DQT segment of header for which (0 or 1).
void StoreTable(std::span<uint8_t, kHeaderBytes> header, int which, const QuantTable& table);

// The library's percentage scale for a "Quality Factor".
int QualityScale(int quality);

// "Quality Factor" estimated from the luminance table of a decoded image.
int EstimateQuality(const JQUANT_TBL* luminance);

// Sampling factors of the first component for internal formats 5, 6 and 7.
struct Sampling {
  int h;
  int v;
};
Sampling SamplingOf(int internalFormat);

// The internal format a decoded image is stored in, from its first
// component's sampling (4 for one component, 0 for counts other than 1 and 3).
int FormatOfImage(const jpeg_decompress_struct& d);

// Compress and decompress (jpeg_compress.cpp, jpeg_decompress.cpp).
int Compress(CL_Handle handle, int frames, void* frameBuffer, int* compressedSize, void* compressedData);
int Decompress(CL_Handle handle, int frames, int compressedDataSize, void* compressedData, void* frameBuffer);

// The image parameters both directions start from.
struct Layout {
  int width = 0;
  int height = 0;
  int original = 0;
  int internal = 0;
  bool flip = false;
  int quality = 75;
  int frameBytes = 0;
};

// Reads the parameters and fixes the internal format (-1: the original one
// when that is 4 or above, else 5). Below 4 reports -21 "invalid internal
// format" and returns -18.
int ReadLayout(CL_Handle handle, const char* label, Layout* l);

}  // namespace cl::codecs::jpeg

#endif
