// Speed of the QuickTime coders at 320x240 and 640x480 on two kinds of
// picture: "natural" (smooth shading with camera grain, panning a pixel a
// frame, so every pixel changes) and "synthetic" (flat colours with one
// moving shape, as in screen recordings and animation). Reports frames per
// second and the mean compressed frame size in bytes.
//
// Decoding is measured through the codec bridge, as the movie library
// decodes, and through the bare decoder. With CINELARK_BENCH_MOV_DIR set, the
// streams are also written there as QuickTime files, so that another decoder
// can be timed on the very same streams.
#include <benchmark/benchmark.h>

#include <cinelark/playback.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "codec_bridge.h"
#include "engine_hooks.h"
#include "qt_tools.h"
#include "quicktime_coders.h"

namespace {

constexpr int kFrames = 10;

enum class Content { Natural, Synthetic };

uint32_t rgb(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }

int clampByte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Pictures top row first.
std::vector<qt_tools::Picture> makeClip(int w, int h, Content content)
{
    std::vector<qt_tools::Picture> clip;
    uint32_t seed = 2024;
    for (int f = 0; f < kFrames; f++) {
        qt_tools::Picture p(size_t(w) * size_t(h));
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint32_t &px = p[size_t(y) * size_t(w) + size_t(x)];
                if (content == Content::Natural) {
                    seed = seed * 1103515245u + 12345u;
                    int grain = int(seed >> 29) - 4;
                    int u = x + f, v = y;
                    int r = 60 + (u * 150) / w + ((u / 37 + v / 29) % 3) * 12;
                    int g = 40 + (v * 170) / h + (u * v) % 7;
                    int b = 90 + ((u + v) * 100) / (w + h);
                    px = rgb(clampByte(r + grain), clampByte(g + grain), clampByte(b + grain));
                } else {
                    px = (y / (h / 6)) % 2 ? rgb(30, 60, 200) : rgb(240, 240, 230);
                    int cx = w / 4 + f * 6, cy = h / 3;
                    if (x >= cx && x < cx + w / 5 && y >= cy && y < cy + h / 4)
                        px = rgb(250, 200, 0);
                }
            }
        clip.push_back(std::move(p));
    }
    return clip;
}

const char *contentName(Content c) { return c == Content::Natural ? "natural" : "synthetic"; }

struct Coder {
    const char *name;     // compression name
    const char *fourcc;
    int depth;
};

const Coder kVideo{"Apple Video", "rpza", 16};
const Coder kAnimation{"Apple Animation", "rle ", 24};

MVcodec *openCodec(const Coder &coder, int w, int h)
{
    mvInitQuickTime();
    MVcodec *codec = nullptr;
    __mvCD_Create(coder.name, w, h, 24, DM_PACKING_RGBX, &codec);
    return codec;
}

// Encodes the clip through the bridge, bottom-up frames as the library
// hands them over.
std::vector<qt_tools::Bytes> encodeClip(const Coder &coder, int w, int h,
                                        const std::vector<qt_tools::Picture> &clip)
{
    MVcodec *codec = openCodec(coder, w, h);
    size_t bytes = 0;
    __mvCD_BufferSize(codec, &bytes);
    std::vector<qt_tools::Bytes> out;
    for (const qt_tools::Picture &p : clip) {
        qt_tools::Picture frame = qt_tools::flipRows(p, w, h);
        qt_tools::Bytes b(bytes);
        size_t size = 0;
        int key = 0;
        __mvCD_Compress(codec, &size, &key, frame.data(), b.size(), b.data());
        b.resize(size);
        out.push_back(std::move(b));
    }
    __mvCD_Destroy(codec);
    return out;
}

double meanSize(const std::vector<qt_tools::Bytes> &frames)
{
    double total = 0;
    for (const auto &f : frames)
        total += double(f.size());
    return total / double(frames.size());
}

