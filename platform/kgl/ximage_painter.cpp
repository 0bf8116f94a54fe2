// The X image painter: see ximage_painter.h.
//
// A pixel rectangle is drawn as GL draws it: window pixel c shows the
// rectangle's column floor((c + 0.5 - corner) / zoom), so a whole zoom
// repeats every pixel zoom times from the corner on. The columns and rows
// are worked out once per write into index tables; the conversion loop then
// only looks up and repacks, and a row that repeats the one above it is
// copied.
#include "ximage_painter.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "error_trap.h"

namespace kgl {
namespace {

std::atomic<bool> gShmAllowed{true};

// A server reached through a local socket shares this machine's memory;
// one reached by host name may be another machine (ssh -X forwards through
// "localhost:N"), where a segment id would name someone else's memory.
bool serverIsLocal(Display *display)
{
    const char *name = DisplayString(display);
    return name && (name[0] == ':' || name[0] == '/' || std::strncmp(name, "unix:", 5) == 0);
}

// Repacks count pixels; a straight loop the compiler vectorises.
template <typename Out>
void convertRun(Out *__restrict out, const uint32_t *__restrict row, int count,
                const PixelFormat &format)
{
    const PixelFormat f = format;  // in registers for the whole loop
    for (int k = 0; k < count; ++k)
        out[k] = Out(f.pixel(row[k]));
}

// Spreads repacked pixels over the window's columns.
template <typename Out>
void spread(Out *__restrict out, const Out *__restrict packed, const int *source, int count)
{
    for (int k = 0; k < count; ++k)
        out[k] = packed[source[k]];
}

}  // namespace

void allowSharedMemory(bool allowed) { gShmAllowed.store(allowed); }

bool PixelFormat::of(Display *display, const Visual *visual, int depth, PixelFormat &out)
{
    if (!visual || visual->c_class != TrueColor)
        return false;
    int count = 0, bits = 0;
    XPixmapFormatValues *formats = XListPixmapFormats(display, &count);
    for (int i = 0; formats && i < count; ++i)
        if (formats[i].depth == depth)
            bits = formats[i].bits_per_pixel;
    if (formats)
        XFree(formats);
    if (bits != 16 && bits != 32)
        return false;
    PixelFormat f;
    f.bytesPerPixel = bits / 8;
    const unsigned long masks[3] = {visual->red_mask, visual->green_mask, visual->blue_mask};
    int *shifts[3] = {&f.redShift, &f.greenShift, &f.blueShift};
    int *losses[3] = {&f.redLoss, &f.greenLoss, &f.blueLoss};
    for (int c = 0; c < 3; ++c) {
        const int width = std::popcount(masks[c]);
        if (width < 1 || width > 8)
            return false;
        *shifts[c] = std::countr_zero(masks[c]);
        *losses[c] = 8 - width;
    }
    out = f;
    return true;
}

uint32_t PixelFormat::word(unsigned long pixel) const
{
    // Each channel's kept bits, spread back over 0..255.
    auto channel = [pixel](int shift, int loss) {
        const uint32_t max = 0xFFu >> loss;
        return uint32_t((pixel >> shift) & max) * 255u / max;
    };
    return channel(redShift, redLoss) | channel(greenShift, greenLoss) << 8 |
           channel(blueShift, blueLoss) << 16;
}

void Span::place(int corner, int size, float zoom, int limit)
{
    const double z = zoom;
    const int end = int(std::ceil(corner + size * z - 0.5));
    first = std::max(corner, 0);
    count = std::max(0, std::min(end, limit) - first);
    source.resize(size_t(count));
    for (int k = 0; k < count; ++k)
        source[size_t(k)] =
            std::min(size - 1, int(std::floor((first + k + 0.5 - corner) / z)));
}

std::unique_ptr<XImagePainter> XImagePainter::make(Display *display, Window window,
                                                   const XWindowAttributes &attributes)
{
    PixelFormat format;
    if (!PixelFormat::of(display, attributes.visual, attributes.depth, format))
        return nullptr;
    std::unique_ptr<XImagePainter> painter(
        new XImagePainter(display, window, attributes, format));
    ErrorTrap trap(display);
    painter->gc_ = XCreateGC(display, window, 0, nullptr);
    if (!painter->gc_ || trap.failed()) {
        if (painter->gc_)
            XFreeGC(display, painter->gc_);
        painter->gc_ = nullptr;
        return nullptr;
    }
    return painter;
}

XImagePainter::XImagePainter(Display *display, Window window,
                             const XWindowAttributes &attributes, const PixelFormat &format)
    : display_(display), window_(window), visual_(attributes.visual), depth_(attributes.depth),
      format_(format), windowWidth_(attributes.width), windowHeight_(attributes.height)
{
    int ignore = 0;
    Bool pixmaps = False;
    shmAllowed_ = gShmAllowed.load() && serverIsLocal(display) &&
                  XShmQueryVersion(display, &ignore, &ignore, &pixmaps);
}

XImagePainter::~XImagePainter()
{
    if (!image_)
        return;
    if (segment_.shmaddr) {
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
    }
    XDestroyImage(image_);
}

void XImagePainter::release()
{
    ErrorTrap trap(display_);
    dropImage();
    if (gc_)
        XFreeGC(display_, gc_);
    gc_ = nullptr;
    trap.failed();
}

void XImagePainter::learnSize()
{
    ErrorTrap trap(display_);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, window_, &attributes) && !trap.failed()) {
        windowWidth_ = attributes.width;
        windowHeight_ = attributes.height;
    }
}

