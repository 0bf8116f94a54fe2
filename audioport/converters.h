// The sample converter family: the caller's samples to device words and
// back.
//
// A device word is a signed 24-bit sample in an int32_t. Integer samples are
// scaled by shifting: 8-bit samples move up 16 bits, 16-bit samples 8 bits,
// 24-bit samples (in an int32_t) are taken as they are. Float and double
// samples are full scale at +-scale (the configuration's float scale): a word
// is round(x * 2^23 / scale), clamped to -8388608 ... 8388607, rounding half
// away from zero.
//
// Channel layouts on the way out: mono to stereo writes each sample to both
// device channels; stereo to stereo and four to four copy; four channels to
// two add channels 0 and 2 into the left word and 1 and 3 into the right,
// clamping each sum to 24 bits. On the way in: mono from stereo averages the
// two channels, four channels from stereo repeat the front pair as the rear
// pair.
//
// Each family has a bulk member ("t", frames into consecutive words) and a
// wrap member ("w", one frame whose words straddle the ring's end: the first
// `tail_words` words go to `tail`, the rest to `head`). Stereo to stereo has
// only a bulk member, since its unit is one word and nothing straddles.
// The members are chosen once per port (`_ALassignfuncs`), so the loops
// below carry no per-sample switch.
#ifndef CINELARK_AUDIOPORT_CONVERTERS_H
#define CINELARK_AUDIOPORT_CONVERTERS_H

#include <algorithm>
#include <cstdint>

namespace cinelark::audioport {

using WriteBulk = void (*)(const void* in, int32_t* out, int frames, double scale);
using WriteWrap = void (*)(const void* in, int32_t* tail, int tail_words, int32_t* head, double scale);
using ReadBulk = void (*)(const int32_t* in, void* out, int frames, double scale);
using ReadWrap = void (*)(const int32_t* tail, int tail_words, const int32_t* head, void* out,
                          double scale);

struct Converters {
  WriteBulk write_bulk = nullptr;
  WriteWrap write_wrap = nullptr;
  ReadBulk read_bulk = nullptr;
  ReadWrap read_wrap = nullptr;
};

inline constexpr int32_t kWordMin = -8388608;
inline constexpr int32_t kWordMax = 8388607;
inline constexpr double kFullScale = 8388608.0;

inline int32_t clamp_word(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, kWordMin, kWordMax));
}

// A float value already multiplied by 2^23 / scale, to a device word. NaN
// becomes full scale rather than an undefined conversion.
inline int32_t float_word(double v) {
  v = v < kWordMax ? v : kWordMax;
  v = v > kWordMin ? v : kWordMin;
  return static_cast<int32_t>(v + (v >= 0 ? 0.5 : -0.5));
}

// Sample formats: the caller's type, its device word, and back. `k` is the
// factor `write_factor` or `read_factor` made from the scale.
struct Int8 {
  using T = int8_t;
  static double write_factor(double) { return 0; }
  static double read_factor(double) { return 0; }
  static int32_t word(T s, double) { return int32_t{s} * 65536; }
  static T sample(int32_t w, double) { return static_cast<T>(w >> 16); }
  static T average(int32_t l, int32_t r, double) {
    return static_cast<T>((int64_t{l} + r) >> 17);
  }
};

struct Int16 {
  using T = int16_t;
  static double write_factor(double) { return 0; }
  static double read_factor(double) { return 0; }
  static int32_t word(T s, double) { return int32_t{s} * 256; }
  static T sample(int32_t w, double) { return static_cast<T>(w >> 8); }
  static T average(int32_t l, int32_t r, double) {
    return static_cast<T>((int64_t{l} + r) >> 9);
  }
};

struct Int24 {
  using T = int32_t;
  static double write_factor(double) { return 0; }
  static double read_factor(double) { return 0; }
  static int32_t word(T s, double) { return s; }
  static T sample(int32_t w, double) { return w; }
  static T average(int32_t l, int32_t r, double) {
    return static_cast<T>((int64_t{l} + r) >> 1);
  }
};

