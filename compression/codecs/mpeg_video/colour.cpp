// Colour tables: R = Y' + 1.402 Cr', B = Y' + 1.772 Cb',
// G = Y' - 0.344136 Cb' - 0.714136 Cr', where Y' = (Y - 16) × 255/219 and
// C' = (C - 128) × 255/224, every product truncated toward zero on its way
// into a table:
//   luma[y]     = trunc((y - 16) × 1.1643835616438356)
//   red[c]      = trunc(r), r = (float)((c - 128) × 1.402 × 1.1383928571428572)
//   blue[c]     = trunc(b), b = (float)((c - 128) × 1.772 × 1.1383928571428572)
//   greenR[c]   = trunc(r × 0.5093696763202726)
//   greenB[c]   = trunc(b × 0.19420783645655879)
// and each primary is luma + offset looked up in a clipping table that
// holds 0 below 0, the value in 0..255 and 255 above, already shifted to
// its place in the pixel word. The sums reach from -276 (blue) to 534, so
// the clipping tables cover -384..639.
#include "colour.h"

#include <array>
#include <cstring>

namespace cl::codecs::mpeg {
namespace {

constexpr int kClipOffset = 384;
constexpr int kClipSize = 1024;

struct ColourTables {
  std::array<int16_t, 256> luma{};
  std::array<int16_t, 256> red{};
  std::array<int16_t, 256> blue{};
  std::array<int16_t, 256> greenR{};
  std::array<int16_t, 256> greenB{};
  std::array<uint32_t, kClipSize> clipRed{};
  std::array<uint32_t, kClipSize> clipGreen{};
  std::array<uint32_t, kClipSize> clipBlue{};
};

constexpr ColourTables MakeTables() {
  ColourTables t;
  for (int v = 0; v < 256; ++v) {
    t.luma[v] = int16_t(int((v - 16) * 1.1643835616438356));
    const int d = v - 128;
    const float r = float(d * 1.402 * 1.1383928571428572);
    const float b = float(d * 1.772 * 1.1383928571428572);
    t.red[v] = int16_t(int(r));
    t.blue[v] = int16_t(int(b));
    t.greenR[v] = int16_t(int(r * 0.5093696763202726));
    t.greenB[v] = int16_t(int(b * 0.19420783645655879));
  }
  for (int i = 0; i < kClipSize; ++i) {
    const int v = i - kClipOffset;
    const uint32_t c = uint32_t(v < 0 ? 0 : v > 255 ? 255 : v);
    t.clipRed[i] = c;
    t.clipGreen[i] = c << 8;
    t.clipBlue[i] = c << 16;
  }
  return t;
}

constexpr ColourTables kTables = MakeTables();

}  // namespace

uint32_t RgbxPixel(int y, int cr, int cb) {
  const int l = kTables.luma[y] + kClipOffset;
  return kTables.clipRed[l + kTables.red[cr]] | kTables.clipBlue[l + kTables.blue[cb]] |
         kTables.clipGreen[l - kTables.greenB[cb] - kTables.greenR[cr]];
}

void ConvertToRgbx(const PlaneSet& p, int width, int height, uint8_t* out, bool bottomUp) {
  const uint32_t* clipRed = kTables.clipRed.data() + kClipOffset;
  const uint32_t* clipGreen = kTables.clipGreen.data() + kClipOffset;
  const uint32_t* clipBlue = kTables.clipBlue.data() + kClipOffset;
  const size_t rowBytes = size_t(width) * 4;
  for (int k = 0; k < height; k += 2) {
    const uint8_t* y0 = p.y + size_t(k) * p.lumaStride;
    const uint8_t* y1 = y0 + p.lumaStride;
    const uint8_t* cr = p.cr + size_t(k / 2) * p.chromaStride;
    const uint8_t* cb = p.cb + size_t(k / 2) * p.chromaStride;
    const int row0 = bottomUp ? height - 1 - k : k;
    const int row1 = bottomUp ? row0 - 1 : row0 + 1;
    uint32_t* o0 = reinterpret_cast<uint32_t*>(out + size_t(row0) * rowBytes);
    uint32_t* o1 = reinterpret_cast<uint32_t*>(out + size_t(row1) * rowBytes);
    for (int x = 0; x < width; x += 2) {
      const int c = x >> 1;
      const uint32_t* r = clipRed + kTables.red[cr[c]];
      const uint32_t* b = clipBlue + kTables.blue[cb[c]];
      const uint32_t* g = clipGreen - kTables.greenB[cb[c]] - kTables.greenR[cr[c]];
      int l = kTables.luma[y0[x]];
      o0[x] = r[l] | g[l] | b[l];
      l = kTables.luma[y0[x + 1]];
      o0[x + 1] = r[l] | g[l] | b[l];
      l = kTables.luma[y1[x]];
      o1[x] = r[l] | g[l] | b[l];
      l = kTables.luma[y1[x + 1]];
      o1[x + 1] = r[l] | g[l] | b[l];
    }
  }
}

}  // namespace cl::codecs::mpeg
