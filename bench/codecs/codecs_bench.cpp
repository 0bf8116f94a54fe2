// Encode and decode speed of the uncompressed, run-length and G.711 codecs.
//
// Video codecs run on two kinds of picture at 320 x 240 and 640 x 480, in
// 32-bit RGBX words: "natural", a smooth diagonal gradient with a little
// noise in every channel (few runs, as in camera footage), and "bars", eight
// flat vertical colour bars over a grey floor (long runs, as in titles and
// cartoons). Each benchmark reports frames per second and the compressed
// bytes of one frame; the G.711 ones report samples per second.
#include <benchmark/benchmark.h>
#include <cinelark/cl.h>
#include <cinelark/colorspace.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

enum Picture { kNatural = 0, kBars = 1 };

std::vector<uint32_t> MakePicture(Picture kind, int w, int h) {
  std::vector<uint32_t> p(size_t(w) * size_t(h));
  uint32_t seed = 2463534242u;
  auto noise = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return int(seed & 7) - 4;
  };
  static const uint32_t kBarColours[] = {0xC0C0C0, 0x00C0C0, 0xC0C000, 0x00C000,
                                         0xC000C0, 0x0000C0, 0xC00000, 0x101010};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t v;
      if (kind == kBars) {
        v = y < h * 3 / 4 ? kBarColours[x * 8 / w] : 0x404040;
      } else {
        auto channel = [&](int base) { return uint32_t(std::clamp(base + noise(), 0, 255)); };
        const int r = 255 * x / w, g = 255 * y / h, b = 255 * (x + y) / (w + h);
        v = channel(r) | channel(g) << 8 | channel(b) << 16;
      }
      p[size_t(y) * size_t(w) + size_t(x)] = v;
    }
  }
  return p;
}

struct VideoCase {
  int scheme;
  int original;  // the caller's layout: RGBX, or RGB332 for RLE in its own layout
};

// Frames in the caller's layout: RGBX words, or the RGB332 bytes the
// converters make of them.
std::vector<uint8_t> CallerFrame(const std::vector<uint32_t>& words, int format, int w, int h) {
  std::vector<uint8_t> frame(words.size() * (format == CL_RGB332 ? 1 : 4));
  if (format == CL_RGB332) csConvert(w, h, CS_RGBX, words.data(), CS_RGB332, frame.data());
  else std::memcpy(frame.data(), words.data(), frame.size());
  return frame;
}

CL_Handle OpenVideo(bool compressor, const VideoCase& c, int w, int h) {
  CL_Handle handle = nullptr;
  if (compressor) {
    clOpenCompressor(c.scheme, &handle);
  } else {
    clOpenDecompressor(c.scheme, &handle);
  }
  int pv[] = {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_ORIGINAL_FORMAT, c.original};
  clSetParams(handle, pv, 6);
  return handle;
}

void Encode(benchmark::State& state, VideoCase c, Picture kind) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint8_t> frame = CallerFrame(MakePicture(kind, w, h), c.original, w, h);
  CL_Handle enc = OpenVideo(true, c, w, h);
  std::vector<uint8_t> data(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE)));
  int size = 0;
  clCompress(enc, 1, frame.data(), &size, data.data());  // the header goes out first
  for (auto _ : state) {
    clCompress(enc, 1, frame.data(), &size, data.data());
    benchmark::DoNotOptimize(data.data());
  }
  clCloseCompressor(enc);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(size);
}