template <typename F>
struct Floating {
  using T = F;
  static double write_factor(double scale) { return kFullScale / scale; }
  static double read_factor(double scale) { return scale / kFullScale; }
  static int32_t word(T s, double k) { return float_word(static_cast<double>(s) * k); }
  static T sample(int32_t w, double k) { return static_cast<T>(w * k); }
  static T average(int32_t l, int32_t r, double k) {
    return static_cast<T>((static_cast<double>(l) + r) * 0.5 * k);
  }
};
using Float32 = Floating<float>;
using Float64 = Floating<double>;

// Channel layouts: one frame out (`put`) and one frame in (`get`).
struct MonoStereo {
  static constexpr int kCaller = 1;
  static constexpr int kDevice = 2;
  template <typename S>
  static void put(const typename S::T* in, int32_t* out, double k) {
    out[0] = out[1] = S::word(in[0], k);
  }
  template <typename S>
  static void get(const int32_t* in, typename S::T* out, double k) {
    out[0] = S::average(in[0], in[1], k);
  }
};

struct Copy1 {
  static constexpr int kCaller = 1;
  static constexpr int kDevice = 1;
  template <typename S>
  static void put(const typename S::T* in, int32_t* out, double k) {
    out[0] = S::word(in[0], k);
  }
  template <typename S>
  static void get(const int32_t* in, typename S::T* out, double k) {
    out[0] = S::sample(in[0], k);
  }
};

struct FourStereo {
  static constexpr int kCaller = 4;
  static constexpr int kDevice = 2;
  template <typename S>
  static void put(const typename S::T* in, int32_t* out, double k) {
    out[0] = clamp_word(int64_t{S::word(in[0], k)} + S::word(in[2], k));
    out[1] = clamp_word(int64_t{S::word(in[1], k)} + S::word(in[3], k));
  }
  template <typename S>
  static void get(const int32_t* in, typename S::T* out, double k) {
    out[0] = out[2] = S::sample(in[0], k);
    out[1] = out[3] = S::sample(in[1], k);
  }
};

struct FourFour {
  static constexpr int kCaller = 4;
  static constexpr int kDevice = 4;
  template <typename S>
  static void put(const typename S::T* in, int32_t* out, double k) {
    for (int c = 0; c < 4; ++c) out[c] = S::word(in[c], k);
  }
  template <typename S>
  static void get(const int32_t* in, typename S::T* out, double k) {
    for (int c = 0; c < 4; ++c) out[c] = S::sample(in[c], k);
  }
};

template <typename S, typename L>
void write_bulk(const void* in, int32_t* out, int frames, double scale) {
  const auto* src = static_cast<const typename S::T*>(in);
  const double k = S::write_factor(scale);
  for (int i = 0; i < frames; ++i) L::template put<S>(src + i * L::kCaller, out + i * L::kDevice, k);
}

template <typename S, typename L>
void write_wrap(const void* in, int32_t* tail, int tail_words, int32_t* head, double scale) {
  int32_t frame[L::kDevice];
  L::template put<S>(static_cast<const typename S::T*>(in), frame, S::write_factor(scale));
  for (int c = 0; c < L::kDevice; ++c) (c < tail_words ? tail[c] : head[c - tail_words]) = frame[c];
}

template <typename S, typename L>
void read_bulk(const int32_t* in, void* out, int frames, double scale) {
  auto* dst = static_cast<typename S::T*>(out);
  const double k = S::read_factor(scale);
  for (int i = 0; i < frames; ++i) L::template get<S>(in + i * L::kDevice, dst + i * L::kCaller, k);
}

template <typename S, typename L>
void read_wrap(const int32_t* tail, int tail_words, const int32_t* head, void* out, double scale) {
  int32_t frame[L::kDevice];
  for (int c = 0; c < L::kDevice; ++c) frame[c] = c < tail_words ? tail[c] : head[c - tail_words];
  L::template get<S>(frame, static_cast<typename S::T*>(out), S::read_factor(scale));
}

