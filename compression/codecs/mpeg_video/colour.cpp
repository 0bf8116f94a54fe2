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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The conversion works on eight pixels of a row at a time. The luma term
// is computed rather than looked up: for v = y - 16,
// sign(v) × ((|v| × 9539) >> 13) equals the truncated table entry for every
// y (checked against the table by the tests); the chroma terms are looked
// up once per pair of pixels, each entry holding its value twice (one per
// pixel of the pair), and shared by both rows. Without SSE2 the table path
// of RgbxPixel does the same work a pixel at a time.
namespace {

#if defined(__SSE2__)
struct PairTables {
  std::array<int32_t, 256> red{};
  std::array<int32_t, 256> blue{};
  std::array<int32_t, 256> greenR{};
  std::array<int32_t, 256> greenB{};
};

constexpr int32_t Pair(int16_t v) { return int32_t(uint32_t(uint16_t(v)) * 0x10001u); }

constexpr PairTables MakePairs() {
  PairTables p;
  for (int c = 0; c < 256; ++c) {
    p.red[c] = Pair(kTables.red[c]);
    p.blue[c] = Pair(kTables.blue[c]);
    p.greenR[c] = Pair(kTables.greenR[c]);
    p.greenB[c] = Pair(kTables.greenB[c]);
  }
  return p;
}

constexpr PairTables kPairs = MakePairs();

inline __m128i Lookup(const std::array<int32_t, 256>& table, const uint8_t* c) {
  return _mm_set_epi32(table[c[3]], table[c[2]], table[c[1]], table[c[0]]);
}

inline void ConvertEight(const uint8_t* luma, __m128i red, __m128i green, __m128i blue, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i v = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma)), zero),
                                  _mm_set1_epi16(16));
  const __m128i negative = _mm_cmpgt_epi16(zero, v);
  const __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(v, negative), negative);
  const __m128i scaled = _mm_mulhi_epu16(_mm_slli_epi16(magnitude, 3), _mm_set1_epi16(9539));
  const __m128i l = _mm_sub_epi16(_mm_xor_si128(scaled, negative), negative);
  // Packing with unsigned saturation clips to 0..255.
  const __m128i r = _mm_packus_epi16(_mm_add_epi16(l, red), zero);
  const __m128i g = _mm_packus_epi16(_mm_sub_epi16(l, green), zero);
  const __m128i b = _mm_packus_epi16(_mm_add_epi16(l, blue), zero);
  const __m128i rg = _mm_unpacklo_epi8(r, g);
  const __m128i bx = _mm_unpacklo_epi8(b, zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(rg, bx));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(rg, bx));
}

void ConvertRows(const uint8_t* y0, const uint8_t* y1, const uint8_t* cr, const uint8_t* cb, int width, uint8_t* o0,
                 uint8_t* o1) {
  for (int x = 0; x < width; x += 8) {
    const uint8_t* r4 = cr + x / 2;
    const uint8_t* b4 = cb + x / 2;
    const __m128i red = Lookup(kPairs.red, r4);
    const __m128i blue = Lookup(kPairs.blue, b4);
    const __m128i green = _mm_add_epi16(Lookup(kPairs.greenR, r4), Lookup(kPairs.greenB, b4));
    ConvertEight(y0 + x, red, green, blue, o0 + size_t(x) * 4);
    ConvertEight(y1 + x, red, green, blue, o1 + size_t(x) * 4);
  }
}
#else
void ConvertRows(const uint8_t* y0, const uint8_t* y1, const uint8_t* cr, const uint8_t* cb, int width, uint8_t* o0,
                 uint8_t* o1) {
  for (int x = 0; x < width; ++x) {
    const uint32_t a = RgbxPixel(y0[x], cr[x / 2], cb[x / 2]);
    const uint32_t b = RgbxPixel(y1[x], cr[x / 2], cb[x / 2]);
    std::memcpy(o0 + 4 * x, &a, 4);
    std::memcpy(o1 + 4 * x, &b, 4);
  }
}
#endif

}  // namespace

void ConvertToRgbx(const PlaneSet& p, int width, int height, uint8_t* out, bool bottomUp) {
  const size_t rowBytes = size_t(width) * 4;
  for (int k = 0; k < height; k += 2) {
    const uint8_t* y0 = p.y + size_t(k) * p.lumaStride;
    const int row0 = bottomUp ? height - 1 - k : k;
    const int row1 = bottomUp ? row0 - 1 : row0 + 1;
    ConvertRows(y0, y0 + p.lumaStride, p.cr + size_t(k / 2) * p.chromaStride, p.cb + size_t(k / 2) * p.chromaStride,
                width, out + size_t(row0) * rowBytes, out + size_t(row1) * rowBytes);
  }
}

}  // namespace cl::codecs::mpeg
