// "RLE24": the run-length code over 32-bit pixel words (RGBX or RGBA, the
// native word 0xXXBBGGRR). A value is bits 0-7, 8-15 and 16-23 of the word,
// in that order (red, green, blue); bits 24-31 are not stored and decode as
// 0. Runs compare whole words, so pixels that differ only in their top byte
// are coded separately even though they decode alike.
#include "rle24.h"

#include <cstring>

#include "../shared/run_length_codec.h"

namespace cl::codecs {
namespace {

struct Rle24Traits {
  using Pixel = uint32_t;
  static constexpr size_t kPixelBytes = 4;
  static constexpr int kValueBytes = 3;
  static constexpr int kScheme = CL_RLE24;
  static constexpr int kDefaultInternal = CL_RGBX;
  static constexpr const char* kCompressLabel = "clCompress RLE24";
  static constexpr const char* kDecompressLabel = "clDecompress RLE24";
  static constexpr const char* kDecoderFormatMessage = "%s: invalid internal format %d. Using CL_RGBX\n";

  static bool Accepts(int format) { return format == CL_RGBX || format == CL_RGBA; }

  // Frames may lie at any address, so words move through memcpy, which the
  // compiler turns into plain loads and stores.
  static Pixel Load(const uint8_t* p) {
    Pixel v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void Put(uint8_t* out, Pixel v) {
    out[0] = uint8_t(v);
    out[1] = uint8_t(v >> 8);
    out[2] = uint8_t(v >> 16);
  }
  static Pixel Value(const uint8_t* in) { return Pixel(in[0]) | Pixel(in[1]) << 8 | Pixel(in[2]) << 16; }
  static void Fill(uint8_t* frame, Pixel v, size_t n) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
      std::memcpy(frame + 4 * i, &v, 4);
      std::memcpy(frame + 4 * i + 4, &v, 4);
      std::memcpy(frame + 4 * i + 8, &v, 4);
      std::memcpy(frame + 4 * i + 12, &v, 4);
    }
    for (; i < n; ++i) std::memcpy(frame + 4 * i, &v, 4);
  }
  static void CopyValues(uint8_t* frame, const uint8_t* in, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      const Pixel v = Value(in + 3 * i);
      std::memcpy(frame + 4 * i, &v, 4);
    }
  }
};

}  // namespace

const CL_RoutineSet kRle24Routines = RunLengthCodec<Rle24Traits>::kRoutines;

}  // namespace cl::codecs
