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

// Both passes; on return rows[y] holds output row y.
inline void TransformBlock(const float* block, Row* rows) {
  Row r[8];
  std::memcpy(r, block, sizeof r);
  Transform8(r);  // vertical: along y for every x
  float t[64];
  std::memcpy(t, r, sizeof t);
  float u[64];
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) u[x * 8 + y] = t[y * 8 + x];
  }
  std::memcpy(r, u, sizeof r);
  Transform8(r);  // horizontal: r[x] now holds column x of the output
  std::memcpy(u, r, sizeof u);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) t[y * 8 + x] = u[x * 8 + y];
  }
  std::memcpy(rows, t, sizeof t);
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

}  // namespace

const std::array<float, 64> kIdctScale = MakeScale();

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
