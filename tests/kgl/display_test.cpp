// The GL layer on a real display: inquiries, drawing read back through GL
// and the X server, several threads, and the GL and X image painters.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "kgl/kgl.h"
#include "ximage_painter.h"
#include "x_window.h"

namespace {

// Xlib must be in thread mode before anything else opens a connection.
const bool threadsReady = XInitThreads() != 0;

class OnDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(threadsReady);
        display_ = kgltest::openDisplay();
        ASSERT_NE(display_, nullptr) << "these tests need an X display with GLX ($DISPLAY)";
    }
    void TearDown() override
    {
        kglReleaseThread();
        kgltest::keepGLDriverLoaded();
        if (display_)
            XCloseDisplay(display_);
    }
    Display *display_ = nullptr;
};

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r | g << 8 | b << 16;
}

// A picture whose every pixel differs, with distinct red, green and blue.
std::vector<uint32_t> pattern(int width, int height)
{
    std::vector<uint32_t> p;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.push_back(rgb(uint32_t(x * 7 + 1) & 0xFF, uint32_t(y * 13 + 2) & 0xFF,
                            uint32_t(x + y * 3 + 50) & 0xFF));
    return p;
}

TEST_F(OnDisplay, InquiriesAndTheConfigurationAnswerFromTheDisplay)
{
    EXPECT_GT(getgdesc(KGL_GD_BITS_RGB), 0);
    EXPECT_GT(kglGetDesc(display_, KGL_GD_BITS_RGB), 0);
    EXPECT_EQ(kglGetDesc(display_, KGL_GD_XPMAX), DisplayWidth(display_, DefaultScreen(display_)));
    EXPECT_EQ(kglGetDesc(display_, KGL_GD_YPMAX), DisplayHeight(display_, DefaultScreen(display_)));
    EXPECT_EQ(kglGetDesc(display_, 12345), -1);

    GLXconfig *config = kgltest::rgbConfig(display_);
    ASSERT_NE(config, nullptr);
    int rgbMode = -1, doubled = -1, windowEntries = 0;
    for (GLXconfig *e = config; e->buffer || e->mode; ++e) {
        EXPECT_EQ(e->buffer, KGLX_NORMAL);
        if (e->mode == KGLX_RGB)
            rgbMode = int(e->arg);
        if (e->mode == KGLX_DOUBLE)
            doubled = int(e->arg);
        if (e->mode == KGLX_WINDOW)
            ++windowEntries;
    }
    EXPECT_EQ(rgbMode, 1);
    EXPECT_EQ(doubled, 0);
    EXPECT_NE(kgltest::configValue(config, KGLX_VISUAL), 0u);
    EXPECT_EQ(windowEntries, 1);
    std::free(config);

    const GLXconfig colourIndex[] = {{KGLX_NORMAL, KGLX_RGB, 0}, {0, 0, 0}};
    EXPECT_EQ(GLXgetconfig(display_, DefaultScreen(display_), colourIndex), nullptr);
    const GLXconfig overlay[] = {{KGLX_OVERLAY, KGLX_RGB, 1}, {0, 0, 0}};
    EXPECT_EQ(GLXgetconfig(display_, DefaultScreen(display_), overlay), nullptr);
    const GLXconfig rgb[] = {{KGLX_NORMAL, KGLX_RGB, 1}, {0, 0, 0}};
    EXPECT_EQ(GLXgetconfig(display_, 99, rgb), nullptr);
}

// The position marker as the movie window draws it, at x: a grey triangle
// with dark and light edges.
void drawMarker(int x)
{
    const int triangle[3][2] = {{x, 0}, {x, 25}, {x + 25, 12}};
    RGBcolor(200, 200, 200);
    polf2i(3, triangle);
    cpack(0xFF000000u);
    move2i(x, 0);
    draw2i(x, 25);
    RGBcolor(50, 50, 50);
    move2i(x, 0);
    draw2i(x + 25, 12);
    draw2i(x + 1, 0);
    cpack(0xFFFFFFFFu);
    move2i(x + 1, 1);
    draw2i(x + 1, 24);
    RGBcolor(85, 85, 85);
    bgnline();
    const int a[2] = {x + 1, 1}, b[2] = {x + 24, 13};
    v2i(a);
    v2i(b);
    endline();
}

