// Inquiries about the display (getgdesc) and the choice of a visual for a
// wanted configuration (GLXgetconfig).
//
// RGB mode means a visual the display's painter can draw RGB colour in: a
// GLX visual with RGBA colour for the GL painter, a TrueColor visual for the
// X image painter (which serves displays without GLX). A display with
// neither has no RGB mode, which the engine checks before it binds a window.
#include <GL/gl.h>
#include <GL/glx.h>

#include <bit>
#include <cstdlib>
#include <vector>

#include "error_trap.h"
#include "open_display.h"
#include "painter.h"
#include "ximage_painter.h"
#include "kgl/kgl.h"

namespace kgl {

bool hasGLX(Display *display)
{
    int errorBase = 0, eventBase = 0;
    return glXQueryExtension(display, &errorBase, &eventBase);
}

XVisualInfo *chooseRGBVisual(Display *display, int screen, bool doubleBuffer, int depthBits)
{
    std::vector<int> attributes = {GLX_RGBA, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1,
                                   GLX_BLUE_SIZE, 1};
    if (doubleBuffer)
        attributes.push_back(GLX_DOUBLEBUFFER);
    if (depthBits > 0) {
        attributes.push_back(GLX_DEPTH_SIZE);
        attributes.push_back(depthBits);
    }
    attributes.push_back(None);
    kgl::ErrorTrap trap(display);
    XVisualInfo *info = glXChooseVisual(display, screen, attributes.data());
    if (trap.failed() && info) {
        XFree(info);
        return nullptr;
    }
    return info;
}

}  // namespace kgl

namespace {

using kgl::chooseRGBVisual;
using kgl::hasGLX;

// The screen's default visual when the X image painter can draw in it,
// else null; the caller frees the answer with XFree.
XVisualInfo *defaultRGBVisual(Display *display, int screen)
{
    kgl::PixelFormat format;
    Visual *visual = DefaultVisual(display, screen);
    if (!kgl::PixelFormat::of(display, visual, DefaultDepth(display, screen), format))
        return nullptr;
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(visual);
    wanted.screen = screen;
    int count = 0;
    return XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
}

// The answer of an RGB inquiry for the X image painter: the red bits of the
// default visual; no double buffer, no depth buffer.
long ximageDesc(Display *display, long inquiry)
{
    XVisualInfo *info = defaultRGBVisual(display, DefaultScreen(display));
    if (!info)
        return inquiry == KGL_GD_BITS_RGB ? 0 : -1;
    const long bits = std::popcount(info->red_mask);
    XFree(info);
    return inquiry == KGL_GD_BITS_RGB ? bits : 0;
}

// A colormap for windows of visual: the screen's own when the visual is the
// default, otherwise a new one. The server frees it with the connection;
// the caller may free it sooner with XFreeColormap once its windows are gone.
Colormap colormapFor(Display *display, int screen, Visual *visual)
{
    if (visual == DefaultVisual(display, screen))
        return DefaultColormap(display, screen);
    return XCreateColormap(display, RootWindow(display, screen), visual, AllocNone);
}

int visualValue(Display *display, XVisualInfo *info, int attribute)
{
    int value = 0;
    return glXGetConfig(display, info, attribute, &value) == 0 ? value : 0;
}

}  // namespace

