// Which painter draws on a display: OpenGL through GLX, or X images.
//
// CINELARK_PAINT chooses: "gl" paints with GL only (a display without
// usable GLX then has no RGB mode), "ximage" always with X images, and
// "auto" (the default, and any other value) with GL where the display
// offers GLX and an RGB visual, else with X images. In auto, a display
// whose GL context cannot be made for a window (a server that refuses
// indirect contexts, say) changes to X images for the rest of its life.
#ifndef CINELARK_KGL_PAINTER_H
#define CINELARK_KGL_PAINTER_H

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kgl {

enum class Painter { GL, XImage };
enum class PaintWish { Auto, GL, XImage };

PaintWish paintWish();
Painter painterFor(Display *display);

// Auto only: GL could not make a context on this display (which is watched
// for closing, so the mark goes with the display). Returns whether the
// display changed to X images.
bool giveUpGL(Display *display);
// The display is closing.
void forgetPainter(Display *display);

// GLX inquiries shared by the choice and the configuration calls.
bool hasGLX(Display *display);
// The RGB visual of the screen that best fits the wish, or null. The caller
// frees the answer with XFree.
XVisualInfo *chooseRGBVisual(Display *display, int screen, bool doubleBuffer, int depthBits);

}  // namespace kgl

#endif
