// A/V sync: a movie with sound played once at speed 1, whose every image
// frame and the first sample of that frame's sound carry the frame's number.
// For each frame it compares the time the frame was painted (its frame event
// arrives) with the time its marked sample left the port's ring (the device
// thread's output tap sees it), and reports the offset's mean and spread and
// how it moves from the first to the last part of the play: a positive
// offset means the picture comes after its sound. The offset must not drift.
//
// Needs $DISPLAY with GLX (Xvfb with Mesa will do). The movie lasts
// CINELARK_BENCH_SECONDS (default 60) at 15 frame/s with 22050 Hz mono
// sound. The sound goes to CINELARK_AUDIO, the null output when unset.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include <cinelark/movie.h>

#include "audiodev/device.h"
#include "kgl/kgl.h"

namespace {

using Clock = std::chrono::steady_clock;

const bool threadsReady = XInitThreads() != 0;

constexpr int kSide = 16;
constexpr double kImageRate = 15.0;
constexpr int kRate = 22050;
// A marker sample is kMarkBase + frame; every other sample is silence.
constexpr int kMarkBase = 1000;

double benchSeconds()
{
    const char *text = std::getenv("CINELARK_BENCH_SECONDS");
    const double s = text ? std::atof(text) : 60.0;
    return s > 0 ? s : 60.0;
}

// When each frame's marker left the ring, in nanoseconds of the steady
// clock; 0 until seen. Written by the device thread, read after the play.
struct Marks {
    explicit Marks(int frames) : left(size_t(frames)) {}
    std::vector<std::atomic<int64_t>> left;
};

void tap(void *context, const int16_t *samples, long frames, int channels, int rate)
{
    auto *marks = static_cast<Marks *>(context);
    const int64_t now = Clock::now().time_since_epoch().count();
    for (long i = 0; i < frames; i++) {
        const int f = samples[i * channels] - kMarkBase;
        if (f < 0 || size_t(f) >= marks->left.size())
            continue;
        // The run plays from now on at the device's rate.
        const int64_t at = now + int64_t(i) * 1000000000 / rate;
        int64_t unseen = 0;
        marks->left[size_t(f)].compare_exchange_strong(unseen, at);
    }
}

Window makeWindow(Display *display)
{
    const GLXconfig wanted[] = {{KGLX_NORMAL, KGLX_RGB, 1}, {0, 0, 0}};
    GLXconfig *granted = GLXgetconfig(display, DefaultScreen(display), wanted);
    if (!granted)
        return 0;
    XVisualInfo pattern{};
    Colormap colormap = 0;
    for (GLXconfig *c = granted; c->buffer || c->mode; c++) {
        if (c->mode == KGLX_VISUAL)
            pattern.visualid = VisualID(c->arg);
        if (c->mode == KGLX_COLORMAP)
            colormap = Colormap(c->arg);
    }
    free(granted);
    int count = 0;
    XVisualInfo *info = XGetVisualInfo(display, VisualIDMask, &pattern, &count);
    if (!info)
        return 0;
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    attributes.event_mask = StructureNotifyMask;
    const Window window = XCreateWindow(display, RootWindow(display, info->screen), 0, 0, kSide,
                                        kSide, 0, info->depth, InputOutput, info->visual,
                                        CWColormap | CWEventMask, &attributes);
    XFree(info);
    XMapWindow(display, window);
    XEvent event;
    do
        XWindowEvent(display, window, StructureNotifyMask, &event);
    while (event.type != MapNotify);
    return window;
}

// The movie in memory: frame f's picture is the grey f mod 256, its sound
// silence with the marker at the first sample the frame maps to.
MVid makeMovie(std::vector<uint8_t> &memory, int frames)
{
    MVid movie = 0, image = 0, audio = 0;
    DMparams *params = nullptr;
    dmParamsCreate(&params);
    mvSetMovieDefaults(params, MV_FORMAT_NATIVE_3);
    const bool created = mvCreateMem(memory.data(), memory.size(), params, nullptr, &movie) == 0;
    dmParamsDestroy(params);
    if (!created)
        return 0;
    dmParamsCreate(&params);
    dmSetImageDefaults(params, kSide, kSide, DM_PACKING_RGBX);
    dmParamsSetFloat(params, DM_IMAGE_RATE, kImageRate);
    bool ok = mvAddTrack(movie, DM_MEDIUM_IMAGE, params, nullptr, &image) == 0;
    dmParamsDestroy(params);
    dmParamsCreate(&params);
    dmSetAudioDefaults(params, 16, kRate, 1);
    ok = ok && mvAddTrack(movie, DM_MEDIUM_AUDIO, params, nullptr, &audio) == 0;
    dmParamsDestroy(params);
    const int sampleFrames = int(frames * (kRate / kImageRate));
    std::vector<uint32_t> pixels(size_t(kSide) * kSide * size_t(frames));
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = uint32_t(i / (kSide * kSide)) % 256 * 0x010101u;
    std::vector<int16_t> sound(size_t(sampleFrames), 0);
    ok = ok && mvInsertFrames(image, 0, frames, pixels.size() * 4, pixels.data()) == 0;
    // Where the engine will map each frame's start, as the movie library
    // maps between tracks.
    for (int f = 0; f < frames; f++) {
        const int first = int(std::floor(double(f) / kImageRate * kRate));
        if (first < sampleFrames)
            sound[size_t(first)] = int16_t(kMarkBase + f);
    }
    ok = ok && mvInsertFrames(audio, 0, sampleFrames, sound.size() * 2, sound.data()) == 0;
    if (!ok) {
        mvClose(movie);
        return 0;
    }
    return movie;
}

struct Stats {
    double mean = 0, spread = 0;
    size_t count = 0;
};

Stats stats(const std::vector<double> &v, size_t from, size_t to)
{
    Stats s;
    for (size_t i = from; i < to; i++)
        s.mean += v[i];
    s.count = to - from;
    if (s.count == 0)
        return s;
    s.mean /= double(s.count);
    for (size_t i = from; i < to; i++)
        s.spread += (v[i] - s.mean) * (v[i] - s.mean);
    s.spread = std::sqrt(s.spread / double(s.count));
    return s;
}

void BM_AudioVideoSync(benchmark::State &state)
{
    setenv("CINELARK_AUDIO", "null", 0);
    Display *display = threadsReady ? XOpenDisplay(nullptr) : nullptr;
    const Window window = display ? makeWindow(display) : 0;
    if (!window) {
        state.SkipWithError("needs $DISPLAY with GLX");
        return;
    }
    const int frames = int(benchSeconds() * kImageRate);
    std::vector<uint8_t> memory(size_t(frames) * (kSide * kSide * 4 + 2 * 1470 + 64) + (1 << 20));
    Marks marks(frames);
    std::vector<int64_t> painted(size_t(frames), 0);
    for (auto _ : state) {
        const MVid movie = makeMovie(memory, frames);
        int eventFD = -1;
        cinelark::audiodev::set_output_tap(tap, &marks);
        if (!movie || mvBindWindow(movie, display, window) != 0 || mvGetEventFD(&eventFD) != 0) {
            state.SkipWithError("cannot bind the movie");
            return;
        }
        mvSetSelectEvents(MV_EVENT_MASK_FRAME | MV_EVENT_MASK_STOP);
        mvSetPlayLoopMode(movie, MV_LOOP_ONCE);
        mvPlay(movie);
        for (bool stopped = false; !stopped;) {
            pollfd p{eventFD, POLLIN, 0};
            if (poll(&p, 1, 5000) != 1)
                break;
            const int64_t now = Clock::now().time_since_epoch().count();
            MVevent e;
            while (mvPendingEvents() > 0 && mvNextEvent(&e) == 0) {
                if (e.type == MV_EVENT_STOP)
                    stopped = true;
                else if (e.type == MV_EVENT_FRAME && e.frame >= 0 && e.frame < frames &&
                         painted[size_t(e.frame)] == 0)
                    painted[size_t(e.frame)] = now;
            }
        }
        mvClose(movie);
        cinelark::audiodev::set_output_tap(nullptr, nullptr);
    }
    // Offsets of the frames both painted and heard, in milliseconds, in
    // frame order.
    std::vector<double> offsets;
    std::vector<int> at;
    for (int f = 0; f < frames; f++) {
        const int64_t heard = marks.left[size_t(f)].load();
        if (painted[size_t(f)] && heard) {
            offsets.push_back(double(painted[size_t(f)] - heard) / 1e6);
            at.push_back(f);
        }
    }
    const Stats all = stats(offsets, 0, offsets.size());
    // The first and the last sixth of the play.
    const size_t sixth = offsets.size() / 6;
    const Stats early = stats(offsets, 0, sixth);
    const Stats late = stats(offsets, offsets.size() - sixth, offsets.size());
    // Least-squares slope of the offset against the play's time.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < offsets.size(); i++) {
        const double x = at[i] / kImageRate / 60.0;  // minutes
        sx += x, sy += offsets[i], sxx += x * x, sxy += x * offsets[i];
    }
    const double n = double(offsets.size());
    const double slope = n > 1 ? (n * sxy - sx * sy) / (n * sxx - sx * sx) : 0.0;
    state.counters["frames"] = frames;
    state.counters["painted"] = double(std::count_if(painted.begin(), painted.end(),
                                                     [](int64_t t) { return t != 0; }));
    state.counters["heard"] = double(std::count_if(marks.left.begin(), marks.left.end(),
                                                   [](const std::atomic<int64_t> &t) { return t.load() != 0; }));
    state.counters["matched"] = n;
    state.counters["offset_mean_ms"] = all.mean;
    state.counters["offset_spread_ms"] = all.spread;
    state.counters["first_sixth_mean_ms"] = early.mean;
    state.counters["last_sixth_mean_ms"] = late.mean;
    state.counters["drift_ms_per_min"] = slope;
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}

}  // namespace

BENCHMARK(BM_AudioVideoSync)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
