// The fast float inverse DCT over GCC/Clang vector extensions: a block is
// eight rows of eight floats, so one pass of the 1-D transform applied to
// whole rows transforms all eight columns at once; a transpose between the
// two passes turns rows into columns. On targets without vector registers
// the compiler lowers the same code to plain float operations.
#include "idct.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cl::codecs::mpeg {
namespace {

// The constants of the transform: 1/√2, √2·cos(3π/8) and √2·cos(π/8); the
// factors 1/(2·cos(kπ/16)) of the odd part live in kIdctScale.
constexpr float kMc[3] = {0.70710677f, 0.5411961f, 1.306563f};
constexpr float kSqrt2 = 2.0f * kMc[0];
constexpr float kTwoCos1 = 2.0f * kMc[0] * kMc[2];  // 2·cos(π/8)
constexpr float kTwoMc1 = 2.0f * kMc[1];
constexpr float kTwoMc2 = 2.0f * kMc[2];

typedef float Row __attribute__((vector_size(32)));
typedef int32_t IntRow __attribute__((vector_size(32)));

// One 1-D inverse transform over eight values (or eight rows of values).
template <typename T>
inline void Transform8(T* p) {
  T t10 = p[0] + p[4];
  T t11 = p[0] - p[4];
  T t13 = p[2] + p[6];
  T t12 = (p[2] - p[6]) * kSqrt2 - t13;
  const T e0 = t10 + t13;
  const T e3 = t10 - t13;
  const T e1 = t11 + t12;
  const T e2 = t11 - t12;

  const T z13 = p[5] + p[3];
  const T z10 = p[5] - p[3];
  const T z11 = p[1] + p[7];
  const T z12 = p[1] - p[7];
  const T o7 = z11 + z13;
  const T o11 = (z11 - z13) * kSqrt2;
  const T z5 = (z10 + z12) * kTwoCos1;
  const T o10 = z5 - z12 * kTwoMc1;
  const T o12 = z5 - z10 * kTwoMc2;
  const T o6 = o12 - o7;
  const T o5 = o11 - o6;
  const T o4 = o10 - o5;

  p[0] = e0 + o7;
  p[7] = e0 - o7;
  p[1] = e1 + o6;
  p[6] = e1 - o6;
  p[2] = e2 + o5;
  p[5] = e2 - o5;
  p[3] = e3 + o4;
  p[4] = e3 - o4;
}

constexpr std::array<float, 64> MakeScale() {
  // √2·cos(kπ/16), k = 0..7, with k = 0 taken as 1.
  constexpr double s[8] = {1.0,
                           1.3870398453221475,
                           1.3065629648763766,
                           1.1758756024193588,
                           1.0,
                           0.7856949583871022,
                           0.5411961001461971,
                           0.2758993792829431};
  std::array<float, 64> t{};
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) t[v * 8 + u] = float(s[v] * s[u] / 8.0);
  }
  return t;
}

// Both passes over a block that holds its coefficients transposed; on
// return rows[y] holds output row y.
inline void TransformBlock(const float* block, Row* rows) {
  Row r[8];
  std::memcpy(r, block, sizeof r);
  Transform8(r);  // horizontal, rows being columns
  float t[64];
  std::memcpy(t, r, sizeof t);
  float u[64];
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) u[x * 8 + y] = t[y * 8 + x];
  }
  std::memcpy(rows, u, sizeof u);
  Transform8(rows);  // vertical
}

// Rounds each value to the nearest integer (halves up), adds the
// prediction when there is one, and stores the eight results clipped to
// 0..255. Values are bounded first so that damaged coefficients cannot
// leave the integer range. Vectors pass by reference: 32-byte vectors by
// value would need AVX calling conventions.
inline void StoreRow(const Row& row, const uint8_t* prediction, uint8_t* dst) {
  const Row lo = Row{} - 8192.0f;
  const Row hi = Row{} + 8192.0f;
  Row v = row < lo ? lo : row;
  v = v > hi ? hi : v;
  IntRow r = __builtin_convertvector(v + 8192.5f, IntRow) - 8192;
  if (prediction != nullptr) {
    IntRow p;
    for (int i = 0; i < 8; ++i) p[i] = prediction[i];
    r += p;
  }
  r = r < 0 ? IntRow{} : r;
  r = r > 255 ? IntRow{} + 255 : r;
  for (int i = 0; i < 8; ++i) dst[i] = uint8_t(r[i]);
}


