// Painting speed of the GL layer: movie frames written with lrectwrite at
// the zooms the player offers, and rectangles read back with lrectread.
// Needs an X display with GLX ($DISPLAY); reports frames per second. The
// X image painter paints 640 x 480 frames into a window of its own, through
// shared memory and through plain requests.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "kgl/kgl.h"
#include "ximage_painter.h"

namespace {

const bool threadsReady = XInitThreads() != 0;

// One mapped window, big enough for a 320 x 240 frame at zoom 4.
struct Screen {
    Display *display = nullptr;
    Window window = 0;
    static constexpr int width = 1280, height = 960;

    Screen()
    {
        display = XOpenDisplay(nullptr);
        if (!display)
            return;
        const GLXconfig wanted[] = {{KGLX_NORMAL, KGLX_RGB, 1}, {0, 0, 0}};
        GLXconfig *config = GLXgetconfig(display, DefaultScreen(display), wanted);
        if (!config)
            return;
        XVisualInfo info{};
        Colormap colormap = 0;
        for (GLXconfig *e = config; e->buffer || e->mode; ++e) {
            if (e->mode == KGLX_VISUAL)
                info.visualid = e->arg;
            if (e->mode == KGLX_COLORMAP)
                colormap = e->arg;
        }
        std::free(config);
        int count = 0;
        XVisualInfo *visual = XGetVisualInfo(display, VisualIDMask, &info, &count);
        if (!visual)
            return;
        XSetWindowAttributes a{};
        a.colormap = colormap;
        a.event_mask = ExposureMask;
        window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0,
                               visual->depth, InputOutput, visual->visual,
                               CWColormap | CWEventMask, &a);
        XFree(visual);
        XMapWindow(display, window);
        XEvent e;
        XWindowEvent(display, window, ExposureMask, &e);
    }

    // paint: the CINELARK_PAINT the window's context is first made with.
    bool bind(const char *paint = "gl") const
    {
        setenv("CINELARK_PAINT", paint, 1);
        const bool bound = window && GLXwinset(display, window) == 0;
        unsetenv("CINELARK_PAINT");
        if (!bound)
            return false;
        viewport(0, width - 1, 0, height - 1);
        ortho2(-0.5f, width - 0.5f, -0.5f, height - 0.5f);
        return true;
    }
};

Screen &screen()
{
    static Screen s;
    return s;
}

// The X image painter's windows: one with shared memory, one without.
Screen &ximageScreen(bool sharedMemory)
{
    static Screen shm;
    static Screen plain;
    return sharedMemory ? shm : plain;
}

void WriteFrame(benchmark::State &state)
{
    const int zoom = int(state.range(0));
    constexpr int w = 320, h = 240;
    if (!threadsReady || !screen().bind()) {
        state.SkipWithError("no X display with GLX");
        return;
    }
    std::vector<uint32_t> frame(w * h);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uint32_t(i * 2654435761u) & 0xFFFFFFu;
    rectzoom(float(zoom), float(zoom));
    for (auto _ : state) {
        lrectwrite(0, 0, w - 1, h - 1, frame.data());
        gflush();
    }
    uint32_t sync = 0;
    lrectread(0, 0, 0, 0, &sync);  // wait for the last frame to land
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
    state.counters["Mpixel/s"] = benchmark::Counter(
        double(state.iterations()) * w * h * zoom * zoom / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(WriteFrame)->Arg(1)->Arg(2)->Arg(4)->UseRealTime();

void WriteFrameXImage(benchmark::State &state)
{
    const int zoom = int(state.range(0));
    const bool sharedMemory = state.range(1) != 0;
    constexpr int w = 640, h = 480;
    kgl::allowSharedMemory(sharedMemory);
    const bool bound = threadsReady && ximageScreen(sharedMemory).bind("ximage");
    kgl::allowSharedMemory(true);
    if (!bound || kglCurrentPainter() != (sharedMemory ? KGL_PAINTER_XSHM : KGL_PAINTER_XIMAGE)) {
        state.SkipWithError("no X display with the wanted X image painter");
        return;
    }
    std::vector<uint32_t> frame(w * h);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uint32_t(i * 2654435761u) & 0xFFFFFFu;
    rectzoom(float(zoom), float(zoom));
    for (auto _ : state) {
        lrectwrite(0, 0, w - 1, h - 1, frame.data());
        gflush();
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
    state.counters["Mpixel/s"] = benchmark::Counter(
        double(state.iterations()) * w * h * zoom * zoom / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(WriteFrameXImage)
    ->ArgNames({"zoom", "shm"})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 0})
    ->Args({2, 0})
    ->UseRealTime();

void ReadMarkerBlock(benchmark::State &state)
{
    if (!threadsReady || !screen().bind()) {
        state.SkipWithError("no X display with GLX");
        return;
    }
    std::vector<uint32_t> block(26 * 26);
    for (auto _ : state) {
        lrectread(100, 0, 125, 25, block.data());
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["reads/s"] = benchmark::Counter(double(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(ReadMarkerBlock)->UseRealTime();

}  // namespace