// Pixel rectangles, boxes and the marker's shapes on one window, each read
// back exactly, until the window is destroyed underneath. Red lies in the low byte of the words both ways: the
// server's pixels are read through the visual's channel masks.
TEST_F(OnDisplay, DrawingReadsBackExactlyAndAWindowDestroyedUnderneathFailsQuietly)
{
    constexpr int w = 80, h = 48;
    kgltest::XWindow window(display_, w, h);
    ASSERT_TRUE(window.bind());

    constexpr int sw = 9, sh = 6;
    const std::vector<uint32_t> small = pattern(sw, sh);
    const struct {
        int zoom, x, y;
    } cases[] = {{1, 0, 0}, {1, 10, 7}, {2, 0, 0}, {2, 21, 13}, {3, 5, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.zoom);
        rectzoom(float(c.zoom), float(c.zoom));
        lrectwrite(short(c.x), short(c.y), short(c.x + sw - 1), short(c.y + sh - 1), small.data());
        gflush();
        const int zw = sw * c.zoom, zh = sh * c.zoom;
        std::vector<uint32_t> expected;  // each pixel a zoom x zoom block
        for (int y = 0; y < zh; ++y)
            for (int x = 0; x < zw; ++x)
                expected.push_back(small[size_t((y / c.zoom) * sw + x / c.zoom)]);
        std::vector<uint32_t> read(size_t(zw * zh), 0xFFFFFFFFu);
        EXPECT_EQ(lrectread(short(c.x), short(c.y), short(c.x + zw - 1), short(c.y + zh - 1),
                            read.data()),
                  zw * zh);
        EXPECT_EQ(read, expected);
        EXPECT_EQ(window.server(c.x, c.y, zw, zh), expected);
    }

    {
        SCOPED_TRACE("box");
        RGBcolor(0, 0, 0);
        sboxfi(0, 0, 19, 19);
        RGBcolor(170, 170, 170);
        sboxfi(12, 9, 3, 4);  // corners given in either order
        gflush();
        std::vector<uint32_t> read(400);
        lrectread(0, 0, 19, 19, read.data());
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= 3 && x <= 12 && y >= 4 && y <= 9;
                ASSERT_EQ(read[size_t(y * 20 + x)], inside ? rgb(170, 170, 170) : 0u)
                    << "at " << x << "," << y;
            }
    }

    // The marker goes over a picture; taking it down writes the saved
    // block back.
    constexpr int x = 30;
    const std::vector<uint32_t> picture = pattern(w, h);
    rectzoom(1.0f, 1.0f);
    lrectwrite(0, 0, w - 1, h - 1, picture.data());
    std::vector<uint32_t> saved(26 * 26);
    ASSERT_EQ(lrectread(x, 0, x + 25, 25, saved.data()), 26 * 26);
    drawMarker(x);
    gflush();
    auto at = [](int px, int py) {
        uint32_t p = 0;
        lrectread(short(px), short(py), short(px), short(py), &p);
        return p;
    };
    EXPECT_EQ(at(x + 8, 12), rgb(200, 200, 200)) << "inside the triangle";
    EXPECT_EQ(at(x, 12), rgb(0, 0, 0)) << "left edge";
    EXPECT_EQ(at(x + 1, 20), rgb(255, 255, 255)) << "inner white edge";
    EXPECT_EQ(at(x + 25, 12), rgb(50, 50, 50)) << "tip, end point of the lower edge";
    EXPECT_EQ(at(x + 24, 13), rgb(85, 85, 85)) << "end point of a line strip";
    EXPECT_EQ(at(x + 25, 20), picture[size_t(20 * w + x + 25)]) << "outside the triangle";
    lrectwrite(x, 0, x + 25, 25, saved.data());
    gflush();
    std::vector<uint32_t> read(size_t(w * h));
    lrectread(0, 0, w - 1, h - 1, read.data());
    EXPECT_EQ(read, picture);

    // The X window destroyed behind the layer's back: the context is still
    // current and its next flush reaches a dead window. The default X error
    // handler would end the program on BadWindow.
    const Window id = window.id();
    window.destroyBehindTheLayersBack();
    RGBcolor(255, 0, 0);
    sboxfi(0, 0, 15, 15);
    gflush();
    lrectread(0, 0, 0, 0, read.data());
    EXPECT_NE(GLXwinset(display_, id), 0) << "binding again notices the window is gone";
    EXPECT_EQ(GLXunlink(display_, id), 1);
    EXPECT_NE(GLXwinset(display_, 0x7FFFFF0), 0) << "a window that never was";
}

