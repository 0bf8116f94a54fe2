// The GL layer without a reachable display, or without a current context:
// every call must fail cleanly or do nothing, never crash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kgl/kgl.h"

namespace {

class NoDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *old = std::getenv("DISPLAY");
        saved_ = old ? old : "";
        hadDisplay_ = old != nullptr;
        // A display number no server listens on.
        setenv("DISPLAY", ":97531", 1);
    }
    void TearDown() override
    {
        if (hadDisplay_)
            setenv("DISPLAY", saved_.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }
    std::string saved_;
    bool hadDisplay_ = false;
};

TEST_F(NoDisplay, InquiriesAnswerNoRGBModeAndUnknownSizes)
{
    EXPECT_EQ(getgdesc(KGL_GD_BITS_RGB), 0);
    EXPECT_EQ(getgdesc(KGL_GD_XPMAX), -1);
    EXPECT_EQ(getgdesc(KGL_GD_DBLBUF), -1);
    EXPECT_EQ(kglGetDesc(nullptr, KGL_GD_BITS_RGB), 0);
    EXPECT_EQ(kglGetDesc(nullptr, KGL_GD_YPMAX), -1);
}

TEST_F(NoDisplay, ConfigurationAndBindingRefuseANullDisplay)
{
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

}  // namespace