extern "C" long kglGetDesc(Display *display, long inquiry)
{
    try {
        if (!display)
            return inquiry == KGL_GD_BITS_RGB ? 0 : -1;
        const int screen = DefaultScreen(display);
        switch (inquiry) {
        case KGL_GD_XPMAX:
            return DisplayWidth(display, screen);
        case KGL_GD_YPMAX:
            return DisplayHeight(display, screen);
        case KGL_GD_BITS_RGB:
        case KGL_GD_DBLBUF:
        case KGL_GD_ZBITS: {
            if (kgl::painterFor(display) == kgl::Painter::XImage)
                return ximageDesc(display, inquiry);
            if (!hasGLX(display))
                return inquiry == KGL_GD_BITS_RGB ? 0 : -1;
            const bool wantDouble = inquiry == KGL_GD_DBLBUF;
            const int wantDepth = inquiry == KGL_GD_ZBITS ? 1 : 0;
            XVisualInfo *info = chooseRGBVisual(display, screen, wantDouble, wantDepth);
            long answer = 0;
            if (info) {
                if (inquiry == KGL_GD_BITS_RGB)
                    answer = visualValue(display, info, GLX_RED_SIZE);
                else if (inquiry == KGL_GD_DBLBUF)
                    answer = 1;
                else
                    answer = visualValue(display, info, GLX_DEPTH_SIZE);
                XFree(info);
            }
            return answer;
        }
        default:
            return -1;
        }
    } catch (...) {
        return -1;
    }
}

extern "C" long getgdesc(long inquiry)
{
    // A connection of our own: the question may come before, or apart from,
    // the application's connection, and answering must not disturb it.
    Display *display = kgl::openDisplay();
    const long answer = kglGetDesc(display, inquiry);
    if (display)
        XCloseDisplay(display);
    return answer;
}

extern "C" GLXconfig *GLXgetconfig(Display *display, int screen, const GLXconfig *wanted)
{
    try {
        if (!display || !wanted || screen < 0 || screen >= ScreenCount(display))
            return nullptr;
        bool rgb = false, doubleBuffer = false;
        int depthBits = 0;
        for (const GLXconfig *e = wanted; e->buffer != 0 || e->mode != 0; ++e) {
            if (e->buffer != KGLX_NORMAL)
                return nullptr;  // overlay, popup and underlay planes do not exist here
            if (e->mode == KGLX_RGB)
                rgb = e->arg != 0;
            else if (e->mode == KGLX_DOUBLE)
                doubleBuffer = e->arg != 0;
            else if (e->mode == KGLX_ZSIZE)
                depthBits = int(e->arg);
        }
        // Colour-index windows are not offered: everything here draws RGB.
        if (!rgb)
            return nullptr;
        // X images are drawn in the screen's default visual, single-buffered
        // and without depth; GL gets the GLX visual that fits best.
        const bool ximage = kgl::painterFor(display) == kgl::Painter::XImage;
        if (!ximage && !hasGLX(display))
            return nullptr;
        XVisualInfo *info = ximage ? defaultRGBVisual(display, screen)
                                   : chooseRGBVisual(display, screen, doubleBuffer, depthBits);
        if (!info)
            return nullptr;
        auto grantedValue = [&](int attribute) {
            return ximage ? 0u : unsigned(visualValue(display, info, attribute));
        };

        std::vector<GLXconfig> answer;
        for (const GLXconfig *e = wanted; e->buffer != 0 || e->mode != 0; ++e) {
            GLXconfig granted = *e;
            if (e->mode == KGLX_DOUBLE)
                granted.arg = grantedValue(GLX_DOUBLEBUFFER);
            else if (e->mode == KGLX_ZSIZE)
                granted.arg = grantedValue(GLX_DEPTH_SIZE);
            if (e->mode != KGLX_VISUAL && e->mode != KGLX_COLORMAP && e->mode != KGLX_WINDOW)
                answer.push_back(granted);
        }
        const Colormap colormap = colormapFor(display, screen, info->visual);
        answer.push_back({KGLX_NORMAL, KGLX_VISUAL, info->visualid});
        answer.push_back({KGLX_NORMAL, KGLX_COLORMAP, colormap});
        answer.push_back({KGLX_NORMAL, KGLX_WINDOW, 0});
        answer.push_back({0, 0, 0});
        XFree(info);

        auto *list = static_cast<GLXconfig *>(std::malloc(answer.size() * sizeof(GLXconfig)));
        if (!list)
            return nullptr;
        for (size_t i = 0; i < answer.size(); ++i)
            list[i] = answer[i];
        return list;
    } catch (...) {
        return nullptr;
    }
}
