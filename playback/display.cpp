// Display: painting a movie's frame and the background around it, the view's
// zoom and origin, window resizing, the frame-display switch and the GL lock.
//
// Window coordinates have their origin at the bottom-left pixel. The frame is
// centred in the view and enlarged by a whole-number zoom that fits the view
// (never shrunk, so a view smaller than the picture crops it); the bands of
// the view that the picture leaves uncovered get the background colour.
//
// All painting runs on the main playback thread, through that thread's own
// GL context for each window. Frames are painted under the GL lock, which
// orders them against the application's own drawing in the same window;
// backgrounds and the resize step draw without it.
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>

#include "engine.h"
#include "kgl/kgl.h"

using namespace cinelark::playback;

namespace {

std::atomic<int32_t> gFrameDisplayFlag{1};

// Made before main, so that it outlives the engine's exit handler: a static
// made on first use after the handler was registered would be destroyed
// before the handler stops the thread that paints.
Semaphore gGLLock{1};

Semaphore &glLock() { return gGLLock; }

// Directs this thread's drawing to the movie's window; the first time, the
// context gets the usual pixel-centred projection for the window's size.
bool useWindow(MVplayback *object)
{
    if (!object->display || GLXwinset(object->display, object->window) != 0)
        return false;
    if (!object->projectionSet) {
        const int w = object->windowWidth, h = object->windowHeight;
        viewport(0, short(w - 1), 0, short(h - 1));
        ortho2(-0.5f, float(w) - 0.5f, -0.5f, float(h) - 0.5f);
        object->projectionSet = true;
    }
    return true;
}

// The GL driver sets up some of its process-wide state, with exit handlers of
// its own, at the first drawing. The engine's exit handler is registered
// again after it so that it runs first and stops this thread's painting
// before that state goes.
void afterDrawing()
{
    static std::atomic<bool> registered{false};
    if (!registered.exchange(true))
        __mvPB_RegisterExitHandler();
}

void updateOrigin(MVplayback *object)
{
    __mvPBapi_CalcActualOrigin(object, object->viewX, object->viewY, &object->originX,
                               &object->originY);
}

}  // namespace

void __mvPBmain_PrepareWindow(MVplayback *object) { useWindow(object); }

int __mvPB_InitGLLock()
{
    glLock();
    return 0;
}

// The lock lives as long as the process: the application may still hold it
// while the engine is torn down at exit.
void __mvPB_DestroyGLLock() {}

double __mvPBapi_CalcZoom(const MVplayback *object, double viewWidth, double viewHeight)
{
    double z = std::min(viewWidth / object->width, viewHeight / object->height);
    if (z < 1.0)
        z = 1.0;
    return std::trunc(z);
}

void __mvPBapi_CalcActualOrigin(const MVplayback *object, int32_t x, int32_t y, int16_t *originX,
                                int16_t *originY)
{
    *originX = int16_t((object->viewWidth >> 1) + x - (object->shownWidth >> 1));
    *originY = int16_t((object->viewHeight >> 1) + y - (object->shownHeight >> 1));
}

void __mvPBmain_SetViewOffset(MVplayback *object, int32_t x, int32_t y)
{
    object->viewX = int16_t(x);
    object->viewY = int16_t(y);
    updateOrigin(object);
    __mvPBmain_Paint(object);
}

void __mvPBmain_SetViewSize(MVplayback *object, int32_t width, int32_t height)
{
    object->viewWidth = uint16_t(width);
    object->viewHeight = uint16_t(height);
    object->zoom = __mvPBapi_CalcZoom(object, object->viewWidth, object->viewHeight);
    object->shownWidth = uint16_t(std::trunc(object->width * object->zoom));
    object->shownHeight = uint16_t(std::trunc(object->height * object->zoom));
    updateOrigin(object);
    __mvPBmain_Paint(object);
}

void __mvPBmain_SetViewBackground(MVplayback *object, uint16_t r, uint16_t g, uint16_t b)
{
    object->backgroundRed = r;
    object->backgroundGreen = g;
    object->backgroundBlue = b;
    __mvPBmain_Paint(object);
}

void __mvPBmain_Paint(MVplayback *object)
{
    __mvPBmain_PaintBackground(object);
    const int32_t flag = gFrameDisplayFlag.load();
    if (object->playing.load() && flag)
        return;  // the next played frame repaints the picture
    gFrameDisplayFlag = 1;
    __mvPBmain_PaintFrame(object);
    gFrameDisplayFlag = flag;
}

void __mvPBmain_PaintBackground(MVplayback *object)
{
    if (!useWindow(object))
        return;
    const int vx = object->viewX, vy = object->viewY;
    const int ox = object->originX, oy = object->originY;
    const int right = object->viewWidth + vx - 1;
    const int top = object->viewHeight + vy - 1;
    const int imageRight = object->shownWidth + ox - 1;
    const int imageTop = object->shownHeight + oy - 1;
    RGBcolor(short(object->backgroundRed), short(object->backgroundGreen),
             short(object->backgroundBlue));
    if (ox - vx > 0)
        sboxfi(vx, vy, ox, top);
    if (right - imageRight > 0)
        sboxfi(imageRight, vy, right, top);
    if (top - imageTop > 0)
        sboxfi(vx, imageTop, right, top);
    if (oy - vy >= 1)
        sboxfi(vx, vy, right, oy);
    gflush();
    afterDrawing();
}

void __mvPBmain_PaintFrame(MVplayback *object)
{
    if (!gFrameDisplayFlag.load() || !object->videoBuffer)
        return;
    glLock().P();
    {
        std::lock_guard<std::mutex> hold(object->videoLock);
        if (useWindow(object)) {
            const float zoom = float(object->zoom);
            rectzoom(zoom, zoom);
            const int16_t x = object->originX, y = object->originY;
            lrectwrite(x, y, int16_t(x + object->width - 1), int16_t(y + object->height - 1),
                       object->videoBuffer);
            gflush();
            afterDrawing();
        }
    }
    glLock().V();
}

void __mvPBmain_ResizeWindow(Display *display, Window window)
{
    if (!display)
        return;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return;
    const int w = attributes.width, h = attributes.height;
    if (GLXwinset(display, window) != 0)
        return;
    viewport(0, short(w - 1), 0, short(h - 1));
    ortho2(-0.5f, float(w) - 0.5f, -0.5f, float(h) - 0.5f);
    for (MVplayback *object = __mvPB_GetPlaybackList()->next; object; object = object->next) {
        if (object->display != display || object->window != window)
            continue;
        object->projectionSet = true;
        object->windowWidth = uint16_t(w);
        object->windowHeight = uint16_t(h);
        __mvPBmain_PaintBackground(object);
    }
}

extern "C" void mvSetFrameDisplay(int flag) { gFrameDisplayFlag.store(flag); }

extern "C" int mvGetFrameDisplay(void) { return gFrameDisplayFlag.load(); }

extern "C" void mvGrabKelvoGL(void) { glLock().P(); }

extern "C" void mvReleaseKelvoGL(void) { glLock().V(); }
