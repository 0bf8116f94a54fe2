// A mapped X window with a GL visual, for tests that draw and read back.
#ifndef CINELARK_TESTS_KGL_X_WINDOW_H
#define CINELARK_TESTS_KGL_X_WINDOW_H

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include "kgl/kgl.h"

namespace kgltest {

// RGB words 0x00BBGGRR of a window area read through the X server, rows
// from the bottom up like lrectread, so both reads compare directly.
inline std::vector<uint32_t> serverPixels(Display *d, Window w, int x, int y, int width,
                                          int height, int windowHeight)
{
    std::vector<uint32_t> out;
    XImage *image = XGetImage(d, w, x, windowHeight - y - height, unsigned(width),
                              unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return out;
    auto channel = [](unsigned long pixel, unsigned long mask) {
        while (mask && !(mask & 1)) {
            mask >>= 1;
            pixel >>= 1;
        }
        return uint32_t(pixel & mask);
    };
    for (int row = height - 1; row >= 0; --row)
        for (int column = 0; column < width; ++column) {
            const unsigned long p = XGetPixel(image, column, row);
            out.push_back(channel(p, image->red_mask) | channel(p, image->green_mask) << 8 |
                          channel(p, image->blue_mask) << 16);
        }
    XDestroyImage(image);
    return out;
}

// Keeps the GL driver loaded past the last display's close, so the leak
// checker does not report its start-up blocks as lost from an unknown module.
inline void keepGLDriverLoaded()
{
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so"))
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD);
            return 0;
        },
        nullptr);
}

// Opens $DISPLAY, waiting out the moments when a busy test server turns
// connections away.
inline Display *openDisplay()
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (Display *d = XOpenDisplay(nullptr))
            return d;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

// The configuration the movie windows use: RGB, single-buffered. The
// caller frees it.
inline GLXconfig *rgbConfig(Display *d)
{
    const GLXconfig wanted[] = {{KGLX_NORMAL, KGLX_RGB, 1}, {KGLX_NORMAL, KGLX_DOUBLE, 0},
                                {0, 0, 0}};
    return GLXgetconfig(d, DefaultScreen(d), wanted);
}

// The argument of a configuration's entry for mode, 0 when it has none.
inline unsigned long configValue(const GLXconfig *config, int mode)
{
    for (const GLXconfig *e = config; e->buffer || e->mode; ++e)
        if (e->mode == mode)
            return e->arg;
    return 0;
}

class XWindow {
public:
    // x and y place the window within this program's own area of the screen.
    XWindow(Display *d, int width, int height, int x = 0, int y = 0)
        : display_(d), width_(width), height_(height)
    {
        x += areaX();
        y += areaY();
        GLXconfig *config = rgbConfig(d);
        if (!config)
            return;
        const VisualID id = configValue(config, KGLX_VISUAL);
        const Colormap colormap = configValue(config, KGLX_COLORMAP);
        std::free(config);
        XVisualInfo wantedInfo{};
        wantedInfo.visualid = id;
        int count = 0;
        XVisualInfo *info = XGetVisualInfo(d, VisualIDMask, &wantedInfo, &count);
        if (!info)
            return;
        XSetWindowAttributes a{};
        a.colormap = colormap;
        a.border_pixel = 0;
        a.background_pixel = 0;
        a.event_mask = ExposureMask | StructureNotifyMask;
        // Windows of other test programs may cover this one.
        a.backing_store = WhenMapped;
        window_ = XCreateWindow(d, DefaultRootWindow(d), x, y, unsigned(width),
                                unsigned(height), 0, info->depth, InputOutput, info->visual,
                                CWColormap | CWBorderPixel | CWBackPixel | CWEventMask |
                                    CWBackingStore,
                                &a);
        XFree(info);
        XMapWindow(d, window_);
        XEvent e;
        do
            XWindowEvent(d, window_, ExposureMask, &e);
        while (e.type != Expose);
    }
    ~XWindow()
    {
        if (window_) {
            GLXunlink(display_, window_);
            XDestroyWindow(display_, window_);
            XSync(display_, False);
        }
    }
    XWindow(const XWindow &) = delete;
    XWindow &operator=(const XWindow &) = delete;

    Window id() const { return window_; }

    // Destroys the X window behind the GL layer's back (no GLXunlink).
    void destroyBehindTheLayersBack()
    {
        XDestroyWindow(display_, window_);
        XSync(display_, False);
        window_ = 0;
    }

    // Binds GL in the calling thread with pixel-exact coordinates.
    bool bind() const
    {
        if (GLXwinset(display_, window_) != 0)
            return false;
        viewport(0, short(width_ - 1), 0, short(height_ - 1));
        ortho2(-0.5f, float(width_) - 0.5f, -0.5f, float(height_) - 0.5f);
        return true;
    }

    std::vector<uint32_t> server(int x, int y, int w, int h) const
    {
        XSync(display_, False);
        return serverPixels(display_, window_, x, y, w, h, height_);
    }

private:
    // Test programs share the display: each draws in a cell of the lower
    // screen picked by its process id, away from the others' windows.
    static int areaX() { return 100 + int(getpid() % 6) * 180; }
    static int areaY() { return 560 + int((getpid() / 6) % 4) * 110; }

    Display *display_;
    int width_, height_;
    Window window_ = 0;
};

}  // namespace kgltest

#endif