void XImagePainter::setColour(uint32_t word)
{
    XSetForeground(display_, gc_, format_.pixel(word));
}

void XImagePainter::fillBox(int left, int bottom, int right, int top)
{
    left = std::max(left, 0);
    bottom = std::max(bottom, 0);
    right = std::min(right, windowWidth_ - 1);
    top = std::min(top, windowHeight_ - 1);
    if (left > right || bottom > top)
        return;
    XFillRectangle(display_, window_, gc_, left, windowHeight_ - 1 - top,
                   unsigned(right - left + 1), unsigned(top - bottom + 1));
}

namespace {

std::vector<XPoint> xPoints(const std::vector<std::array<int, 2>> &points, int windowHeight)
{
    std::vector<XPoint> out;
    out.reserve(points.size());
    for (const auto &p : points)
        out.push_back(XPoint{short(std::clamp(p[0], -16384, 16383)),
                             short(std::clamp(windowHeight - 1 - p[1], -16384, 16383))});
    return out;
}

}  // namespace

void XImagePainter::fillPolygon(const std::vector<std::array<int, 2>> &points)
{
    if (points.size() < 3)
        return;
    std::vector<XPoint> x = xPoints(points, windowHeight_);
    XFillPolygon(display_, window_, gc_, x.data(), int(x.size()), Complex, CoordModeOrigin);
}

void XImagePainter::line(const std::vector<std::array<int, 2>> &points)
{
    if (points.empty())
        return;
    // Thin lines with butt caps include their last point, as lines here do.
    std::vector<XPoint> x = xPoints(points, windowHeight_);
    if (x.size() == 1)
        XDrawPoint(display_, window_, gc_, x[0].x, x[0].y);
    else
        XDrawLines(display_, window_, gc_, x.data(), int(x.size()), CoordModeOrigin);
}

bool XImagePainter::ensureImage(int width, int height)
{
    if (image_ && image_->width >= width && image_->height >= height)
        return true;
    dropImage();
    // As large as the window, so that frames of any size reuse it.
    const int w = std::max(width, windowWidth_), h = std::max(height, windowHeight_);
    if (shmAllowed_) {
        image_ = XShmCreateImage(display_, visual_, unsigned(depth_), ZPixmap, nullptr,
                                 &segment_, unsigned(w), unsigned(h));
        if (image_) {
            segment_.shmid = shmget(IPC_PRIVATE, size_t(image_->bytes_per_line) * size_t(h),
                                    IPC_CREAT | 0600);
            void *at = segment_.shmid >= 0 ? shmat(segment_.shmid, nullptr, 0) : (void *)-1;
            bool attached = false;
            if (at != (void *)-1) {
                segment_.shmaddr = image_->data = static_cast<char *>(at);
                segment_.readOnly = False;
                ErrorTrap trap(display_);
                attached = XShmAttach(display_, &segment_) && !trap.failed();
            }
            // Marked for removal now: it goes when both sides have let go.
            if (segment_.shmid >= 0)
                shmctl(segment_.shmid, IPC_RMID, nullptr);
            if (attached)
                return true;
            if (segment_.shmaddr)
                shmdt(segment_.shmaddr);
            image_->data = nullptr;
            XDestroyImage(image_);
            image_ = nullptr;
            segment_ = XShmSegmentInfo{};
        }
        shmAllowed_ = false;  // the server would not share: plain images from now on
    }
    image_ = XCreateImage(display_, visual_, unsigned(depth_), ZPixmap, 0, nullptr,
                          unsigned(w), unsigned(h), 32, 0);
    if (!image_)
        return false;
    // The rows are written in this machine's byte order; Xlib swaps them
    // on the way to a server of the other order.
    image_->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    image_->data = static_cast<char *>(std::malloc(size_t(image_->bytes_per_line) * size_t(h)));
    if (!image_->data) {
        XDestroyImage(image_);
        image_ = nullptr;
        return false;
    }
    return true;
}