// The named members. Stereo to stereo works word by word, so its bulk
// member is the one-channel copy.
inline constexpr WriteBulk _ALWriteMonoToStereo_8t = &write_bulk<Int8, MonoStereo>;
inline constexpr WriteBulk _ALWriteMonoToStereo_16t = &write_bulk<Int16, MonoStereo>;
inline constexpr WriteBulk _ALWriteMonoToStereo_24t = &write_bulk<Int24, MonoStereo>;
inline constexpr WriteBulk _ALWriteMonoToStereo_ft = &write_bulk<Float32, MonoStereo>;
inline constexpr WriteBulk _ALWriteMonoToStereo_dt = &write_bulk<Float64, MonoStereo>;
inline constexpr WriteWrap _ALWriteMonoToStereo_8w = &write_wrap<Int8, MonoStereo>;
inline constexpr WriteWrap _ALWriteMonoToStereo_16w = &write_wrap<Int16, MonoStereo>;
inline constexpr WriteWrap _ALWriteMonoToStereo_24w = &write_wrap<Int24, MonoStereo>;
inline constexpr WriteWrap _ALWriteMonoToStereo_fw = &write_wrap<Float32, MonoStereo>;
inline constexpr WriteWrap _ALWriteMonoToStereo_dw = &write_wrap<Float64, MonoStereo>;

inline constexpr WriteBulk _ALWriteStereoToStereo_8t = &write_bulk<Int8, Copy1>;
inline constexpr WriteBulk _ALWriteStereoToStereo_16t = &write_bulk<Int16, Copy1>;
inline constexpr WriteBulk _ALWriteStereoToStereo_24t = &write_bulk<Int24, Copy1>;
inline constexpr WriteBulk _ALWriteStereoToStereo_f = &write_bulk<Float32, Copy1>;
inline constexpr WriteBulk _ALWriteStereoToStereo_d = &write_bulk<Float64, Copy1>;

inline constexpr WriteBulk _ALWrite4ChanTo2Chan_8t = &write_bulk<Int8, FourStereo>;
inline constexpr WriteBulk _ALWrite4ChanTo2Chan_16t = &write_bulk<Int16, FourStereo>;
inline constexpr WriteBulk _ALWrite4ChanTo2Chan_24t = &write_bulk<Int24, FourStereo>;
inline constexpr WriteBulk _ALWrite4ChanTo2Chan_ft = &write_bulk<Float32, FourStereo>;
inline constexpr WriteBulk _ALWrite4ChanTo2Chan_dt = &write_bulk<Float64, FourStereo>;
inline constexpr WriteWrap _ALWrite4ChanTo2Chan_8w = &write_wrap<Int8, FourStereo>;
inline constexpr WriteWrap _ALWrite4ChanTo2Chan_16w = &write_wrap<Int16, FourStereo>;
inline constexpr WriteWrap _ALWrite4ChanTo2Chan_24w = &write_wrap<Int24, FourStereo>;
inline constexpr WriteWrap _ALWrite4ChanTo2Chan_fw = &write_wrap<Float32, FourStereo>;
inline constexpr WriteWrap _ALWrite4ChanTo2Chan_dw = &write_wrap<Float64, FourStereo>;

inline constexpr WriteBulk _ALWrite4ChanTo4Chan_8t = &write_bulk<Int8, FourFour>;
inline constexpr WriteBulk _ALWrite4ChanTo4Chan_16t = &write_bulk<Int16, FourFour>;
inline constexpr WriteBulk _ALWrite4ChanTo4Chan_24t = &write_bulk<Int24, FourFour>;
inline constexpr WriteBulk _ALWrite4ChanTo4Chan_ft = &write_bulk<Float32, FourFour>;
inline constexpr WriteBulk _ALWrite4ChanTo4Chan_dt = &write_bulk<Float64, FourFour>;
inline constexpr WriteWrap _ALWrite4ChanTo4Chan_8w = &write_wrap<Int8, FourFour>;
inline constexpr WriteWrap _ALWrite4ChanTo4Chan_16w = &write_wrap<Int16, FourFour>;
inline constexpr WriteWrap _ALWrite4ChanTo4Chan_24w = &write_wrap<Int24, FourFour>;
inline constexpr WriteWrap _ALWrite4ChanTo4Chan_fw = &write_wrap<Float32, FourFour>;
inline constexpr WriteWrap _ALWrite4ChanTo4Chan_dw = &write_wrap<Float64, FourFour>;

