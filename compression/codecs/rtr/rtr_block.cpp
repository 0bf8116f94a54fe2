// The transform, quantisation and block code of "RTR"; see rtr_block.h.
#include "rtr_block.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace cl::codecs::rtr {
namespace {

// The quantisation shifts of quality levels 1..6, each table written as its
// rows r = 0..7 of eight digits c = 0..7. Higher levels drop more of the high
// frequencies; chrominance is always one step coarser than luminance.
constexpr const char* kLumaDigits[kQualityLevels] = {
    "66666666 66666666 66666666 66666666 66666666 66666666 66666666 66666666",
    "66666666 66666667 66666677 66666777 66667777 66677777 66777777 67777777",
    "66667777 66677778 66777788 67777888 77778888 77788888 77888888 78888888",
    "66667777 66677788 66777888 67778888 77788889 77888899 78888999 78889999",
    "66667777 66777888 67778888 67788889 77888899 78888999 78889999 78899999",
    "66667777 67788889 67888899 68888999 78889999 78899999 78999999 79999999",
};
constexpr const char* kChromaDigits[kQualityLevels] = {
    "77777777 77777777 77777777 77777777 77777777 77777777 77777777 77777777",
    "77778888 77788889 77888899 78888999 88889999 88899999 88999999 89999999",
    "77778888 77788889 77888899 78888999 88889999 88899999 88999999 89999999",
    "77778888 77788899 77888999 78889999 88899999 88999999 89999999 89999999",
    "77778888 77788999 77889999 78899999 88999999 89999999 89999999 89999999",
    "77778888 77889999 78899999 78999999 89999999 89999999 89999999 89999999",
};

constexpr std::array<uint8_t, 64> ParseShifts(const char* digits) {
  std::array<uint8_t, 64> shifts{};
  int k = 0;
  for (const char* c = digits; *c != '\0'; ++c) {
    if (*c != ' ') shifts[k++] = uint8_t(*c - '0');
  }
  return shifts;
}

// Luminance tables 0..5, then chrominance tables 6..11.
constexpr std::array<std::array<uint8_t, 64>, 2 * kQualityLevels> kShifts = [] {
  std::array<std::array<uint8_t, 64>, 2 * kQualityLevels> t{};
  for (int q = 0; q < kQualityLevels; ++q) {
    t[q] = ParseShifts(kLumaDigits[q]);
    t[kQualityLevels + q] = ParseShifts(kChromaDigits[q]);
  }
  return t;
}();

// The values of the run code 0x40-0x7F, by its low three bits.
constexpr int kRunValues[8] = {-4, -3, -2, -1, 1, 2, 3, 4};

// Decoded sums stay within +-(255 << 1) + 63 x (128 << 3) = +-65022: a DC
// byte dequantised by at most one bit plus 63 escapes dequantised by at most
// three. The table maps every such sum to 0..255.
constexpr int kClampReach = 65536;

// The butterflies of the 8-point transform (distance 4, 2, 1) applied
// between the rows of a, so along its columns. Each step works on whole rows,
// which the compiler vectorises.
void ColumnPass(int32_t* a) {
  for (int d = 4; d >= 1; d >>= 1) {
    for (int r = 0; r < 8; ++r) {
      if (r & d) continue;
      int32_t* x = a + 8 * r;
      int32_t* y = a + 8 * (r + d);
      for (int c = 0; c < 8; ++c) {
        const int32_t s = x[c], t = y[c];
        x[c] = s + t;
        y[c] = s - t;
      }
    }
  }
}

// t = (H a H) transposed: the column pass, a transpose, and the column pass
// again, so that both passes run on whole rows. a is used as working space.
void TransformTransposed(int32_t* a, int32_t* t) {
  ColumnPass(a);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) t[8 * c + r] = a[8 * r + c];
  ColumnPass(t);
}

uint8_t* Single(uint8_t* out, int v) {
  if (v >= -31 && v <= 31) {
    *out++ = uint8_t(0xC0 | (v + 31));
  } else {
    *out++ = 0xFF;
    *out++ = uint8_t(v + 128);
  }
  return out;
}

bool PairValue(int v) { return v >= -3 && v <= 4; }

}  // namespace

