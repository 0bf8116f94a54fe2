// Pixel and sample formats: component counts, names and the frame size rule.
//
// The component table has two rows of 32 entries, audio and video. Audio
// formats 0-3 are 1, 2, 4 and 5 interleaved channels; video formats follow
// the pixel layouts shared with the colour-space converters.
#include <array>
#include <cstdint>

#include "codec.h"

namespace cl {
namespace {

constexpr std::array<std::array<int8_t, 32>, 2> kComponents = {{
    {1, 2, 4, 5},                  // audio
    {3, 4, 4, 1, 1, 3, 3, 3, 1},   // video: RGB RGBX RGBA RGB332 GRAY YUV YUV422 YUV422DC RGB8
}};

constexpr const char* kFormatNames[] = {"RGB", "RGBX", "RGBA", "RGB332", "GRAYSCALE",
                                        "YUV", "YUV422", "YUV422DC", "RGB8"};

}  // namespace

int Components(int type, int format) {
  if (type < 0 || type > 1 || format < 0 || format >= 32) return 0;
  return kComponents[type][format];
}

const char* FormatName(int format) {
  if (format < 0 || format >= static_cast<int>(std::size(kFormatNames))) return "Not a valid format";
  return kFormatNames[format];
}

int32_t FrameSize(int type, int format, int width, int height, int bits) {
  // Computed wide so that no product overflows; sizes that do not fit the
  // library's 32-bit counts are refused rather than wrapped.
  int64_t bytes = int64_t(Components(type, format)) * width * height * bits / 8;
  if (bytes > INT32_MAX || bytes < INT32_MIN) return -1;
  return static_cast<int32_t>(bytes);
}

}  // namespace cl
