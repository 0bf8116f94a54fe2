/*
 * Kelvo GL: the graphics calls the playback engine and the player draw with,
 * realised on OpenGL 1.x (compatibility profile) through GLX, or, on displays
 * without usable GLX, with X requests and X images.
 *
 * Painters.
 *   The environment variable CINELARK_PAINT chooses the painter of every
 *   display: "gl" paints with GL only, so a display without GLX has no RGB
 *   mode; "ximage" paints with X images; "auto" (the default) paints with GL
 *   where the display has the GLX extension and an RGB visual and GL can make
 *   a context, and with X images otherwise. X images go through shared
 *   memory (MIT-SHM) when the server is on this machine, and as plain image
 *   requests when it is not. Both painters put frames, zooms and boxes on the
 *   same pixels; lines and polygons may differ by a pixel at their edges.
 *   The X image painter draws in TrueColor visuals of 15 to 32 bits.
 *
 * The contract, written once for every call below:
 *
 * Threads and contexts.
 *   Drawing goes to the window made current in the calling thread by
 *   GLXwinset(display, window). Each (thread, window) pair gets a GL context
 *   of its own on first use, so the engine's playback thread and the
 *   application thread may both draw into one window, each with its own
 *   projection, viewport and colour state; a context is never shared between
 *   threads. Every drawing call acts on the calling thread's current context
 *   and does nothing when the thread has none. Xlib must be in thread mode:
 *   the program calls XInitThreads() before any other Xlib or Xt call.
 *
 * Ordering between threads.
 *   This layer takes no lock of its own around drawing. Callers that draw
 *   into the same window from two threads order their drawing themselves
 *   (the movie library's GL lock: mvGrabKelvoGL / mvReleaseKelvoGL).
 *   Releasing a context (GLXunlink, kglReleaseThread) may flush it into its
 *   window, so it counts as drawing for that ordering.
 *
 * Flushing.
 *   Drawing calls queue work; nothing is guaranteed on screen until the
 *   drawing thread calls gflush(), which returns once the server has the
 *   picture. The rule is one gflush() at the end of every paint (a frame, a
 *   background, a marker). lrectread() finishes the
 *   thread's queued drawing itself before it reads.
 *
 * Coordinates and pixels.
 *   Coordinates are those set by ortho2() and viewport(); the usual set-up
 *   for a window of w x h pixels, viewport(0, w-1, 0, h-1) and
 *   ortho2(-0.5, w-0.5, -0.5, h-0.5), puts integer coordinates on pixel
 *   centres with the origin at the bottom-left pixel. Rectangles and lines
 *   include both end points. Pixel words are 32-bit native values
 *   0xAABBGGRR, red in the low byte; rectangles of pixels run row by row from
 *   the bottom up. lrectread() returns the top byte as 0.
 *
 * Failures.
 *   GLXwinset() reports failure by a non-zero result (no such window, no GLX,
 *   a visual without RGB mode); the drawing calls do not report. X errors
 *   raised by this layer's own requests, and those GL raises for a window
 *   destroyed while a context was bound to it, are absorbed here and never
 *   reach the application's X error handler; after such an error GLXwinset
 *   on that window fails. Call GLXunlink before destroying a window.
 */
#ifndef CINELARK_KGL_H
#define CINELARK_KGL_H

#include <stdint.h>

#include <X11/Intrinsic.h>
#include <X11/Xlib.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Inquiry ------------------------------------------------------------ */

/* Inquiries answered by getgdesc(). Each answers -1 when unknown. */
enum {
    KGL_GD_XPMAX = 1,      /* screen width in pixels */
    KGL_GD_YPMAX = 2,      /* screen height in pixels */
    KGL_GD_DBLBUF = 3,     /* 1 when a double-buffered RGB visual exists */
    KGL_GD_ZBITS = 4,      /* depth-buffer bits of the deepest RGB visual */
    KGL_GD_BITS_RGB = 6    /* red bits of a single-buffered RGB visual; 0: no RGB mode */
};

/* Answers an inquiry about the display named by $DISPLAY, opening a
 * connection of its own for the purpose. Without a reachable display, or
 * without a visual the display's painter can draw RGB in, KGL_GD_BITS_RGB
 * answers 0 (no RGB mode) and the others -1. */
long getgdesc(long inquiry);

/* The same inquiry on an open connection (its default screen). */
long kglGetDesc(Display *display, long inquiry);

/* The painter of the calling thread's current context. */
enum {
    KGL_PAINTER_NONE = 0,    /* no current context */
    KGL_PAINTER_GL = 1,      /* OpenGL through GLX */
    KGL_PAINTER_XSHM = 2,    /* X images in shared memory */
    KGL_PAINTER_XIMAGE = 3   /* X images sent in requests */
};
int kglCurrentPainter(void);

/* ---- Configuration ------------------------------------------------------ */

/* One entry of a configuration list: which buffer, which property, and its
 * value. A list ends with an entry whose buffer and mode are both 0. */
typedef struct GLXconfig {
    int buffer;
    int mode;
    unsigned long arg;
} GLXconfig;

/* Buffers. */
enum {
    KGLX_NORMAL = 4096,    /* the normal frame buffer */
    KGLX_OVERLAY = 8192    /* overlay planes: never available here */
};

/* Properties of a buffer. */
enum {
    KGLX_RGB = 1,          /* 1: RGB mode; 0: colour-index mode */
    KGLX_DOUBLE = 2,       /* 1: double-buffered */
    KGLX_ZSIZE = 3,        /* depth-buffer bits wanted (0: none) */
    KGLX_VISUAL = 7,       /* answer: X visual id of the chosen visual */
    KGLX_COLORMAP = 8,     /* answer: colormap made for that visual */
    KGLX_WINDOW = 9        /* the window id, filled in by the caller once known */
};

