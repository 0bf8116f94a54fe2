// The per-thread drawing state of the GL layer.
//
// A Context is one GLX context made for one (thread, display, window). It is
// only ever used by the thread that created it, so its fields need no lock;
// the registry that lists every context (for GLXunlink) is guarded in
// context.cpp. The drawing calls reach the calling thread's current Context
// through current().
#ifndef CINELARK_KGL_CONTEXT_H
#define CINELARK_KGL_CONTEXT_H

#include <GL/gl.h>
#include <GL/glx.h>

#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "ximage_painter.h"

namespace kgl {

struct Context {
    Display *display = nullptr;
    Window window = 0;
    GLXWindow surface = 0;  // the window's GLX drawable, shared by every thread
    GLXContext glx = nullptr;
    // Set instead of surface and glx when the context paints with X images.
    std::unique_ptr<XImagePainter> ximage;
    std::thread::id owner;

    // Set by GLXunlink from another thread once the GLX context has been
    // destroyed; the owner then stops drawing with it and frees it at its
    // next GLXwinset or kglReleaseThread.
    std::atomic<bool> dead{false};
    // Set as well when the display was closed under the context: GLX may no
    // longer be called for it at all, so it is only forgotten.
    std::atomic<bool> orphaned{false};

    // The coordinate mapping, kept here because lrectwrite and lrectread
    // need it to place pixels (GL clips a raster position outside the view,
    // which would drop a whole image whose corner is off the window).
    // Initially GL's own: the full window and the unit square.
    int viewLeft = 0, viewRight = 0, viewBottom = 0, viewTop = 0;
    float orthoLeft = -1.0f, orthoRight = 1.0f, orthoBottom = -1.0f, orthoTop = 1.0f;

    // The pixel zoom (GL keeps its own; the X image painter reads it here).
    float zoomX = 1.0f, zoomY = 1.0f;
    uint32_t colour = 0xFF000000u;

    // The pen of move2i / draw2i.
    int penX = 0, penY = 0;

    // Vertices gathered between bgnline/bgnpolygon and their end call.
    enum class Shape { Idle, Line, Polygon } shape = Shape::Idle;
    std::vector<std::array<int, 2>> vertices;
};

// The calling thread's current context, or null when it has none.
Context *current();

// Maps a point of the coordinate system to window pixel coordinates
// (fractional: pixel centres lie at whole numbers plus one half).
void toWindow(const Context &c, float x, float y, float &wx, float &wy);

}  // namespace kgl

#endif
