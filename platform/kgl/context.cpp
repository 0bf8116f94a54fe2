// GLXwinset and the registry of contexts, one per (thread, display, window).
//
// A GLX context is current in one thread at a time, and the engine's
// playback thread and the application thread both draw into the movie
// window, so each thread gets a context of its own for each window it draws
// into. The contexts are created for the window's own visual (read from the
// server), which is what lets a window made by any means be drawn into.
//
// All contexts of a window draw through one GLX window object made for it
// once. GL keeps the picture of a single-buffered window in a buffer of the
// drawable; bound by its plain X id, that drawable lives only while some
// context is bound to it, and a new one starts from an empty picture, so a
// thread would put back a stale or empty picture over what the other thread
// drew. The GLX window keeps one drawable, and one picture, for as long as
// the window is linked.
#include "context.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include <X11/Xlibint.h>

#include "error_trap.h"
#include "painter.h"
#include "kgl/kgl.h"

namespace kgl {
namespace {

std::mutex registryLock;
std::vector<std::unique_ptr<Context>> registry;   // guarded by registryLock
std::vector<std::unique_ptr<Context>> graveyard;  // unlinked, owner not told yet; guarded too

// The GLX window object of each linked X window, made by the first thread
// that binds the window and destroyed by GLXunlink.
struct Surface {
    Display *display;
    Window window;
    GLXWindow surface;
    GLXFBConfig config;
};
std::mutex surfaceLock;
std::vector<Surface> surfaces;  // guarded by surfaceLock

// The frame-buffer configuration of visual id that RGB windows can use.
GLXFBConfig configOfVisual(Display *display, int screen, VisualID id)
{
    int count = 0;
    GLXFBConfig *configs = glXGetFBConfigs(display, screen, &count);
    GLXFBConfig found = nullptr;
    for (int i = 0; configs && i < count && !found; ++i) {
        int visual = 0, render = 0, drawable = 0;
        glXGetFBConfigAttrib(display, configs[i], GLX_VISUAL_ID, &visual);
        glXGetFBConfigAttrib(display, configs[i], GLX_RENDER_TYPE, &render);
        glXGetFBConfigAttrib(display, configs[i], GLX_DRAWABLE_TYPE, &drawable);
        if (VisualID(visual) == id && (render & GLX_RGBA_BIT) && (drawable & GLX_WINDOW_BIT))
            found = configs[i];
    }
    if (configs)
        XFree(configs);
    return found;
}

// The window's surface, made on first use; false when GLX cannot draw in it.
bool surfaceFor(Display *display, Window window, const XWindowAttributes &attributes,
                Surface &out)
{
    std::lock_guard<std::mutex> hold(surfaceLock);
    for (const Surface &s : surfaces)
        if (s.display == display && s.window == window) {
            out = s;
            return true;
        }
    const int screen = XScreenNumberOfScreen(attributes.screen);
    GLXFBConfig config = configOfVisual(display, screen, XVisualIDFromVisual(attributes.visual));
    if (!config)
        return false;
    ErrorTrap trap(display);
    GLXWindow surface = glXCreateWindow(display, config, window, nullptr);
    if (!surface || trap.failed())
        return false;
    watchDrawable(display, surface);
    out = Surface{display, window, surface, config};
    surfaces.push_back(out);
    return true;
}

// Forgets the window's surface and destroys it.
void dropSurface(Display *display, Window window)
{
    std::lock_guard<std::mutex> hold(surfaceLock);
    auto at = std::find_if(surfaces.begin(), surfaces.end(), [&](const Surface &s) {
        return s.display == display && s.window == window;
    });
    if (at == surfaces.end())
        return;
    ErrorTrap trap(display);
    glXDestroyWindow(display, at->surface);
    surfaces.erase(at);
}

thread_local Context *threadCurrent = nullptr;

// Displays with a close hook of this layer, and the handlers registered for
// each. A display leaves the list when it is closed, so that a connection
// opened later at the same address is watched afresh.
struct DisplayWatch {
    Display *display;
    std::vector<void (*)(Display *)> handlers;
};
std::mutex watchLock;
std::vector<DisplayWatch> watches;  // guarded by watchLock

// The close hook: Xlib calls it from XCloseDisplay on the closing thread,
// while the connection still works and without holding the display's lock,
// so the handlers may wait for other threads that use the display.
int closeDisplay(Display *display, XExtCodes *)
{
    std::vector<void (*)(Display *)> handlers;
    {
        std::lock_guard<std::mutex> hold(watchLock);
        auto at = std::find_if(watches.begin(), watches.end(),
                               [display](const DisplayWatch &w) { return w.display == display; });
        if (at != watches.end()) {
            handlers = std::move(at->handlers);
            watches.erase(at);
        }
    }
    for (auto handler : handlers)
        handler(display);
    kglReleaseDisplay(display);

    // Contexts of threads that did not let go cannot be unbound from here;
    // they are forgotten, and their threads' drawing calls do nothing.
    {
        std::lock_guard<std::mutex> hold(registryLock);
        auto keep = std::stable_partition(registry.begin(), registry.end(),
            [display](const std::unique_ptr<Context> &c) { return c->display != display; });
        for (auto at = keep; at != registry.end(); ++at) {
            (*at)->orphaned.store(true, std::memory_order_release);
            (*at)->dead.store(true, std::memory_order_release);
            graveyard.push_back(std::move(*at));
        }
        registry.erase(keep, registry.end());
        for (auto &c : graveyard)
            if (c->display == display)
                c->orphaned.store(true, std::memory_order_release);
    }
    {
        // The windows may be gone already; their GLX windows go quietly.
        ErrorTrap trap(display);
        std::lock_guard<std::mutex> hold(surfaceLock);
        std::erase_if(surfaces, [display](const Surface &s) {
            if (s.display != display)
                return false;
            glXDestroyWindow(display, s.surface);
            return true;
        });
    }
    forgetDisplay(display);
    forgetPainter(display);
    return 0;
}

// Puts the close hook on a display once; false when Xlib refuses.
bool watchDisplay(Display *display)
{
    std::lock_guard<std::mutex> hold(watchLock);
    for (const DisplayWatch &w : watches)
        if (w.display == display)
            return true;
    // GLX hooks the display's closing at its first use; asking for it now
    // puts GLX's hook in first, and Xlib runs the hooks newest first, so
    // this layer lets go of its contexts before GLX takes its own state down.
    int ignore = 0;
    glXQueryExtension(display, &ignore, &ignore);
    XExtCodes *codes = XAddExtension(display);
    if (!codes)
        return false;
    XESetCloseDisplay(display, codes->extension, closeDisplay);
    watches.push_back(DisplayWatch{display, {}});
    return true;
}

// A GL context for window in the calling thread; null when GLX cannot draw
// in it.
std::unique_ptr<Context> makeGLContext(Display *display, Window window,
                                       const XWindowAttributes &attributes)
{
    ErrorTrap trap(display);
    int ignore = 0;
    if (!glXQueryExtension(display, &ignore, &ignore))
        return nullptr;
    Surface surface{};
    if (!surfaceFor(display, window, attributes, surface))
        return nullptr;
    GLXContext glx = glXCreateNewContext(display, surface.config, GLX_RGBA_TYPE, nullptr, True);
    if (!glx || trap.failed()) {
        if (glx)
            glXDestroyContext(display, glx);
        return nullptr;
    }
    auto context = std::make_unique<Context>();
    context->surface = surface.surface;
    context->glx = glx;
    return context;
}

// Creates a context for window in the calling thread, with the display's
// painter; null on any failure.
std::unique_ptr<Context> makeContext(Display *display, Window window)
{
    ErrorTrap trap(display);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || trap.failed())
        return nullptr;
    if (!watchDisplay(display))
        return nullptr;

