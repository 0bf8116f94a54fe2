// "RLE": the run-length code over one-byte pixels. The internal format is
// always RGB332 (bits 7-5 red, 4-3 blue, 2-0 green), so a value is the pixel
// byte itself; other caller layouts are converted (with dithering) on the
// way in and expanded on the way out.
#include "rle.h"

#include <cstring>

#include "../shared/run_length_codec.h"

namespace cl::codecs {
namespace {

struct RleTraits {
  using Pixel = uint8_t;
  static constexpr size_t kPixelBytes = 1;
  static constexpr int kValueBytes = 1;
  static constexpr int kScheme = CL_RLE;
  static constexpr int kDefaultInternal = CL_RGB332;
  static constexpr const char* kCompressLabel = "clCompress RLE";
  static constexpr const char* kDecompressLabel = "clDecompress RLE";
  static constexpr const char* kDecoderFormatMessage = "%s: invalid internal format %d.\n";

  static bool Accepts(int format) { return format == CL_RGB332; }
  static Pixel Load(const uint8_t* p) { return *p; }
  static void Put(uint8_t* out, Pixel v) { *out = v; }
  static Pixel Value(const uint8_t* in) { return *in; }
  static void Fill(uint8_t* frame, Pixel v, size_t n) { std::memset(frame, v, n); }
  static void CopyValues(uint8_t* frame, const uint8_t* in, size_t n) { std::memcpy(frame, in, n); }
};

}  // namespace

const CL_RoutineSet kRleRoutines = RunLengthCodec<RleTraits>::kRoutines;

}  // namespace cl::codecs
