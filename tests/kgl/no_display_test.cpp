// The GL layer without a reachable display, or without a current context:
// every call must fail cleanly or do nothing, never crash; and the X image
// painter's pixel arithmetic, which needs no display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "kgl/kgl.h"
#include "ximage_painter.h"

namespace {

// A display number no server listens on, for the whole program.
const bool displayUnreachable = setenv("DISPLAY", ":97531", 1) == 0;

TEST(NoDisplay, InquiriesAnswerNoRGBModeAndUnknownSizesAndANullDisplayIsRefused)
{
    ASSERT_TRUE(displayUnreachable);
    EXPECT_EQ(getgdesc(KGL_GD_BITS_RGB), 0);
    EXPECT_EQ(getgdesc(KGL_GD_XPMAX), -1);
    EXPECT_EQ(getgdesc(KGL_GD_DBLBUF), -1);
    EXPECT_EQ(kglGetDesc(nullptr, KGL_GD_BITS_RGB), 0);
    EXPECT_EQ(kglGetDesc(nullptr, KGL_GD_YPMAX), -1);

    const GLXconfig wanted[] = {{KGLX_NORMAL, KGLX_RGB, 1}, {0, 0, 0}};
    EXPECT_EQ(GLXgetconfig(nullptr, 0, wanted), nullptr);
    EXPECT_NE(GLXwinset(nullptr, 1), 0);
    EXPECT_EQ(GLXunlink(nullptr, 1), 0);
}

TEST(WithoutContext, DrawingCallsDoNothingAndReadsReturnNothing)
{
    // None of these may touch GL state or memory without a current context.
    viewport(0, 99, 0, 99);
    ortho2(-0.5f, 99.5f, -0.5f, 99.5f);
    RGBcolor(1, 2, 3);
    cpack(0xFF000000u);
    sboxfi(0, 0, 10, 10);
    const int triangle[3][2] = {{0, 0}, {0, 25}, {25, 12}};
    polf2i(3, triangle);
    bgnline();
    v2i(triangle[0]);
    endline();
    move2i(0, 0);
    draw2i(5, 5);
    rectzoom(2.0f, 2.0f);
    const uint32_t pixel = 0x00112233u;
    lrectwrite(0, 0, 0, 0, &pixel);
    gflush();
    uint32_t out = 0xDEADBEEFu;
    EXPECT_EQ(lrectread(0, 0, 0, 0, &out), 0);
    EXPECT_EQ(out, 0xDEADBEEFu);
    kglReleaseThread();
}

// Window pixels of a rectangle and the source column each shows: whole and
// fractional zooms, clipped at both window edges.
struct SpanCase {
    int corner, size;
    float zoom;
    int limit, first;
    std::vector<int> source;
};

TEST(XImagePixels, SpansFollowGLsZoomRule)
{
    const SpanCase cases[] = {
        {2, 3, 1.0f, 10, 2, {0, 1, 2}},
        {0, 3, 2.0f, 10, 0, {0, 0, 1, 1, 2, 2}},
        {-3, 3, 2.0f, 10, 0, {1, 2, 2}},
        {7, 3, 2.0f, 10, 7, {0, 0, 1}},
        {0, 2, 1.5f, 10, 0, {0, 1, 1}},  // centres at 0.5, 1.5, 2.5 over 1.5
        {12, 2, 1.0f, 10, 12, {}},
    };
    for (const SpanCase &c : cases) {
        kgl::Span span;
        span.place(c.corner, c.size, c.zoom, c.limit);
        EXPECT_EQ(span.first, c.first) << c.corner << " x" << c.zoom;
        EXPECT_EQ(span.source, c.source) << c.corner << " x" << c.zoom;
        EXPECT_EQ(span.count, int(c.source.size()));
    }
}

TEST(XImagePixels, SixteenBitPixelsKeepTheTopBitsAndSpreadBack)
{
    kgl::PixelFormat rgb565;  // red 11-15, green 5-10, blue 0-4
    rgb565.bytesPerPixel = 2;
    rgb565.redShift = 11, rgb565.greenShift = 5, rgb565.blueShift = 0;
    rgb565.redLoss = 3, rgb565.greenLoss = 2, rgb565.blueLoss = 3;
    EXPECT_EQ(rgb565.pixel(0xFF0000FFu), 0xF800u);  // red
    EXPECT_EQ(rgb565.pixel(0x0000FF00u), 0x07E0u);  // green
    EXPECT_EQ(rgb565.pixel(0x00FF0000u), 0x001Fu);  // blue
    EXPECT_EQ(rgb565.pixel(0x00080408u), 0x0821u);  // the lowest kept bit of each
    EXPECT_EQ(rgb565.word(0xFFFF), 0x00FFFFFFu);
    EXPECT_EQ(rgb565.word(0x0821), 0x00080408u);  // 1/31 and 1/63 of full
    kgl::PixelFormat bgr888;  // the usual 24-bit visual
    EXPECT_EQ(bgr888.pixel(0x00332211u), 0x112233u);
    EXPECT_EQ(bgr888.word(0x112233u), 0x00332211u);
}

}  // namespace