    std::unique_ptr<Context> context;
    if (painterFor(display) == Painter::GL) {
        context = makeGLContext(display, window, attributes);
        if (!context && !giveUpGL(display))
            return nullptr;
    }
    if (!context) {
        auto painter = XImagePainter::make(display, window, attributes);
        if (!painter)
            return nullptr;
        context = std::make_unique<Context>();
        context->ximage = std::move(painter);
    }
    watchDrawable(display, window);
    context->display = display;
    context->window = window;
    context->owner = std::this_thread::get_id();
    context->viewRight = attributes.width - 1;
    context->viewTop = attributes.height - 1;
    return context;
}

// Settings every context starts from: pixel rows packed as 32-bit words and
// drawing to the visible buffer (a double-buffered visual would otherwise
// hide every paint until a swap this layer never makes).
void firstUse()
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glDrawBuffer(GL_FRONT);
    glReadBuffer(GL_FRONT);
    glDisable(GL_DITHER);
}

void release(Context &c, bool makeNoneCurrent)
{
    if (c.ximage) {
        c.ximage->release();
        return;
    }
    if (makeNoneCurrent) {
        glXMakeContextCurrent(c.display, None, None, nullptr);
        // Unbinding flushes the context's last picture into the window from
        // a buffer the server may read only later (shared memory); the
        // server must have it before the context and its buffers go.
        XSync(c.display, False);
    }
    glXDestroyContext(c.display, c.glx);
}

