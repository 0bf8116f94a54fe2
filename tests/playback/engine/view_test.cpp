// Views of a bound movie: size, zoom, offset, background, resizing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

#include "engine.h"
#include "engine_fixture.h"

namespace engine_test {
namespace {

using namespace std::chrono_literals;

constexpr int kW = 16, kH = 12;
constexpr uint32_t kGrey = 0x00aaaaaa;

class View : public EngineTest {
protected:
    View() : EngineTest(80, 60) {}
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(movie_.ok());
        ASSERT_EQ(mvBindWindow(movie_.id(), display_, window_), 0);
        ASSERT_EQ(mvResizeWindow(display_, window_), 0);
    }
    void TearDown() override
    {
        movie_.close();
        mvSetFrameDisplay(1);
        EngineTest::TearDown();
    }
    MVid id() const { return movie_.id(); }
    TestMovie movie_{kW, kH, 10, 50.0};
};

TEST_F(View, SizeSetsAWholeZoomCentringThePictureAndOffsetsMoveItAlsoAfterAResize)
{
    const auto query = [this](int width, int height) {
        int w = 0, h = 0;
        EXPECT_EQ(mvQueryViewSize(id(), width, height, 0, &w, &h), 0);
        return std::pair{w, h};
    };
    int w = 0, h = 0;
    ASSERT_EQ(mvGetViewSize(id(), &w, &h), 0);
    EXPECT_EQ(std::pair(w, h), std::pair(kW, kH));
    // 70 x 50 fits a zoom of 4: 64 x 48 shown at (3, 1), the bands around
    // it (left, right, top and bottom) in the background colour.
    ASSERT_EQ(mvSetViewSize(id(), 70, 50), 0);
    EXPECT_EQ(query(70, 50), std::pair(64, 48));
    int ox = 0, oy = 0;
    ASSERT_EQ(mvQueryViewOffset(id(), 0, 0, &ox, &oy, 1), 0);
    EXPECT_EQ(std::pair(ox, oy), std::pair(3, 1));
    for (const auto &[x, y, shown] :
         {std::tuple{3, 1, framePixel(0, 0, 0)}, {3 + 4 * 5 + 3, 1 + 4 * 3 + 2, framePixel(0, 5, 3)},
          {66, 48, framePixel(0, kW - 1, kH - 1)}, {1, 20, kGrey}, {68, 20, kGrey},
          {30, 49, kGrey}, {30, 0, kGrey}})
        EXPECT_EQ(windowPixel(window_, x, y), shown) << x << "," << y;
    // Another background colour is kept and painted in the bands.
    ASSERT_EQ(mvSetViewBackground(id(), 255, 0, 40), 0);
    EXPECT_EQ(windowPixel(window_, 1, 20), 0x002800ffu);
    EXPECT_EQ(windowPixel(window_, 3, 1), framePixel(0, 0, 0));

    // Flag 0 measures from the window's top: 4 down in a 60-pixel window
    // puts a 50-pixel view's bottom at 6.
    ASSERT_EQ(mvSetViewOffset(id(), 5, 4, 0), 0);
    int x = 0, y = 0;
    ASSERT_EQ(mvGetViewOffset(id(), &x, &y, 1), 0);
    EXPECT_EQ(std::pair(x, y), std::pair(5, 6));
    ASSERT_EQ(mvQueryViewOffset(id(), 5, 6, &ox, &oy, 1), 0);
    EXPECT_EQ(std::pair(ox, oy), std::pair(8, 7));
    ASSERT_EQ(mvQueryViewOffset(id(), 5, 6, &ox, &oy, 0), 0);
    EXPECT_EQ(oy, 60 - 7 - 48);
    EXPECT_EQ(windowPixel(window_, 8, 7), framePixel(0, 0, 0));
    EXPECT_EQ(windowPixel(window_, 6, 7), 0x002800ffu);
    // A resized window keeps the view where it was; its top-down offset
    // follows the new height.
    XResizeWindow(display_, window_, 120, 90);
    XSync(display_, False);
    ASSERT_EQ(mvResizeWindow(display_, window_), 0);
    ASSERT_EQ(mvGetViewOffset(id(), &x, &y, 0), 0);
    EXPECT_EQ(y, 90 - 6 - 50);
    ASSERT_EQ(mvShowCurrentFrame(id()), 0);
    EXPECT_EQ(windowPixel(window_, 8, 7), framePixel(0, 0, 0));
}

// Frame display off, and a window destroyed behind the engine's back, stop
// the painting and nothing else.
TEST_F(View, FrameDisplayOffAndAWindowThatGoesAwayStopNothingButThePicture)
{
    ASSERT_EQ(mvShowCurrentFrame(id()), 0);
    mvSetFrameDisplay(0);
    // A new frame is read but not painted while frame display is off...
    ASSERT_EQ(mvSetCurrentFrame(id(), 5), 0);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(windowPixel(window_, 2, 2), framePixel(0, 2, 2));
    // ...but showing the current frame of a stopped movie paints it.
    ASSERT_EQ(mvShowCurrentFrame(id()), 0);
    EXPECT_EQ(windowPixel(window_, 2, 2), framePixel(5, 2, 2));
    EXPECT_EQ(mvGetFrameDisplay(), 0);

    mvSetFrameDisplay(1);
    mvSetPlayLoopMode(id(), MV_LOOP_ONCE);
    ASSERT_EQ(mvSetPlaySpeed(id(), 2.0), 0);
    windows_.back()->destroyBehindTheLayersBack();
    EXPECT_EQ(mvShowCurrentFrame(id()), 0);
    ASSERT_EQ(mvPlay(id()), 0);
    EXPECT_EQ(waitFor(MV_EVENT_STOP).count(MV_EVENT_STOP), 1);
    EXPECT_EQ(mvGetCurrentFrame(id()), 9);
}

class Start : public EngineTest {};

TEST_F(Start, OnTheMoviesDisplayWithoutAnyDefaultDisplay)
{
    if (__mvPB_IsInitialized())
        GTEST_SKIP() << "the engine was started by an earlier test";
    const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    TestMovie movie(kW, kH, 3, 50.0);
    const int bound = mvBindWindow(movie.id(), display_, makeWindow(kW, kH));
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(bound, 0) << mvGetErrorStr(mvGetErrno());
}

}  // namespace
}  // namespace engine_test