void XImagePainter::dropImage()
{
    if (!image_)
        return;
    if (segment_.shmaddr) {
        XShmDetach(display_, &segment_);
        XSync(display_, False);
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
        segment_ = XShmSegmentInfo{};
        shmPending_ = false;
    }
    XDestroyImage(image_);
    image_ = nullptr;
}

template <typename Out>
void XImagePainter::convertRow(char *out, const uint32_t *row)
{
    // The rectangle's columns the window shows are repacked once and then
    // spread, unless each shows in one window column (no zoom).
    const int count = columns_.source.back() + 1;
    row += firstColumn_;
    if (count == columns_.count)
        return convertRun(reinterpret_cast<Out *>(out), row, count, format_);
    Out *packed = reinterpret_cast<Out *>(packed_.data());
    convertRun(packed, row, count, format_);
    spread(reinterpret_cast<Out *>(out), packed, columns_.source.data(), columns_.count);
}

void XImagePainter::convertRows(const uint32_t *pixels, int width)
{
    const size_t rowBytes = size_t(columns_.count) * size_t(format_.bytesPerPixel);
    // Image rows run from the top down, the rectangle's from the bottom up.
    for (int i = 0; i < rows_.count; ++i) {
        const int k = rows_.count - 1 - i;
        char *out = image_->data + size_t(i) * size_t(image_->bytes_per_line);
        const int source = rows_.source[size_t(k)];
        if (i > 0 && rows_.source[size_t(k) + 1] == source) {
            std::memcpy(out, out - image_->bytes_per_line, rowBytes);
            continue;
        }
        const uint32_t *row = pixels + size_t(source) * size_t(width);
        if (format_.bytesPerPixel == 4)
            convertRow<uint32_t>(out, row);
        else
            convertRow<uint16_t>(out, row);
    }
}

void XImagePainter::writePixels(int column, int row, int width, int height,
                                const uint32_t *pixels, float zoomX, float zoomY)
{
    columns_.place(column, width, zoomX, windowWidth_);
    rows_.place(row, height, zoomY, windowHeight_);
    if (columns_.count == 0 || rows_.count == 0 || !ensureImage(columns_.count, rows_.count))
        return;
    // Column indices from the first one shown, and room for the packed row.
    firstColumn_ = columns_.source.front();
    for (int &k : columns_.source)
        k -= firstColumn_;
    packed_.resize(size_t(columns_.source.back()) + 1);
    if (shmPending_) {
        XSync(display_, False);  // the server is done with the last picture
        shmPending_ = false;
    }
    convertRows(pixels, width);
    const int x = columns_.first, y = windowHeight_ - (rows_.first + rows_.count);
    if (segment_.shmaddr) {
        XShmPutImage(display_, window_, gc_, image_, 0, 0, x, y, unsigned(columns_.count),
                     unsigned(rows_.count), False);
        shmPending_ = true;
    } else {
        XPutImage(display_, window_, gc_, image_, 0, 0, x, y, unsigned(columns_.count),
                  unsigned(rows_.count));
    }
}

void XImagePainter::readPixels(int column, int row, int width, int height, uint32_t *pixels)
{
    std::memset(pixels, 0, size_t(width) * size_t(height) * sizeof(uint32_t));
    const int left = std::max(column, 0), right = std::min(column + width, windowWidth_);
    const int bottom = std::max(row, 0), top = std::min(row + height, windowHeight_);
    if (left >= right || bottom >= top)
        return;
    ErrorTrap trap(display_);
    XImage *image = XGetImage(display_, window_, left, windowHeight_ - top,
                              unsigned(right - left), unsigned(top - bottom), AllPlanes, ZPixmap);
    if (!image)
        return;
    for (int r = bottom; r < top; ++r)
        for (int c = left; c < right; ++c)
            pixels[size_t(r - row) * size_t(width) + size_t(c - column)] =
                format_.word(XGetPixel(image, c - left, top - 1 - r));
    XDestroyImage(image);
}

void XImagePainter::flush()
{
    XSync(display_, False);
    shmPending_ = false;
}

}  // namespace kgl