// Makes c current in the calling thread; false when GLX refuses.
bool makeCurrent(Context &c)
{
    if (c.ximage) {
        threadCurrent = &c;
        return true;
    }
    ErrorTrap trap(c.display);
    if (!glXMakeContextCurrent(c.display, c.surface, c.surface, c.glx) || trap.failed()) {
        threadCurrent = nullptr;
        return false;
    }
    threadCurrent = &c;
    return true;
}

// An unlinked context's last resources: GL freed its context when it was
// unlinked, but an X image painter still holds its GC on the server.
void forgetUnlinked(Context &c)
{
    if (c.ximage && !c.orphaned.load(std::memory_order_acquire))
        c.ximage->release();
}

// Lets go of a current context that another thread has unlinked: unbinding
// it is what allows GLX to free it.
void buryCurrent()
{
    Context *c = threadCurrent;
    threadCurrent = nullptr;
    if (!c)
        return;
    if (!c->orphaned.load(std::memory_order_acquire)) {
        ErrorTrap trap(c->display);  // its end waits for the server, as in release
        if (c->ximage)
            c->ximage->release();
        else
            glXMakeContextCurrent(c->display, None, None, nullptr);
    }
    std::lock_guard<std::mutex> hold(registryLock);
    std::erase_if(graveyard, [c](const std::unique_ptr<Context> &g) { return g.get() == c; });
}

}  // namespace

Context *current()
{
    Context *c = threadCurrent;
    return (c && !c->dead.load(std::memory_order_acquire)) ? c : nullptr;
}

void toWindow(const Context &c, float x, float y, float &wx, float &wy)
{
    const float pixelsX = float(c.viewRight - c.viewLeft + 1);
    const float pixelsY = float(c.viewTop - c.viewBottom + 1);
    wx = float(c.viewLeft) + (x - c.orthoLeft) * pixelsX / (c.orthoRight - c.orthoLeft);
    wy = float(c.viewBottom) + (y - c.orthoBottom) * pixelsY / (c.orthoTop - c.orthoBottom);
}

}  // namespace kgl

using kgl::Context;

extern "C" int GLXwinset(Display *display, Window window)
{
    try {
        Context *now = kgl::threadCurrent;
        if (now && now->dead.load(std::memory_order_acquire)) {
            kgl::buryCurrent();
            now = nullptr;
        }
        if (now && now->display == display && now->window == window)
            return kgl::drawableGone(display, window) ? -1 : 0;
        if (!display || window == None)
            return -1;

        const auto self = std::this_thread::get_id();
        Context *found = nullptr;
        {
            std::lock_guard<std::mutex> hold(kgl::registryLock);
            for (auto &c : kgl::registry)
                if (c->owner == self && c->display == display && c->window == window)
                    found = c.get();
        }
        if (found && kgl::makeCurrent(*found))
            return 0;
        if (found) {
            // The context is unusable: most likely a thread that ended
            // without releasing it left it current, and this thread was
            // given the same id. It is dropped and a new one made.
            std::unique_ptr<Context> stale;
            {
                std::lock_guard<std::mutex> hold(kgl::registryLock);
                auto at = std::find_if(kgl::registry.begin(), kgl::registry.end(),
                    [found](const std::unique_ptr<Context> &c) { return c.get() == found; });
                stale = std::move(*at);
                kgl::registry.erase(at);
            }
            kgl::ErrorTrap trap(display);
            kgl::release(*stale, false);
        }
        std::unique_ptr<Context> made = kgl::makeContext(display, window);
        if (!made)
            return -1;
        Context *fresh = made.get();
        {
            std::lock_guard<std::mutex> hold(kgl::registryLock);
            kgl::registry.push_back(std::move(made));
        }
        if (!kgl::makeCurrent(*fresh))
            return -1;
        if (!fresh->ximage)
            kgl::firstUse();
        return 0;
    } catch (...) {
        return -1;
    }
}