void writeMovie(const Coder &coder, int w, int h, Content content,
                const std::vector<qt_tools::Bytes> &frames)
{
    const char *dir = std::getenv("CINELARK_BENCH_MOV_DIR");
    if (dir == nullptr)
        return;
    std::string path = std::string(dir) + "/" + (coder.depth == 16 ? "rpza" : "qtrle24") + "_" +
                       contentName(content) + "_" + std::to_string(w) + "x" + std::to_string(h) +
                       ".mov";
    const qt_tools::Bytes movie = qt_tools::quickTimeFile(coder.fourcc, w, h, coder.depth, frames);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(movie.data()), std::streamsize(movie.size()));
}

void bridgeDecode(benchmark::State &state, Coder coder, int w, int h, Content content)
{
    std::vector<qt_tools::Bytes> frames = encodeClip(coder, w, h, makeClip(w, h, content));
    writeMovie(coder, w, h, content, frames);
    MVcodec *codec = openCodec(coder, w, h);
    std::vector<uint32_t> out(size_t(w) * size_t(h));
    size_t i = 0;
    for (auto _ : state) {
        const qt_tools::Bytes &f = frames[i];
        __mvCD_Decompress(codec, f.size(), f.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        i = (i + 1) % frames.size();
    }
    __mvCD_Destroy(codec);
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes/frame"] = meanSize(frames);
}

void bareDecode(benchmark::State &state, Coder coder, int w, int h, Content content)
{
    std::vector<qt_tools::Bytes> frames = encodeClip(coder, w, h, makeClip(w, h, content));
    std::vector<uint32_t> out(size_t(w) * size_t(h));
    size_t i = 0;
    for (auto _ : state) {
        const qt_tools::Bytes &f = frames[i];
        if (coder.depth == 16)
            cinelark::playback::decodeRpza(out.data(), f.data(), f.size(), w / 4, h / 4, w);
        else
            cinelark::playback::decodeQtrle(out.data(), f.data(), f.size(), w, h, 24);
        benchmark::DoNotOptimize(out.data());
        i = (i + 1) % frames.size();
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes/frame"] = meanSize(frames);
}

void bridgeEncode(benchmark::State &state, Coder coder, int w, int h, Content content)
{
    std::vector<qt_tools::Picture> clip = makeClip(w, h, content);
    for (auto &p : clip)
        p = qt_tools::flipRows(p, w, h);
    MVcodec *codec = openCodec(coder, w, h);
    size_t bytes = 0;
    __mvCD_BufferSize(codec, &bytes);
    qt_tools::Bytes buffer(bytes);
    std::vector<uint32_t> frame(clip[0].size());
    size_t i = 0;
    double total = 0;
    for (auto _ : state) {
        // The bridge turns the frame it is given over, so each frame is
        // handed a fresh copy, as the movie library does.
        frame = clip[i];
        size_t size = 0;
        int key = 0;
        __mvCD_Compress(codec, &size, &key, frame.data(), buffer.size(), buffer.data());
        total += double(size);
        i = (i + 1) % clip.size();
    }
    __mvCD_Destroy(codec);
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes/frame"] = total / double(state.iterations());
}

const int registered = [] {
    for (const Coder *coder : {&kVideo, &kAnimation})
        for (auto [w, h] : {std::pair{320, 240}, std::pair{640, 480}})
            for (Content c : {Content::Natural, Content::Synthetic}) {
                std::string suffix = std::string(coder->depth == 16 ? "rpza" : "qtrle24") + "/" +
                                     std::to_string(w) + "x" + std::to_string(h) + "/" +
                                     contentName(c);
                benchmark::RegisterBenchmark(("decode/" + suffix).c_str(), bridgeDecode, *coder, w, h, c);
                benchmark::RegisterBenchmark(("decode_bare/" + suffix).c_str(), bareDecode, *coder, w, h, c);
                benchmark::RegisterBenchmark(("encode/" + suffix).c_str(), bridgeEncode, *coder, w, h, c);
            }
    return 0;
}();

}  // namespace