#if defined(__SSE2__)
// Eight rows as two halves of four floats each.
typedef float Half __attribute__((vector_size(16)));

inline void Transpose4(Half& a, Half& b, Half& c, Half& d) {
  __m128 t0 = _mm_unpacklo_ps(a, b);
  __m128 t1 = _mm_unpacklo_ps(c, d);
  __m128 t2 = _mm_unpackhi_ps(a, b);
  __m128 t3 = _mm_unpackhi_ps(c, d);
  a = _mm_movelh_ps(t0, t1);
  b = _mm_movehl_ps(t1, t0);
  c = _mm_movelh_ps(t2, t3);
  d = _mm_movehl_ps(t3, t2);
}

// The block holds the coefficients transposed: the first pass over its
// rows is the horizontal transform; one transpose later the second pass
// gives the output rows.
inline void TransformRows(const float* block, Half* left, Half* right) {
  for (int r = 0; r < 8; ++r) {
    left[r] = _mm_load_ps(block + r * 8);
    right[r] = _mm_load_ps(block + r * 8 + 4);
  }
  Transform8(left);
  Transform8(right);
  // [L0-3 R0-3; L4-7 R4-7] transposed: the 4x4 quarters swap across the
  // diagonal.
  Transpose4(left[0], left[1], left[2], left[3]);
  Transpose4(right[0], right[1], right[2], right[3]);
  Transpose4(left[4], left[5], left[6], left[7]);
  Transpose4(right[4], right[5], right[6], right[7]);
  for (int r = 0; r < 4; ++r) std::swap(right[r], left[r + 4]);
  Transform8(left);
  Transform8(right);
}

inline void StoreHalves(const Half& left, const Half& right, const uint8_t* prediction, uint8_t* dst) {
  __m128i v = _mm_packs_epi32(_mm_cvtps_epi32(left), _mm_cvtps_epi32(right));
  if (prediction != nullptr) {
    const __m128i p = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(prediction)),
                                        _mm_setzero_si128());
    v = _mm_adds_epi16(v, p);
  }
  _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(v, v));
}
#endif
}  // namespace

const std::array<float, 64> kIdctScale = MakeScale();

#if defined(__SSE2__)
void IdctPut(float* block, uint8_t* dst, int stride) {
  Half left[8];
  Half right[8];
  TransformRows(block, left, right);
  for (int y = 0; y < 8; ++y) StoreHalves(left[y], right[y], nullptr, dst + y * stride);
}

void IdctAdd(float* block, uint8_t* dst, int stride) {
  Half left[8];
  Half right[8];
  TransformRows(block, left, right);
  for (int y = 0; y < 8; ++y) StoreHalves(left[y], right[y], dst + y * stride, dst + y * stride);
}
#else
void IdctPut(float* block, uint8_t* dst, int stride) {
  Row rows[8];
  TransformBlock(block, rows);
  for (int y = 0; y < 8; ++y) StoreRow(rows[y], nullptr, dst + y * stride);
}

void IdctAdd(float* block, uint8_t* dst, int stride) {
  Row rows[8];
  TransformBlock(block, rows);
  for (int y = 0; y < 8; ++y) StoreRow(rows[y], dst + y * stride, dst + y * stride);
}
#endif

void DcPut(int coefficient, uint8_t* dst, int stride) {
  const uint8_t v = uint8_t(std::clamp(coefficient >> 3, 0, 255));
  for (int y = 0; y < 8; ++y) std::memset(dst + y * stride, v, 8);
}

void DcAdd(int coefficient, uint8_t* dst, int stride) {
  const int add = coefficient >> 3;
  for (int y = 0; y < 8; ++y) {
    uint8_t* line = dst + y * stride;
    for (int x = 0; x < 8; ++x) line[x] = uint8_t(std::clamp(line[x] + add, 0, 255));
  }
}

}  // namespace cl::codecs::mpeg
