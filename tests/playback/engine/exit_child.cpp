// A program that leaves while a movie plays, without closing the movie, in
// the way its first argument names:
//
//   exit          std::exit(0) on the main thread
//   return        return 0 from main
//   close-exit    XCloseDisplay, then std::exit(0)
//   close-return  XCloseDisplay, then return 0 from main
//   thread-exit   std::exit(0) on a thread of the program's own
//
// With "sound" as its second argument the movie has a sound track as well.
//
// It binds a small movie to a window on $DISPLAY, plays it repeating with
// frame events selected, waits until a few frames have been painted and then
// leaves. The engine's own exit teardown must end every thread it runs and
// let the GL driver and Xlib go after it without a crash, whatever the order.
// The program prints nothing when it leaves normally; status 2 means it could
// not set up, which its caller reports as such.
#include <poll.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <cinelark/movie.h>

#include "kgl/kgl.h"
#include "kgl/x_window.h"

// Under ThreadSanitizer: the software GL driver synchronises its own worker
// threads in code the sanitizer cannot see, so its reports are not ours.
extern "C" const char *__tsan_default_suppressions()
{
    return "called_from_lib:swrast_dri.so\n"
           "called_from_lib:libLLVM-15.so.1\n"
           "race:swrast_dri.so\n"
           "race:libLLVM-15.so.1\n"
           "mutex:swrast_dri.so\n"
           "deadlock:swrast_dri.so\n"
           "deadlock:libLLVM-15.so.1\n"
           "deadlock:__register_frame_info_bases\n";
}

namespace {

constexpr int kWidth = 32, kHeight = 24, kFrames = 20;

// The movie's bytes outlive main: the engine reads frames from them until its
// exit teardown closes the movie.
std::vector<uint8_t> gMemory(size_t(kWidth) * kHeight * 4 * kFrames + (1 << 16));

int fail(const char *what)
{
    std::fprintf(stderr, "exit_child: %s\n", what);
    return 2;
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
    std::free(granted);
    int count = 0;
    XVisualInfo *info = XGetVisualInfo(display, VisualIDMask, &pattern, &count);
    if (!info)
        return 0;
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    attributes.event_mask = StructureNotifyMask;
    const Window window =
        XCreateWindow(display, RootWindow(display, info->screen), 0, 0, kWidth, kHeight, 0,
                      info->depth, InputOutput, info->visual, CWColormap | CWEventMask,
                      &attributes);
    XFree(info);
    XMapWindow(display, window);
    XEvent event;
    do
        XWindowEvent(display, window, StructureNotifyMask, &event);
    while (event.type != MapNotify);
    return window;
}

// Sound for the whole movie (quiet, 16-bit stereo), so that its audio thread
// paces it and an audio port is open when the program leaves.
bool addSound(MVid movie)
{
    constexpr int kRate = 22050;
    DMparams *params = nullptr;
    dmParamsCreate(&params);
    dmSetAudioDefaults(params, 16, kRate, 2);
    MVid audio = 0;
    const int added = mvAddTrack(movie, DM_MEDIUM_AUDIO, params, nullptr, &audio);
    dmParamsDestroy(params);
    const int sampleFrames = kFrames * kRate / 100;
    std::vector<int16_t> samples(size_t(sampleFrames) * 2, 16);
    return added == 0 &&
           mvInsertFrames(audio, 0, sampleFrames, samples.size() * 2, samples.data()) == 0;
}

MVid makeMovie(bool withSound)
{
    DMparams *params = nullptr;
    dmParamsCreate(&params);
    mvSetMovieDefaults(params, MV_FORMAT_NATIVE_3);
    MVid movie = 0;
    const int created = mvCreateMem(gMemory.data(), gMemory.size(), params, nullptr, &movie);
    dmParamsDestroy(params);
    if (created != 0)
        return 0;
    DMparams *image = nullptr;
    dmParamsCreate(&image);
    dmSetImageDefaults(image, kWidth, kHeight, DM_PACKING_RGBX);
    dmParamsSetFloat(image, DM_IMAGE_RATE, 100.0);
    MVid track = 0;
    const int added = mvAddTrack(movie, DM_MEDIUM_IMAGE, image, nullptr, &track);
    dmParamsDestroy(image);
    if (added != 0)
        return 0;
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight * kFrames);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = uint32_t(i * 2654435761u) & 0xffffff;
    if (mvInsertFrames(track, 0, kFrames, pixels.size() * 4, pixels.data()) != 0)
        return 0;
    return !withSound || addSound(movie) ? movie : 0;
}

// Waits until the engine has painted a few frames, so that its threads are
// busy drawing when the program leaves.
bool waitForFrames(int wanted)
{
    int fd = -1;
    if (mvGetEventFD(&fd) != 0)
        return false;
    for (int seen = 0; seen < wanted;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10000) != 1)
            return false;
        MVevent event;
        while (mvPendingEvents() > 0 && mvNextEvent(&event) == 0)
            seen += event.type == MV_EVENT_FRAME;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "sound") != 0))
        return fail("usage: exit_child exit|return|close-exit|close-return|thread-exit [sound]");
    const char *mode = argv[1];
    if (!XInitThreads())
        return fail("no Xlib threads");
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return fail("no display");
    const Window window = makeWindow(display);
    const MVid movie = makeMovie(argc == 3);
    if (!window || !movie)
        return fail("no window or movie");
    mvSetSelectEvents(MV_EVENT_MASK_FRAME | MV_EVENT_MASK_STOP | MV_EVENT_MASK_ERROR);
    if (mvBindWindow(movie, display, window) != 0 ||
        mvSetPlayLoopMode(movie, MV_LOOP_REPEAT) != 0 || mvSetPlaySpeed(movie, 4.0) != 0 ||
        mvPlay(movie) != 0)
        return fail(mvGetErrorStr(mvGetErrno()));
    if (!waitForFrames(5))
        return fail("no frames painted");
    // The leak checker would otherwise blame the GL driver's own blocks on
    // the display's close (see the helper).
    kgltest::keepGLDriverLoaded();

    if (std::strncmp(mode, "close-", 6) == 0) {
        XCloseDisplay(display);
        mode += 6;
    }
    if (std::strcmp(mode, "exit") == 0)
        std::exit(0);
    if (std::strcmp(mode, "thread-exit") == 0) {
        std::thread([] { std::exit(0); }).join();
        return fail("exit returned");
    }
    if (std::strcmp(mode, "return") == 0)
        return 0;
    return fail("unknown mode");
}