inline constexpr ReadBulk _ALReadMonoFromStereo_8t = &read_bulk<Int8, MonoStereo>;
inline constexpr ReadBulk _ALReadMonoFromStereo_16t = &read_bulk<Int16, MonoStereo>;
inline constexpr ReadBulk _ALReadMonoFromStereo_24t = &read_bulk<Int24, MonoStereo>;
inline constexpr ReadBulk _ALReadMonoFromStereo_ft = &read_bulk<Float32, MonoStereo>;
inline constexpr ReadBulk _ALReadMonoFromStereo_dt = &read_bulk<Float64, MonoStereo>;
inline constexpr ReadWrap _ALReadMonoFromStereo_8w = &read_wrap<Int8, MonoStereo>;
inline constexpr ReadWrap _ALReadMonoFromStereo_16w = &read_wrap<Int16, MonoStereo>;
inline constexpr ReadWrap _ALReadMonoFromStereo_24w = &read_wrap<Int24, MonoStereo>;
inline constexpr ReadWrap _ALReadMonoFromStereo_fw = &read_wrap<Float32, MonoStereo>;
inline constexpr ReadWrap _ALReadMonoFromStereo_dw = &read_wrap<Float64, MonoStereo>;

inline constexpr ReadBulk _ALReadStereoFromStereo_8 = &read_bulk<Int8, Copy1>;
inline constexpr ReadBulk _ALReadStereoFromStereo_16 = &read_bulk<Int16, Copy1>;
inline constexpr ReadBulk _ALReadStereoFromStereo_24 = &read_bulk<Int24, Copy1>;
inline constexpr ReadBulk _ALReadStereoFromStereo_f = &read_bulk<Float32, Copy1>;
inline constexpr ReadBulk _ALReadStereoFromStereo_d = &read_bulk<Float64, Copy1>;

inline constexpr ReadBulk _ALRead4ChanFromStereo_8t = &read_bulk<Int8, FourStereo>;
inline constexpr ReadBulk _ALRead4ChanFromStereo_16t = &read_bulk<Int16, FourStereo>;
inline constexpr ReadBulk _ALRead4ChanFromStereo_24t = &read_bulk<Int24, FourStereo>;
inline constexpr ReadBulk _ALRead4ChanFromStereo_ft = &read_bulk<Float32, FourStereo>;
inline constexpr ReadBulk _ALRead4ChanFromStereo_dt = &read_bulk<Float64, FourStereo>;
inline constexpr ReadWrap _ALRead4ChanFromStereo_8w = &read_wrap<Int8, FourStereo>;
inline constexpr ReadWrap _ALRead4ChanFromStereo_16w = &read_wrap<Int16, FourStereo>;
inline constexpr ReadWrap _ALRead4ChanFromStereo_24w = &read_wrap<Int24, FourStereo>;
inline constexpr ReadWrap _ALRead4ChanFromStereo_fw = &read_wrap<Float32, FourStereo>;
inline constexpr ReadWrap _ALRead4ChanFromStereo_dw = &read_wrap<Float64, FourStereo>;

inline constexpr ReadBulk _ALRead4ChanFrom4Chan_8t = &read_bulk<Int8, FourFour>;
inline constexpr ReadBulk _ALRead4ChanFrom4Chan_16t = &read_bulk<Int16, FourFour>;
inline constexpr ReadBulk _ALRead4ChanFrom4Chan_24t = &read_bulk<Int24, FourFour>;
inline constexpr ReadBulk _ALRead4ChanFrom4Chan_ft = &read_bulk<Float32, FourFour>;
inline constexpr ReadBulk _ALRead4ChanFrom4Chan_dt = &read_bulk<Float64, FourFour>;
inline constexpr ReadWrap _ALRead4ChanFrom4Chan_8w = &read_wrap<Int8, FourFour>;
inline constexpr ReadWrap _ALRead4ChanFrom4Chan_16w = &read_wrap<Int16, FourFour>;
inline constexpr ReadWrap _ALRead4ChanFrom4Chan_24w = &read_wrap<Int24, FourFour>;
inline constexpr ReadWrap _ALRead4ChanFrom4Chan_fw = &read_wrap<Float32, FourFour>;
inline constexpr ReadWrap _ALRead4ChanFrom4Chan_dw = &read_wrap<Float64, FourFour>;

// Sample format rows of the choice table: 8, 16 and 24-bit integers, float,
// double.
enum class SampleKind { kInt8, kInt16, kInt24, kFloat, kDouble };

// The converters for a port: `output` or input, the caller's channels (1, 2
// or 4) and the device's (2 or 4). Members not in the family stay null.
Converters _ALassignfuncs(bool output, SampleKind kind, int caller_channels, int device_channels);

}  // namespace cinelark::audioport

#endif