void Decode(benchmark::State& state, VideoCase c, Picture kind) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint8_t> frame = CallerFrame(MakePicture(kind, w, h), c.original, w, h);
  CL_Handle enc = OpenVideo(true, c, w, h);
  std::vector<uint8_t> first(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE)));
  std::vector<uint8_t> codes(first.size());
  int firstSize = 0, size = 0;
  clCompress(enc, 1, frame.data(), &firstSize, first.data());
  clCompress(enc, 1, frame.data(), &size, codes.data());
  clCloseCompressor(enc);

  CL_Handle dec = OpenVideo(false, c, w, h);
  std::vector<uint8_t> out(frame.size());
  clDecompress(dec, 1, firstSize, first.data(), out.data());  // takes the header
  for (auto _ : state) {
    clDecompress(dec, 1, size, codes.data(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  clCloseDecompressor(dec);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(size);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);
}

constexpr VideoCase kUncompressed{CL_UNCOMPRESSED_VIDEO, CL_RGBX};
constexpr VideoCase kRle332{CL_RLE, CL_RGB332};
constexpr VideoCase kRleFromRgbx{CL_RLE, CL_RGBX};
constexpr VideoCase kRle24{CL_RLE24, CL_RGBX};

BENCHMARK_CAPTURE(Encode, Uncompressed_natural, kUncompressed, kNatural)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, Uncompressed_natural, kUncompressed, kNatural)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, RLE_rgb332_natural, kRle332, kNatural)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, RLE_rgb332_natural, kRle332, kNatural)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, RLE_rgb332_bars, kRle332, kBars)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, RLE_rgb332_bars, kRle332, kBars)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, RLE_rgbx_natural, kRleFromRgbx, kNatural)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, RLE_rgbx_natural, kRleFromRgbx, kNatural)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, RLE24_natural, kRle24, kNatural)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, RLE24_natural, kRle24, kNatural)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, RLE24_bars, kRle24, kBars)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, RLE24_bars, kRle24, kBars)->Apply(Sizes);

// One second of 48 kHz stereo per iteration.
constexpr int kAudioFrames = 48000;

std::vector<int16_t> Tone() {
  std::vector<int16_t> s(size_t(kAudioFrames) * 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t((int(i * 2654435761u >> 16) & 0x3FFF) - 0x2000);
  return s;
}

void G711Encode(benchmark::State& state, int scheme) {
  std::vector<int16_t> samples = Tone();
  CL_Handle enc = nullptr;
  clOpenCompressor(scheme, &enc);
  int pv[] = {CL_ORIGINAL_FORMAT, 1, CL_COMPRESSED_BUFFER_SIZE, 48 + kAudioFrames * 2};
  clSetParams(enc, pv, 4);
  std::vector<uint8_t> data(size_t(48 + kAudioFrames * 2));
  int size = 0;
  for (auto _ : state) {
    clCompress(enc, kAudioFrames, samples.data(), &size, data.data());
    benchmark::DoNotOptimize(data.data());
  }
  clCloseCompressor(enc);
  state.counters["samples/s"] =
      benchmark::Counter(double(state.iterations()) * kAudioFrames * 2, benchmark::Counter::kIsRate);
}

void G711Decode(benchmark::State& state, int scheme) {
  std::vector<int16_t> samples = Tone();
  CL_Handle enc = nullptr;
  clOpenCompressor(scheme, &enc);
  int pv[] = {CL_ORIGINAL_FORMAT, 1, CL_COMPRESSED_BUFFER_SIZE, 48 + kAudioFrames * 2};
  clSetParams(enc, pv, 4);
  std::vector<uint8_t> first(size_t(48 + kAudioFrames * 2)), codes(first.size());
  int firstSize = 0, size = 0;
  clCompress(enc, kAudioFrames, samples.data(), &firstSize, first.data());
  clCompress(enc, kAudioFrames, samples.data(), &size, codes.data());
  clCloseCompressor(enc);

  CL_Handle dec = nullptr;
  clOpenDecompressor(scheme, &dec);
  int dpv[] = {CL_ORIGINAL_FORMAT, 1};
  clSetParams(dec, dpv, 2);
  clDecompress(dec, kAudioFrames, firstSize, first.data(), samples.data());
  for (auto _ : state) {
    clDecompress(dec, kAudioFrames, size, codes.data(), samples.data());
    benchmark::DoNotOptimize(samples.data());
  }
  clCloseDecompressor(dec);
  state.counters["samples/s"] =
      benchmark::Counter(double(state.iterations()) * kAudioFrames * 2, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(G711Encode, ulaw, CL_G711_ULAW)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(G711Decode, ulaw, CL_G711_ULAW)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(G711Encode, alaw, CL_G711_ALAW)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(G711Decode, alaw, CL_G711_ALAW)->Unit(benchmark::kMicrosecond);

}  // namespace