// The standard 8 x 8 zig-zag scan.
const uint8_t kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const uint8_t* ClampTable() {
  static const std::unique_ptr<uint8_t[]> table = [] {
    std::unique_ptr<uint8_t[]> t(new uint8_t[2 * kClampReach]);
    for (int i = 0; i < 2 * kClampReach; ++i) t[i] = uint8_t(std::clamp(i - kClampReach, 0, 255));
    return t;
  }();
  return table.get() + kClampReach;
}

const uint8_t* Shifts(int quality, bool chroma) {
  const int q = std::clamp(quality, 1, kQualityLevels) - 1;
  return kShifts[size_t(chroma ? kQualityLevels + q : q)].data();
}

void ForwardBlock(const uint8_t* samples, const uint8_t* shifts, int32_t* q) {
  int32_t a[64], t[64];
  for (int i = 0; i < 64; ++i) a[i] = samples[i];
  TransformTransposed(a, t);
  q[0] = (t[0] + (1 << shifts[0] >> 1)) >> shifts[0];
  for (int k = 1; k < 64; ++k) {
    const int s = shifts[k];
    q[k] = std::clamp((t[8 * (k & 7) + (k >> 3)] + (1 << s >> 1)) >> s, -128, 127);
  }
}

int CodeBlock(const int32_t* q, uint8_t* out) {
  int z[64];
  for (int p = 0; p < 64; ++p) z[p] = q[kZigZag[p]];
  uint8_t* o = out;
  *o++ = uint8_t(z[0]);
  int p = 1;
  while (p < 64) {
    const int v = z[p];
    int n = 1;
    while (p + n < 64 && z[p + n] == v) ++n;
    if (n == 1) {
      if (p < 63 && PairValue(v) && PairValue(z[p + 1])) {
        *o++ = uint8_t(0x80 | (v + 3) << 3 | (z[p + 1] + 3));
        p += 2;
      } else {
        o = Single(o, v);
        ++p;
      }
    } else if (v == 0) {
      *o++ = uint8_t(n);
      p += n;
    } else if (n <= 9 && v >= -4 && v <= 4) {
      *o++ = uint8_t(0x40 | (n - 2) << 3 | (v < 0 ? v + 4 : v + 3));
      p += n;
    } else {
      for (int i = 0; i < n; ++i) o = Single(o, v);
      p += n;
    }
  }
  return int(o - out);
}

int DecodeBlock(const uint8_t* in, const uint8_t* shifts, int32_t* d, bool* damaged) {
  std::memset(d, 0, 64 * sizeof(int32_t));
  const uint8_t* s = in;
  d[0] = int32_t(*s++) << (shifts[0] - 6);
  int p = 1;
  auto put = [&](int v) {
    const int k = kZigZag[p++];
    d[k] = v * (1 << (shifts[k] - 6));
  };
  while (p < 64) {
    const int b = *s++;
    if (b < 0x40) {
      if (b == 0 || p + b > 64) {
        *damaged = true;
        break;
      }
      p += b;
    } else if (b < 0x80) {
      const int n = ((b >> 3) & 7) + 2;
      const int v = kRunValues[b & 7];
      const int fits = std::min(n, 64 - p);
      for (int i = 0; i < fits; ++i) put(v);
      if (fits < n) {
        *damaged = true;
        break;
      }
    } else if (b < 0xC0) {
      put(((b >> 3) & 7) - 3);
      if (p == 64) {
        *damaged = true;
        break;
      }
      put((b & 7) - 3);
    } else if (b < 0xFF) {
      put((b & 0x3F) - 31);
    } else {
      put(int(*s++) - 128);
    }
  }
  return int(s - in);
}

void InverseBlock(int32_t* d, const uint8_t* clamp, uint8_t* samples) {
  int32_t ac = 0;
  for (int k = 1; k < 64; ++k) ac |= d[k];
  if (ac == 0) {
    // A flat block, the common case in smooth pictures: every sample is the DC.
    std::memset(samples, clamp[d[0]], 64);
    return;
  }
  int32_t t[64];
  TransformTransposed(d, t);
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) samples[8 * i + j] = clamp[t[8 * j + i]];
}

}  // namespace cl::codecs::rtr
