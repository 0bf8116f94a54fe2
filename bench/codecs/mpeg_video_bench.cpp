// Decoding speed of "MPEG Video": streams of ffmpeg's moving test picture
// at 320 x 240 and 640 x 480 (I, P and two B pictures per P, 12 pictures a
// group, quantiser scale 4), made once by ffmpeg, decoded whole to RGBX
// frames on every iteration. Reports frames per second.
#include <benchmark/benchmark.h>
#include <cinelark/cl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 120;

std::vector<uint8_t> Stream(int width, int height) {
  const std::string file = "/tmp/cinelark_mpeg_bench_" + std::to_string(width) + ".m1v";
  const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc2=size=" + std::to_string(width) + "x" +
                              std::to_string(height) + ":rate=30 -frames:v " + std::to_string(kFrames) +
                              " -pix_fmt yuv420p -c:v mpeg1video -bf 2 -g 12 -qscale:v 4 " + file;
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  std::remove(file.c_str());
  return bytes;
}

void Quiet(CL_Handle, int, const char*, ...) {}

void BM_MpegVideoDecode(benchmark::State& state) {
  const int width = int(state.range(0));
  const int height = int(state.range(1));
  static std::vector<uint8_t> streams[2];
  std::vector<uint8_t>& stream = streams[width > 320];
  if (stream.empty()) stream = Stream(width, height);
  if (stream.empty()) {
    state.SkipWithError("ffmpeg could not make the stream");
    return;
  }
  clSetErrorHandler(Quiet);  // ffmpeg repeats the sequence header, which is reported
  std::vector<uint8_t> frame(size_t(width) * height * 4);
  int64_t frames = 0;
  for (auto _ : state) {
    CL_Handle h = nullptr;
    clOpenDecompressor(CL_MPEG_VIDEO, &h);
    clReadHeader(h, int(stream.size()), stream.data());
    CL_BufferHdl data = clCreateBuf(h, CL_DATA, int(stream.size()), 1, nullptr);
    void* at = nullptr;
    int wrap = 0;
    clQueryFree(data, 0, &at, &wrap);
    std::copy(stream.begin(), stream.end(), static_cast<uint8_t*>(at));
    clUpdateHead(data, int(stream.size()));
    clDoneUpdatingHead(data);
    for (int f = 0; f < kFrames; ++f) clDecompress(h, 1, 0, nullptr, frame.data());
    clCloseDecompressor(h);
    frames += kFrames;
  }
  state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_MpegVideoDecode)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);

}  // namespace