TEST_F(OnDisplay, ThreadsEndingWithoutReleasingBlockNoSuccessorAndUnlinkingSilencesAThread)
{
    // Threads that run one after another often get the same id; a context
    // left current by the first must not make binding fail for the next.
    kgltest::XWindow window(display_, 8, 8);
    std::vector<std::thread::id> ids;
    for (int round = 0; round < 4; ++round) {
        int bound = -1;
        uint32_t back = 0;
        const uint32_t colour = 0x10u * uint32_t(round + 1);
        std::thread painter([&] {
            ids.push_back(std::this_thread::get_id());
            bound = window.bind() ? 0 : -1;
            cpack(colour);
            sboxfi(0, 0, 7, 7);
            gflush();
            lrectread(3, 3, 3, 3, &back);
            // no kglReleaseThread
        });
        painter.join();
        EXPECT_EQ(bound, 0) << "round " << round;
        EXPECT_EQ(back, colour) << "round " << round;
    }
    // One context per distinct thread id: stale ones were replaced.
    std::sort(ids.begin(), ids.end());
    const long distinct = std::unique(ids.begin(), ids.end()) - ids.begin();
    EXPECT_EQ(GLXunlink(display_, window.id()), distinct);

    // Unlinking the window under a thread that has it bound silences that
    // thread's drawing; binding again works.
    std::atomic<int> step{0};
    long readAfterUnlink = -1;
    int rebound = -1;
    std::thread drawer([&] {
        window.bind();
        step = 1;
        while (step.load() != 2)
            std::this_thread::yield();
        sboxfi(0, 0, 3, 3);  // must do nothing, not crash
        uint32_t p = 0;
        readAfterUnlink = lrectread(0, 0, 0, 0, &p);
        rebound = GLXwinset(display_, window.id());
        kglReleaseThread();
    });
    while (step.load() != 1)
        std::this_thread::yield();
    EXPECT_EQ(GLXunlink(display_, window.id()), 1);
    step = 2;
    drawer.join();
    EXPECT_EQ(readAfterUnlink, 0);
    EXPECT_EQ(rebound, 0);
}

// What the close handler of the case below saw.
std::atomic<int> closeCalls{0};
std::atomic<bool> closeFoundTheConnectionOpen{false};
std::atomic<int> closeStep{0};

void onClose(Display *display)
{
    closeCalls += 1;
    // The connection still answers, so other threads can let go through it.
    closeFoundTheConnectionOpen = XSync(display, False) != 0;
    closeStep = 2;
    while (closeStep.load() != 3)
        std::this_thread::yield();
}

TEST_F(OnDisplay, ClosingADisplayLetsOtherThreadsGoOfTheirContextsFirst)
{
    Display *closing = kgltest::openDisplay();
    ASSERT_NE(closing, nullptr);
    kgltest::XWindow window(closing, 8, 8);
    uint32_t drawn = 0;
    std::thread drawer([&] {
        window.bind();
        cpack(0x00FF00u);
        sboxfi(0, 0, 7, 7);
        gflush();
        lrectread(2, 2, 2, 2, &drawn);
        closeStep = 1;
        while (closeStep.load() != 2)
            std::this_thread::yield();
        kglReleaseDisplay(closing);
        closeStep = 3;
        while (closeStep.load() != 4)
            std::this_thread::yield();
        sboxfi(0, 0, 3, 3);  // no context any more: does nothing
        kglReleaseThread();
    });
    while (closeStep.load() != 1)
        std::this_thread::yield();
    EXPECT_EQ(drawn, 0x00FF00u);
    ASSERT_EQ(kglOnDisplayClose(closing, onClose), 0);
    ASSERT_EQ(kglOnDisplayClose(closing, onClose), 0);  // once is enough
    EXPECT_EQ(kglOnDisplayClose(nullptr, onClose), -1);
    window.destroyBehindTheLayersBack();
    kgltest::keepGLDriverLoaded();
    XCloseDisplay(closing);
    closeStep = 4;
    drawer.join();
    EXPECT_EQ(closeCalls.load(), 1);
    EXPECT_TRUE(closeFoundTheConnectionOpen.load());

    // A connection opened afterwards, maybe at the same address, starts
    // afresh.
    Display *again = kgltest::openDisplay();
    ASSERT_NE(again, nullptr);
    {
        kgltest::XWindow other(again, 8, 8);
        EXPECT_TRUE(other.bind());
        kglReleaseThread();
    }
    XCloseDisplay(again);
    EXPECT_EQ(closeCalls.load(), 1);
}

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

// GL and X images (shared memory and plain) leave the same pixels: views
// with bands on every side, offset views, frames hanging off each edge.
TEST_F(OnDisplay, PaintersPutFramesAndBandsOnTheSamePixels)
{
    const Paint views[] = {{1, 0, 0, 96, 72, 38, 28}, {2, 0, 0, 96, 72, 28, 21},
                           {4, 0, 0, 96, 72, 8, 6},   {1, 5, 7, 60, 40, 25, 20},
                           {3, 0, 0, 96, 72, -12, -9}, {4, 0, 0, 96, 72, 40, 30},
                           {2, 0, 0, 40, 30, -10, 50}};
    for (const Paint &view : views) {
        SCOPED_TRACE(testing::Message() << "zoom " << view.zoom << " at " << view.originX << ","
                                        << view.originY);
        kgltest::XWindow gl(display_, kWindowWidth, kWindowHeight);
        kgltest::XWindow shm(display_, kWindowWidth, kWindowHeight, 0, kWindowHeight + 4);
        kgltest::XWindow plain(display_, kWindowWidth, kWindowHeight, kWindowWidth + 4, 0);
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
}

}  // namespace