extern "C" int GLXunlink(Display *display, Window window)
{
    if (!display)
        return 0;
    try {
        std::vector<std::unique_ptr<Context>> gone;
        {
            std::lock_guard<std::mutex> hold(kgl::registryLock);
            auto keep = std::stable_partition(kgl::registry.begin(), kgl::registry.end(),
                [&](const std::unique_ptr<Context> &c) {
                    return !(c->display == display && c->window == window);
                });
            std::move(keep, kgl::registry.end(), std::back_inserter(gone));
            kgl::registry.erase(keep, kgl::registry.end());
        }
        // A context of another thread may be current there: GLX frees it
        // once that thread unbinds it, and until then the thread's drawing
        // calls see it as gone (they do nothing).
        const int count = int(gone.size());
        const auto self = std::this_thread::get_id();
        kgl::ErrorTrap trap(display);
        for (auto &c : gone) {
            if (c->owner == self) {
                const bool mine = c.get() == kgl::threadCurrent;
                if (mine)
                    kgl::threadCurrent = nullptr;
                kgl::release(*c, mine);
                c.reset();
            } else {
                // An X image painter is the owner's to release, at its next
                // call; only GL may free a context from another thread.
                if (!c->ximage)
                    glXDestroyContext(c->display, c->glx);
                c->dead.store(true, std::memory_order_release);
            }
        }
        kgl::dropSurface(display, window);
        std::lock_guard<std::mutex> hold(kgl::registryLock);
        for (auto &c : gone)
            if (c)
                kgl::graveyard.push_back(std::move(c));
        return count;
    } catch (...) {
        return 0;
    }
}

extern "C" void kglReleaseThread(void)
{
    try {
        const auto self = std::this_thread::get_id();
        Context *now = kgl::threadCurrent;
        if (now && now->dead.load(std::memory_order_acquire))
            kgl::buryCurrent();
        std::vector<std::unique_ptr<Context>> gone;
        {
            std::lock_guard<std::mutex> hold(kgl::registryLock);
            // Unlinked contexts of this thread that were not current.
            std::erase_if(kgl::graveyard, [&](const std::unique_ptr<Context> &c) {
                if (c->owner != self)
                    return false;
                kgl::forgetUnlinked(*c);
                return true;
            });
            auto keep = std::stable_partition(kgl::registry.begin(), kgl::registry.end(),
                [&](const std::unique_ptr<Context> &c) { return c->owner != self; });
            std::move(keep, kgl::registry.end(), std::back_inserter(gone));
            kgl::registry.erase(keep, kgl::registry.end());
        }
        for (auto &c : gone) {
            kgl::ErrorTrap trap(c->display);
            kgl::release(*c, c.get() == kgl::threadCurrent);
        }
        kgl::threadCurrent = nullptr;
    } catch (...) {
    }
}

extern "C" void kglReleaseDisplay(Display *display)
{
    try {
        const auto self = std::this_thread::get_id();
        Context *now = kgl::threadCurrent;
        if (now && now->display == display && now->dead.load(std::memory_order_acquire))
            kgl::buryCurrent();
        std::vector<std::unique_ptr<Context>> gone;
        {
            std::lock_guard<std::mutex> hold(kgl::registryLock);
            std::erase_if(kgl::graveyard, [&](const std::unique_ptr<Context> &c) {
                if (c->owner != self || c->display != display || c.get() == kgl::threadCurrent)
                    return false;
                kgl::forgetUnlinked(*c);
                return true;
            });
            auto keep = std::stable_partition(kgl::registry.begin(), kgl::registry.end(),
                [&](const std::unique_ptr<Context> &c) {
                    return !(c->owner == self && c->display == display);
                });
            std::move(keep, kgl::registry.end(), std::back_inserter(gone));
            kgl::registry.erase(keep, kgl::registry.end());
        }
        for (auto &c : gone) {
            const bool mine = c.get() == kgl::threadCurrent;
            kgl::ErrorTrap trap(c->display);
            kgl::release(*c, mine);
            if (mine)
                kgl::threadCurrent = nullptr;
        }
    } catch (...) {
    }
}

extern "C" int kglOnDisplayClose(Display *display, void (*handler)(Display *display))
{
    if (!display || !handler)
        return -1;
    try {
        if (!kgl::watchDisplay(display))
            return -1;
        std::lock_guard<std::mutex> hold(kgl::watchLock);
        for (kgl::DisplayWatch &w : kgl::watches)
            if (w.display == display) {
                if (std::find(w.handlers.begin(), w.handlers.end(), handler) == w.handlers.end())
                    w.handlers.push_back(handler);
                return 0;
            }
        return -1;
    } catch (...) {
        return -1;
    }
}

extern "C" int kglCurrentPainter(void)
{
    const Context *c = kgl::current();
    if (!c)
        return KGL_PAINTER_NONE;
    if (!c->ximage)
        return KGL_PAINTER_GL;
    return c->ximage->sharedMemory() ? KGL_PAINTER_XSHM : KGL_PAINTER_XIMAGE;
}
