// The painter for displays without usable GLX: X requests and X images.
//
// Boxes, polygons and lines become the core fill and line requests with a
// GC of the context's own; pixel rectangles are converted to the window's
// pixel format and sent as an X image, through a shared-memory segment
// (MIT-SHM) when the server runs on this machine and as a plain image
// request otherwise. Coordinates arrive in the GL layer's window pixels,
// counted from the bottom row; the painter turns them upside down with the
// window's height, which it reads when the context is made and again at
// every viewport() (callers set the viewport after each resize).
//
// One painter belongs to one Context and so to one thread; it needs no lock.
#ifndef CINELARK_KGL_XIMAGE_PAINTER_H
#define CINELARK_KGL_XIMAGE_PAINTER_H

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace kgl {

// Where 8-bit red, green and blue go in a pixel of a TrueColor visual: each
// channel keeps its top bits (8 - loss of them) and moves to its place.
struct PixelFormat {
    int bytesPerPixel = 4;  // 2 or 4
    int redShift = 16, greenShift = 8, blueShift = 0;
    int redLoss = 0, greenLoss = 0, blueLoss = 0;

    // The format of a visual and depth; false when the painter cannot draw
    // with it (colour maps, depths other than 15, 16, 24 and 32 bits).
    static bool of(Display *display, const Visual *visual, int depth, PixelFormat &out);

    // A pixel for a word 0xAABBGGRR, and the word (0x00BBGGRR) of a pixel.
    uint32_t pixel(uint32_t word) const
    {
        return ((word & 0xFFu) >> redLoss) << redShift |
               ((word >> 8 & 0xFFu) >> greenLoss) << greenShift |
               ((word >> 16 & 0xFFu) >> blueLoss) << blueShift;
    }
    uint32_t word(unsigned long pixel) const;
};

// Spans of a pixel rectangle on the window: the window pixels it covers
// (clipped) and, for each, the rectangle's column or row that lands there.
struct Span {
    int first = 0, count = 0;          // window pixels [first, first + count)
    std::vector<int> source;           // rectangle index of each of them
    // Pixels of a rectangle `size` long whose first pixel starts at window
    // pixel `corner`, each `zoom` window pixels wide, clipped to [0, limit).
    void place(int corner, int size, float zoom, int limit);
};

class XImagePainter {
public:
    // A painter for the window; null when its visual has no usable format.
    static std::unique_ptr<XImagePainter> make(Display *display, Window window,
                                               const XWindowAttributes &attributes);
    ~XImagePainter();  // frees this side's memory only; see release()
    XImagePainter(const XImagePainter &) = delete;
    XImagePainter &operator=(const XImagePainter &) = delete;

    // Gives the server its resources back (GC, shared-memory attachment);
    // only while the display is open.
    void release();

    bool sharedMemory() const { return shmAllowed_; }
    // Reads the window's size again.
    void learnSize();

    void setColour(uint32_t word);
    // Window pixels, counted from the bottom-left; both corners included.
    void fillBox(int left, int bottom, int right, int top);
    void fillPolygon(const std::vector<std::array<int, 2>> &points);
    void line(const std::vector<std::array<int, 2>> &points);
    // The rectangle of pixels, rows from the bottom up, with its lower-left
    // pixel at window pixel (column, row), enlarged by the zoom.
    void writePixels(int column, int row, int width, int height, const uint32_t *pixels,
                     float zoomX, float zoomY);
    // Reads window pixels back (rows from the bottom up); 0 outside it.
    void readPixels(int column, int row, int width, int height, uint32_t *pixels);
    // Returns once the server has painted everything sent.
    void flush();

private:
    XImagePainter(Display *display, Window window, const XWindowAttributes &attributes,
                  const PixelFormat &format);
    bool ensureImage(int width, int height);
    void dropImage();
    void convertRows(const uint32_t *pixels, int width);
    template <typename Out>
    void convertRow(char *out, const uint32_t *row);

    Display *display_;
    Window window_;
    Visual *visual_;
    int depth_;
    PixelFormat format_;
    GC gc_ = nullptr;
    int windowWidth_ = 0, windowHeight_ = 0;

    bool shmAllowed_ = false;
    bool shmPending_ = false;     // the server may still be reading the segment
    XImage *image_ = nullptr;     // window-sized at most, reused from frame to frame
    XShmSegmentInfo segment_{};   // when image_ lives in shared memory
    Span columns_, rows_;         // reused between writes
    int firstColumn_ = 0;           // the rectangle's first column shown
    std::vector<uint32_t> packed_;  // one repacked row, reused
};

// Whether shared memory may be used at all (tests and the benchmark turn it
// off to exercise the plain image path). On by default.
void allowSharedMemory(bool allowed);

}  // namespace kgl

#endif