/* Chooses a visual on the screen for the wanted configuration and returns a
 * new list (release it with free()) that repeats the wanted entries with the
 * values granted and adds KGLX_VISUAL, KGLX_COLORMAP and an empty KGLX_WINDOW
 * entry for the normal buffer. Returns NULL when no visual can give what was
 * asked (RGB mode with CINELARK_PAINT=gl and no GLX, say), or for an overlay
 * request. X images are drawn in the screen's default visual. */
GLXconfig *GLXgetconfig(Display *display, int screen, const GLXconfig *wanted);

/* ---- Contexts ----------------------------------------------------------- */

/* Directs the calling thread's drawing to window, creating the thread's
 * context for it on first use. Returns 0, or -1 when the window does not
 * exist, or no painter can draw RGB colour in the window's visual. */
int GLXwinset(Display *display, Window window);

/* Destroys every context of every thread made for window (call it before
 * the window is destroyed). Returns the number of contexts released. */
int GLXunlink(Display *display, Window window);

/* Releases the calling thread's contexts; a drawing thread calls it before
 * it ends, while the display is still open. */
void kglReleaseThread(void);

/* Releases the calling thread's contexts on display only. */
void kglReleaseDisplay(Display *display);

/* Closing a display. A context still current in some thread when its display
 * is closed leaves the GL driver holding a freed connection, which crashes
 * that thread (or the process at exit) later. This layer therefore watches
 * each display it draws on: when XCloseDisplay runs, it first calls every
 * handler registered here for the display (on the closing thread, while the
 * display still works), so that other threads can let go of their contexts
 * through kglReleaseDisplay; then it releases the closing thread's own
 * contexts and the display's GLX windows, and forgets the contexts of any
 * thread that did not let go (they are leaked, never touched again).
 * Registering the same handler twice for a display has no further effect.
 * Returns 0, or -1 when the display cannot be watched. */
int kglOnDisplayClose(Display *display, void (*handler)(Display *display));

/* ---- View --------------------------------------------------------------- */

/* The window rectangle drawn into, in pixels from the bottom-left corner,
 * both edges included. */
void viewport(short left, short right, short bottom, short top);

/* The 2-D coordinate system mapped onto the viewport. */
void ortho2(float left, float right, float bottom, float top);

/* ---- Colour and shapes -------------------------------------------------- */

void RGBcolor(short red, short green, short blue);  /* each 0..255 */
void cpack(uint32_t abgr);                          /* 0xAABBGGRR */

/* Fills the rectangle between two corners, both included. */
void sboxfi(int x1, int y1, int x2, int y2);

/* Filled polygon of n vertices. */
void polf2i(long n, const int vertices[][2]);

/* Polygons and lines built vertex by vertex: bgnpolygon, v2i..., endpolygon;
 * bgnline, v2i..., endline (an open line through the vertices). */
void bgnpolygon(void);
void endpolygon(void);
void bgnline(void);
void endline(void);
void v2i(const int vertex[2]);

/* The pen: move2i places it, draw2i draws a line from it and moves it. */
void move2i(int x, int y);
void draw2i(int x, int y);

/* ---- Pixels ------------------------------------------------------------- */

/* Pixel replication factors for lrectwrite (positive). */
void rectzoom(float xfactor, float yfactor);

/* Writes the (x2-x1+1) x (y2-y1+1) pixels with the lower-left pixel at
 * (x1, y1), each enlarged by the zoom; parts outside the window are cut off,
 * including a corner at negative coordinates. */
void lrectwrite(short x1, short y1, short x2, short y2, const uint32_t *pixels);

/* Reads the rectangle back into pixels (room for its whole size) and returns
 * the number of pixels read, 0 without a current context. */
long lrectread(short x1, short y1, short x2, short y2, uint32_t *pixels);

/* Sends the thread's queued drawing to the window. */
void gflush(void);

/* ---- The GL drawing-area widget ---------------------------------------- */

/* A Motif drawing area for GL. Create it with kglCreateMDraw, passing the
 * list from GLXgetconfig: the widget takes that list's visual and colormap.
 * Callbacks (XtAddCallback, or in args) under the names below receive a
 * KGLdrawCallbackStruct; by the "ginitCallback" the widget's window exists
 * (XtWindow) and may be given to GLXwinset. */
#define KGL_NginitCallback "ginitCallback"
#define KGL_NexposeCallback "exposeCallback"
#define KGL_NresizeCallback "resizeCallback"
#define KGL_NinputCallback "inputCallback"

enum {
    KGL_CR_EXPOSE = 38,
    KGL_CR_RESIZE = 39,
    KGL_CR_INPUT = 40,
    KGL_CR_GINIT = 32135
};

typedef struct KGLdrawCallbackStruct {
    int reason;
    XEvent *event;
    Dimension width, height;
} KGLdrawCallbackStruct;

/* The widget class (ready for XtCreateWidget). */
WidgetClass kglMDrawWidgetClass(void);

/* Creates (unmanaged) a GL drawing area for the configuration; NULL when the
 * configuration names no usable visual. */
Widget kglCreateMDraw(Widget parent, const char *name, const GLXconfig *config,
                      ArgList args, Cardinal argCount);

#ifdef __cplusplus
}
#endif

#endif /* CINELARK_KGL_H */
