// The choice of painter for a display: see painter.h.
#include "painter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <X11/Xlib.h>

namespace kgl {
namespace {

std::mutex lock;
std::vector<Display *> withoutGL;  // displays that gave up GL; guarded by lock

}  // namespace

PaintWish paintWish()
{
    const char *wish = std::getenv("CINELARK_PAINT");
    if (wish && std::strcmp(wish, "gl") == 0)
        return PaintWish::GL;
    if (wish && std::strcmp(wish, "ximage") == 0)
        return PaintWish::XImage;
    return PaintWish::Auto;
}

Painter painterFor(Display *display)
{
    switch (paintWish()) {
    case PaintWish::GL:
        return Painter::GL;
    case PaintWish::XImage:
        return Painter::XImage;
    case PaintWish::Auto:
        break;
    }
    {
        std::lock_guard<std::mutex> hold(lock);
        if (std::find(withoutGL.begin(), withoutGL.end(), display) != withoutGL.end())
            return Painter::XImage;
    }
    if (!hasGLX(display))
        return Painter::XImage;
    XVisualInfo *visual = chooseRGBVisual(display, DefaultScreen(display), false, 0);
    if (!visual)
        return Painter::XImage;
    XFree(visual);
    return Painter::GL;
}

bool giveUpGL(Display *display)
{
    if (paintWish() != PaintWish::Auto)
        return false;
    std::lock_guard<std::mutex> hold(lock);
    if (std::find(withoutGL.begin(), withoutGL.end(), display) == withoutGL.end())
        withoutGL.push_back(display);
    return true;
}

void forgetPainter(Display *display)
{
    std::lock_guard<std::mutex> hold(lock);
    std::erase(withoutGL, display);
}

}  // namespace kgl
