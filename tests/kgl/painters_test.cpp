// The two painters side by side on one display: a frame and its background
// bands painted the way the playback engine paints them, through GL in one
// window and through X images (shared memory and plain requests) in
// another, must leave the same pixels in both.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <vector>

#include "kgl/kgl.h"
#include "ximage_painter.h"
#include "x_window.h"

namespace {

const bool threadsReady = XInitThreads() != 0;

// A view of the window and where the frame goes in it, zoomed.
struct Paint {
    int zoom, viewX, viewY, viewWidth, viewHeight, originX, originY;
};

constexpr int kWindowWidth = 96, kWindowHeight = 72, kWidth = 20, kHeight = 15;

// Binds window with the painter CINELARK_PAINT names and paints the view's
// bands and the frame as the engine does; the painter that ran.
int paint(const kgltest::XWindow &window, const char *painter, const Paint &p)
{
    setenv("CINELARK_PAINT", painter, 1);
    const bool bound = window.bind();
    unsetenv("CINELARK_PAINT");
    if (!bound)
        return -1;
    cpack(0x00000000u);
    sboxfi(0, 0, kWindowWidth - 1, kWindowHeight - 1);
    const int right = p.viewWidth + p.viewX - 1, top = p.viewHeight + p.viewY - 1;
    const int imageRight = kWidth * p.zoom + p.originX - 1;
    const int imageTop = kHeight * p.zoom + p.originY - 1;
    RGBcolor(170, 120, 40);
    if (p.originX - p.viewX > 0)
        sboxfi(p.viewX, p.viewY, p.originX, top);
    if (right - imageRight > 0)
        sboxfi(imageRight, p.viewY, right, top);
    if (top - imageTop > 0)
        sboxfi(p.viewX, imageTop, right, top);
    if (p.originY - p.viewY >= 1)
        sboxfi(p.viewX, p.viewY, right, p.originY);
    std::vector<uint32_t> frame;
    for (int i = 0; i < kWidth * kHeight; ++i)
        frame.push_back(uint32_t(i * 2654435761u) & 0xFFFFFFu);
    rectzoom(float(p.zoom), float(p.zoom));
    lrectwrite(short(p.originX), short(p.originY), short(p.originX + kWidth - 1),
               short(p.originY + kHeight - 1), frame.data());
    gflush();
    return kglCurrentPainter();
}

// Views that fit, views with bands on every side, a view offset into the
// window, and frames hanging off each edge of the window.
TEST(Painters, FramesAndBandsLandOnTheSamePixels)
{
    ASSERT_TRUE(threadsReady);
    Display *display = kgltest::openDisplay();
    ASSERT_NE(display, nullptr) << "this test needs an X display with GLX ($DISPLAY)";
    const Paint views[] = {{1, 0, 0, 96, 72, 38, 28}, {2, 0, 0, 96, 72, 28, 21},
                           {4, 0, 0, 96, 72, 8, 6},   {1, 5, 7, 60, 40, 25, 20},
                           {3, 0, 0, 96, 72, -12, -9}, {4, 0, 0, 96, 72, 40, 30},
                           {2, 0, 0, 40, 30, -10, 50}};
    for (const Paint &view : views) {
        SCOPED_TRACE(testing::Message() << "zoom " << view.zoom << " at " << view.originX << ","
                                        << view.originY);
        kgltest::XWindow gl(display, kWindowWidth, kWindowHeight);
        kgltest::XWindow shm(display, kWindowWidth, kWindowHeight, 0, kWindowHeight + 4);
        kgltest::XWindow plain(display, kWindowWidth, kWindowHeight, kWindowWidth + 4, 0);
        EXPECT_EQ(paint(gl, "gl", view), KGL_PAINTER_GL);
        EXPECT_EQ(paint(shm, "ximage", view), KGL_PAINTER_XSHM);
        kgl::allowSharedMemory(false);
        EXPECT_EQ(paint(plain, "ximage", view), KGL_PAINTER_XIMAGE);
        kgl::allowSharedMemory(true);

        const auto wanted = gl.server(0, 0, kWindowWidth, kWindowHeight);
        EXPECT_EQ(shm.server(0, 0, kWindowWidth, kWindowHeight), wanted);
        EXPECT_EQ(plain.server(0, 0, kWindowWidth, kWindowHeight), wanted);
        // The X image painter reads back what the server holds.
        std::vector<uint32_t> read(size_t(kWindowWidth * kWindowHeight));
        ASSERT_EQ(shm.bind(), true);
        lrectread(0, 0, kWindowWidth - 1, kWindowHeight - 1, read.data());
        EXPECT_EQ(read, wanted);
        kglReleaseThread();
    }
    kgltest::keepGLDriverLoaded();
    XCloseDisplay(display);
}

}  // namespace
