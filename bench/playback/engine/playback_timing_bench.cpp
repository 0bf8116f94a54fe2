// Playback timing: a silent 30 frame/s movie played into an X window for a
// fixed time at speeds 0.5, 1 and 2, reporting the frames shown per second,
// the spread of the intervals between shown frames (jitter) and the process
// CPU time per shown frame; and the timer's drift over 10 s at speed 1,
// which should be within one frame of 300 frames.
//
// Needs $DISPLAY with GLX (Xvfb with Mesa will do). The playing time of the
// speed runs is CINELARK_BENCH_SECONDS (default 3).
#include <benchmark/benchmark.h>

#include <poll.h>
#include <sys/resource.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include <cinelark/movie.h>

#include "kgl/kgl.h"

namespace {

using Clock = std::chrono::steady_clock;

const bool threadsReady = XInitThreads() != 0;

constexpr int kWidth = 64, kHeight = 48, kFrames = 90;

struct Stage {
    Display *display = nullptr;
    Window window = 0;
    std::vector<uint8_t> memory;
    MVid movie = 0;
    bool ready = false;

    Stage() : memory(size_t(kWidth) * kHeight * 4 * kFrames + (1 << 16))
    {
        display = threadsReady ? XOpenDisplay(nullptr) : nullptr;
        if (!display)
            return;
        const GLXconfig wanted[] = {{KGLX_NORMAL, KGLX_RGB, 1}, {0, 0, 0}};
        GLXconfig *granted = GLXgetconfig(display, DefaultScreen(display), wanted);
        if (!granted)
            return;
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
            return;
        XSetWindowAttributes attributes{};
        attributes.colormap = colormap;
        attributes.event_mask = StructureNotifyMask;
        window = XCreateWindow(display, RootWindow(display, info->screen), 0, 0, kWidth, kHeight,
                               0, info->depth, InputOutput, info->visual,
                               CWColormap | CWEventMask, &attributes);
        XFree(info);
        XMapWindow(display, window);
        XEvent event;
        do
            XWindowEvent(display, window, StructureNotifyMask, &event);
        while (event.type != MapNotify);

        DMparams *params = nullptr;
        dmParamsCreate(&params);
        mvSetMovieDefaults(params, MV_FORMAT_NATIVE_3);
        const int created = mvCreateMem(memory.data(), memory.size(), params, nullptr, &movie);
        dmParamsDestroy(params);
        if (created != 0)
            return;
        DMparams *image = nullptr;
        dmParamsCreate(&image);
        dmSetImageDefaults(image, kWidth, kHeight, DM_PACKING_RGBX);
        dmParamsSetFloat(image, DM_IMAGE_RATE, 30.0);
        MVid track = 0;
        const int added = mvAddTrack(movie, DM_MEDIUM_IMAGE, image, nullptr, &track);
        dmParamsDestroy(image);
        if (added != 0)
            return;
        std::vector<uint32_t> pixels(size_t(kWidth) * kHeight * kFrames);
        for (size_t i = 0; i < pixels.size(); i++)
            pixels[i] = uint32_t(i * 2654435761u) & 0xffffff;
        if (mvInsertFrames(track, 0, kFrames, pixels.size() * 4, pixels.data()) != 0)
            return;
        ready = mvBindWindow(movie, display, window) == 0 &&
                mvSetPlayLoopMode(movie, MV_LOOP_REPEAT) == 0;
        // The software GL driver compiles its pixel-drawing code at the
        // first paint, which would show as one long interval in the first
        // run measured.
        if (ready)
            ready = mvShowCurrentFrame(movie) == 0;
    }
};

Stage &stage()
{
    static Stage s;
    return s;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double benchSeconds()
{
    const char *text = std::getenv("CINELARK_BENCH_SECONDS");
    const double s = text ? std::atof(text) : 3.0;
    return s > 0 ? s : 3.0;
}

// Plays for the given time and gathers the frame events' arrival times.
std::vector<double> playFor(MVid movie, double seconds)
{
    int fd = -1;
    mvGetEventFD(&fd);
    MVevent event;
    while (mvPendingEvents() > 0)
        mvNextEvent(&event);
    std::vector<double> arrivals;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    mvPlay(movie);
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (poll(&p, 1, int(left.count()) + 1) != 1)
            continue;
        const double at = std::chrono::duration<double>(Clock::now() - start).count();
        while (mvPendingEvents() > 0 && mvNextEvent(&event) == 0)
            if (event.type == MV_EVENT_FRAME)
                arrivals.push_back(at);
    }
    mvStop(movie);
    return arrivals;
}

void BM_PlaybackAtSpeed(benchmark::State &state)
{
    Stage &s = stage();
    if (!s.ready) {
        state.SkipWithError("no display with GLX");
        return;
    }
    const double speed = double(state.range(0)) / 100.0;
    mvSetPlaySpeed(s.movie, speed);
    mvSetSelectEvents(MV_EVENT_MASK_FRAME | MV_EVENT_MASK_STOP);
    const double seconds = benchSeconds();
    double shown = 0, jitter = 0, cpuPerFrame = 0;
    for (auto _ : state) {
        const double cpu0 = cpuSeconds();
        const std::vector<double> arrivals = playFor(s.movie, seconds);
        const double cpu = cpuSeconds() - cpu0;
        shown = double(arrivals.size()) / seconds;
        double sum = 0, sumSquares = 0;
        for (size_t i = 1; i < arrivals.size(); i++) {
            const double d = arrivals[i] - arrivals[i - 1];
            sum += d;
            sumSquares += d * d;
        }
        const double n = arrivals.size() > 1 ? double(arrivals.size() - 1) : 1.0;
        const double mean = sum / n;
        jitter = std::sqrt(std::max(0.0, sumSquares / n - mean * mean));
        cpuPerFrame = arrivals.empty() ? 0 : cpu / double(arrivals.size());
        state.SetIterationTime(seconds);
    }
    state.counters["shown_fps"] = shown;
    state.counters["wanted_fps"] = 30.0 * speed;
    state.counters["jitter_ms"] = jitter * 1000.0;
    state.counters["cpu_us_per_frame"] = cpuPerFrame * 1e6;
}
BENCHMARK(BM_PlaybackAtSpeed)->Arg(50)->Arg(100)->Arg(200)->Iterations(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The current frame's advance over 10 s at speed 1 against the 300 frames the
// wall clock asks for.
void BM_TimerDrift(benchmark::State &state)
{
    Stage &s = stage();
    if (!s.ready) {
        state.SkipWithError("no display with GLX");
        return;
    }
    mvSetPlaySpeed(s.movie, 1.0);
    mvSetSelectEvents(MV_EVENT_MASK_STOP);
    double advance = 0, expected = 0;
    for (auto _ : state) {
        mvSetCurrentFrame(s.movie, 0);
        mvPlay(s.movie);
        const auto t0 = Clock::now();
        long passes = 0;
        int last = mvGetCurrentFrame(s.movie);
        const int first = last;
        while (Clock::now() - t0 < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const int now = mvGetCurrentFrame(s.movie);
            if (now < last)
                passes++;
            last = now;
        }
        const int end = mvGetCurrentFrame(s.movie);
        const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
        mvStop(s.movie);
        advance = double(passes * kFrames + end - first);
        expected = elapsed * 30.0;
        state.SetIterationTime(elapsed);
    }
    state.counters["frames_advanced"] = advance;
    state.counters["frames_wanted"] = expected;
    state.counters["drift_frames"] = advance - expected;
}
BENCHMARK(BM_TimerDrift)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
