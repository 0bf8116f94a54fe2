// A natural-looking test picture for the codec benchmarks: smooth shading
// with a soft ripple, crossed by a few hard-edged shapes (a disc, a bar and
// a stripe of text-like ticks), as in camera footage rather than noise.
#ifndef CINELARK_BENCH_CODECS_NATURAL_PICTURE_H
#define CINELARK_BENCH_CODECS_NATURAL_PICTURE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace benchpicture {

// w x h RGBX words 0x00BBGGRR.
inline std::vector<uint32_t> NaturalPicture(int w, int h) {
  std::vector<uint32_t> p(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double fx = double(x) / w, fy = double(y) / h;
      double r = 60 + 120 * fx + 12 * std::sin(fy * 19);
      double g = 80 + 90 * fy + 10 * std::sin((fx + fy) * 23);
      double b = 150 - 80 * fx * fy;
      const double dx = fx - 0.35, dy = fy - 0.55;
      if (dx * dx + dy * dy < 0.04) r = 230, g = 200 - 60 * fy, b = 40;          // a disc
      if (fx > 0.6 && fx < 0.68) r *= 0.3, g *= 0.3, b *= 0.3;                 // a dark bar
      if (fy > 0.1 && fy < 0.16 && (x / 3) % 4 == 0) r = g = b = 250;           // ticks
      auto c = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0)); };
      p[size_t(y) * size_t(w) + size_t(x)] = c(r) | c(g) << 8 | c(b) << 16;
    }
  }
  return p;
}

}  // namespace benchpicture

#endif
