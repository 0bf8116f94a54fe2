// The prediction loops, one per size, half-sample case and store mode,
// chosen once per block; each row is one vector of 16 or 8 bytes.
#include "motion.h"

#include <cstring>

namespace cl::codecs::mpeg {
namespace {

template <int W>
struct Lanes {
  typedef uint8_t Bytes __attribute__((vector_size(W)));
  typedef uint16_t Words __attribute__((vector_size(W * 2)));
};

template <int W>
inline typename Lanes<W>::Bytes Load(const uint8_t* p) {
  typename Lanes<W>::Bytes v;
  std::memcpy(&v, p, W);
  return v;
}

template <int W>
inline void Store(uint8_t* p, typename Lanes<W>::Bytes v) {
  std::memcpy(p, &v, W);
}

// (a + b + 1) >> 1 without widening.
template <typename V>
inline V Average(V a, V b) {
  return (a | b) - ((a ^ b) >> 1);
}

template <int W, int HX, int HY, bool Avg>
void PredictBlock(uint8_t* dst, const uint8_t* src, int stride) {
  using Bytes = typename Lanes<W>::Bytes;
  using Words = typename Lanes<W>::Words;
  for (int y = 0; y < W; ++y, dst += stride, src += stride) {
    Bytes p;
    if constexpr (HX && HY) {
      const Words a = __builtin_convertvector(Load<W>(src), Words);
      const Words b = __builtin_convertvector(Load<W>(src + 1), Words);
      const Words c = __builtin_convertvector(Load<W>(src + stride), Words);
      const Words d = __builtin_convertvector(Load<W>(src + stride + 1), Words);
      p = __builtin_convertvector((a + b + c + d + 2) >> 2, Bytes);
    } else if constexpr (HX) {
      p = Average(Load<W>(src), Load<W>(src + 1));
    } else if constexpr (HY) {
      p = Average(Load<W>(src), Load<W>(src + stride));
    } else {
      p = Load<W>(src);
    }
    if constexpr (Avg) p = Average(Load<W>(dst), p);
    Store<W>(dst, p);
  }
}

using PredictFn = void (*)(uint8_t*, const uint8_t*, int);

template <int W, bool Avg>
constexpr PredictFn kByHalf[4] = {PredictBlock<W, 0, 0, Avg>, PredictBlock<W, 1, 0, Avg>, PredictBlock<W, 0, 1, Avg>,
                                  PredictBlock<W, 1, 1, Avg>};

}  // namespace

void Predict(uint8_t* dst, const uint8_t* src, int stride, int size, int halfX, int halfY, bool average) {
  const int half = halfX | halfY << 1;
  if (size == 16) {
    (average ? kByHalf<16, true> : kByHalf<16, false>)[half](dst, src, stride);
  } else {
    (average ? kByHalf<8, true> : kByHalf<8, false>)[half](dst, src, stride);
  }
}

}  // namespace cl::codecs::mpeg
