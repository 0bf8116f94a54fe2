// Whole movies bound to X windows and played by the engine's threads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#include <cinelark/playback.h>

#include "engine_fixture.h"
#include "frames.h"
#include "kgl/x_server.h"
#include "movie/movie_builders.h"

namespace engine_test {
namespace {

using namespace std::chrono_literals;

constexpr int kW = 16, kH = 12;

class Play : public EngineTest {
protected:
    Play() : EngineTest(kW, kH) {}
    // Binds the movie to the window and sets its speed: the files allow
    // 100 frame/s at most, and the tests play faster to stay short.
    void bind(TestMovie &movie, double speed = 2.0)
    {
        ASSERT_TRUE(movie.ok()) << mvGetErrorStr(mvGetErrno());
        ASSERT_EQ(mvBindWindow(movie.id(), display_, window_), 0) << mvGetErrorStr(mvGetErrno());
        ASSERT_EQ(mvSetPlaySpeed(movie.id(), speed), 0);
    }
    // The frame events' frames, in order.
    static std::vector<int> frames(const Collected &c)
    {
        std::vector<int> out;
        for (const MVevent &e : c.events)
            if (e.type == MV_EVENT_FRAME)
                out.push_back(e.frame);
        return out;
    }
};

// The lossless inter-frame scheme codes frames against the frame before,
// with a key frame every fifth frame: 0, 5, 10 and 15 here.
TEST_F(Play, BindingReadsTheFirstFrameShowSetAndScrubPaintOnceTheGLLockIsFree)
{
    mvInitQuickTime();
    TestMovie movie(kW, kH, 20, 100.0, "Apple Animation");
    bind(movie);
    EXPECT_EQ(mvGetCurrentFrame(movie.id()), 0);
    EXPECT_EQ(mvGetPlayLoopMode(movie.id()), mvGetLoopMode(movie.id()));
    // Binding twice is refused.
    EXPECT_EQ(mvBindWindow(movie.id(), display_, window_), -1);

    ASSERT_EQ(mvShowCurrentFrame(movie.id()), 0);
    for (auto [x, y] : {std::pair{0, 0}, {kW - 1, 0}, {0, kH - 1}, {7, 5}})
        EXPECT_EQ(windowPixel(window_, x, y), framePixel(0, x, y)) << x << "," << y;

    // Setting the frame does not snap: an inter frame is decoded through
    // the frames since its key frame, and painted.
    ASSERT_EQ(mvSetCurrentFrame(movie.id(), 7), 0);
    EXPECT_TRUE(waitForPixel(window_, 2, 2, framePixel(7, 2, 2)));
    // Past either end selects the last frame; start and end do not limit it.
    mvSetEndFrame(movie.id(), 10);
    ASSERT_EQ(mvSetCurrentFrame(movie.id(), 500), 0);
    EXPECT_EQ(mvGetCurrentFrame(movie.id()), 19);
    ASSERT_EQ(mvSetCurrentFrame(movie.id(), -3), 0);
    EXPECT_EQ(mvGetCurrentFrame(movie.id()), 19);
    EXPECT_TRUE(waitForPixel(window_, 2, 2, framePixel(19, 2, 2)));

    // Holding the GL lock holds back the paint: the frame is read but waits
    // for the lock to be painted and reported.
    mvSetSelectEvents(MV_EVENT_MASK_FRAME);
    mvGrabKelvoGL();
    ASSERT_EQ(mvSetCurrentFrame(movie.id(), 6), 0);
    const Collected early = collect(200ms);
    const uint32_t meanwhile = windowPixel(window_, 2, 2);
    mvReleaseKelvoGL();
    EXPECT_EQ(early.count(MV_EVENT_FRAME), 0);
    EXPECT_EQ(meanwhile, framePixel(19, 2, 2));
    const Collected got = waitFor(MV_EVENT_FRAME);
    ASSERT_EQ(got.count(MV_EVENT_FRAME), 1);
    EXPECT_EQ(got.first(MV_EVENT_FRAME)->frame, 6);
    EXPECT_EQ(windowPixel(window_, 2, 2), framePixel(6, 2, 2));

    // Each scrub looks for key frames while the file thread decodes.
    ASSERT_EQ(mvSetPlaySpeed(movie.id(), 20.0), 0);
    mvSetSelectEvents(MV_EVENT_MASK_ERROR);
    mvSetPlayLoopMode(movie.id(), MV_LOOP_REPEAT);
    ASSERT_EQ(mvPlay(movie.id()), 0);
    for (int i = 0; i < 500; i++)
        ASSERT_EQ(mvScrubCurrentFrame(movie.id(), i * 7 % 20), 0);
    ASSERT_EQ(mvStop(movie.id()), 0);
    EXPECT_EQ(collect(50ms).count(MV_EVENT_ERROR), 0);
    // The decoder is still in step. In an order that jumps back and forth,
    // so that each picture must be decoded from its own key frame, not from
    // the one shown before.
    for (auto [asked, landed] : {std::pair{7, 5}, {13, 15}, {2, 0}, {8, 10}, {19, 15}, {12, 10},
                                 {3, 5}, {10, 10}, {-1, 15}}) {
        ASSERT_EQ(mvScrubCurrentFrame(movie.id(), asked), 0);
        EXPECT_EQ(mvGetCurrentFrame(movie.id()), landed) << "scrub to " << asked;
        EXPECT_TRUE(waitForPixel(window_, 5, 5, framePixel(landed, 5, 5))) << "scrub to " << asked;
    }
}

TEST_F(Play, TwoMoviesPlayOnceAtOnceEachWithOneStopEventAndNoFrameEvents)
{
    TestMovie movie(kW, kH, 30, 100.0), other(kW, kH, 20, 100.0);
    bind(movie);
    ASSERT_EQ(mvBindWindow(other.id(), display_, makeWindow(kW, kH)), 0);
    ASSERT_EQ(mvSetPlayLoopMode(movie.id(), MV_LOOP_ONCE), 0);
    mvSetPlayLoopMode(other.id(), MV_LOOP_ONCE);
    EXPECT_EQ(mvSetPlaySpeed(movie.id(), 0.0), -1);
    EXPECT_EQ(mvGetPlaySpeed(movie.id()), 2.0);
    // Backwards from frame 20 to the first, while the other plays forwards.
    ASSERT_EQ(mvSetPlaySpeed(movie.id(), -2.0), 0);
    ASSERT_EQ(mvSetCurrentFrame(movie.id(), 20), 0);
    ASSERT_EQ(mvPlay(movie.id()), 0);
    EXPECT_EQ(mvPlay(movie.id()), 0);  // already playing: nothing
    ASSERT_EQ(mvPlay(other.id()), 0);
    Collected got = waitFor(MV_EVENT_STOP);
    for (const MVevent &e : waitFor(MV_EVENT_STOP).events)
        got.events.push_back(e);
    ASSERT_EQ(got.count(MV_EVENT_STOP), 2);
    EXPECT_EQ(got.count(MV_EVENT_FRAME), 0);
    for (const MVevent &e : got.events)
        EXPECT_EQ(e.frame, e.movie == movie.id() ? 0 : 19) << e.movie;
    EXPECT_TRUE(waitForPixel(window_, 3, 3, framePixel(0, 3, 3)));
    EXPECT_EQ(collect(100ms).events.size(), 0u);
    EXPECT_EQ(mvStop(movie.id()), 0);  // already stopped: nothing
    EXPECT_EQ(collect(50ms).events.size(), 0u);
}

TEST_F(Play, SlowPlayEveryFrameModeSwitchedWhilePlayingStopsAtAnyMomentAndClosingStopsAll)
{
    TestMovie movie(kW, kH, 40, 50.0);
    bind(movie, 1.0);
    mvSetSelectEvents(MV_EVENT_MASK_FRAME | MV_EVENT_MASK_STOP | MV_EVENT_MASK_SLOW_PLAY);
    mvSetPlayLoopMode(movie.id(), MV_LOOP_REPEAT);
    // With a threshold no rate can reach, every measured second is slow.
    mvSetSlowThreshold(1000.0);
    ASSERT_EQ(mvPlay(movie.id()), 0);
    const Collected slow = waitFor(MV_EVENT_SLOW_PLAY, 10s);
    double rate = -1;
    const int measured = mvGetActualFrameRate(movie.id(), &rate);
    mvSetSlowThreshold(0.5);
    ASSERT_EQ(slow.count(MV_EVENT_SLOW_PLAY), 1);
    EXPECT_EQ(slow.first(MV_EVENT_SLOW_PLAY)->movie, movie.id());
    EXPECT_EQ(slow.first(MV_EVENT_SLOW_PLAY)->value, 0);
    // The frames painted in the measured second: at most the movie's rate
    // (on a machine stalled for a whole second, none).
    ASSERT_EQ(measured, 0);
    EXPECT_GE(rate, 0.0);
    EXPECT_LE(rate, 55.0);
    // Switched on while playing timed: from here on no frame is skipped and
    // frames come as fast as they are read and painted.
    ASSERT_EQ(mvSetPlayEveryFrame(movie.id(), 1), 0);
    drainEvents();
    // The hand-over may take a while on a slow machine (or under a race
    // detector); the rate is measured from the first frame it shows.
    ASSERT_EQ(waitFor(MV_EVENT_FRAME, 5000ms).count(MV_EVENT_FRAME), 1);
    std::vector<int> shown = frames(collect(300ms));
    ASSERT_GE(shown.size(), 16u);  // timed play would show 15 in this time
    for (size_t i = 1; i < shown.size(); i++)
        EXPECT_TRUE(shown[i] == shown[i - 1] + 1 || (shown[i - 1] == 39 && shown[i] == 0))
            << shown[i - 1] << " then " << shown[i];
    // And off again: timed play resumes at the movie's own rate.
    ASSERT_EQ(mvSetPlayEveryFrame(movie.id(), 0), 0);
    drainEvents();
    shown = frames(collect(400ms));
    EXPECT_GE(shown.size(), 10u);
    EXPECT_LE(shown.size(), 30u);
    // At a frame every 200 us, stops meet the pacing thread in every part of
    // its round, also while every-frame play is switched on or off.
    ASSERT_EQ(mvSetPlaySpeed(movie.id(), 100.0), 0);
    stressPlayAndStop(movie.id(), 5000);
    EXPECT_EQ(mvGetActualFrameRate(movie.id(), &rate), -1);  // none while stopped
    // Closing while playing stops everything.
    ASSERT_EQ(mvPlay(movie.id()), 0);
    const MVid id = movie.id();
    ASSERT_EQ(movie.close(), 0);
    EXPECT_EQ(mvGetCurrentFrame(id), -1);
    drainEvents();
    EXPECT_EQ(collect(60ms).events.size(), 0u);
}

// Frames that cannot be decoded and frames that cannot be read each become
// an error event naming the frame, and play goes on past them.
TEST_F(Play, FramesThatFailToDecodeOrReadBecomeErrorEventsAndPlayGoesOn)
{
    // RLE24 is lossless, so the pictures around the damage can be checked.
    TestMovie movie(kW, kH, 12, 100.0, "RLE24");
    ASSERT_TRUE(movie.breakFrame(4) && movie.breakFrame(7));
    bind(movie);
    // With the engine idle, the track loses its last two frames: the
    // engine still counts twelve, and reading the missing ones fails.
    ASSERT_EQ(mvDeleteFrames(movie.track(), 10, 2), 0);
    mvSetSelectEvents(MV_EVENT_MASK_FRAME | MV_EVENT_MASK_STOP | MV_EVENT_MASK_ERROR);
    mvSetPlayLoopMode(movie.id(), MV_LOOP_ONCE);
    ASSERT_EQ(mvSetPlayEveryFrame(movie.id(), 1), 0);
    ASSERT_EQ(mvPlay(movie.id()), 0);
    Collected got = waitFor(MV_EVENT_STOP);
    ASSERT_EQ(got.count(MV_EVENT_STOP), 1);
    EXPECT_EQ(got.first(MV_EVENT_STOP)->frame, 11);
    // The last frame's error is reported just after the stop it ends with.
    for (const MVevent &e : collect(100ms).events)
        got.events.push_back(e);
    std::vector<int> failed;
    for (const MVevent &e : got.events)
        if (e.type == MV_EVENT_ERROR) {
            failed.push_back(e.frame);
            EXPECT_EQ(e.movie, movie.id());
            if (e.frame >= 10)
                EXPECT_EQ(e.value, 1011) << e.frame;
            else
                EXPECT_NE(e.value, 0) << e.frame;
        }
    EXPECT_EQ(failed, (std::vector<int>{4, 7, 10, 11}));
    // The frames after a damaged one decode and show as ever.
    EXPECT_TRUE(waitForPixel(window_, 3, 3, framePixel(9, 3, 3)));
    // The failed frame is not read again until the frame moves.
    ASSERT_EQ(mvShowCurrentFrame(movie.id()), 0);
    EXPECT_EQ(collect(50ms).count(MV_EVENT_ERROR), 0);
}

// A movie without pictures, one whose first frame cannot be read, and a
// display without GLX when GL painting is asked for, are refused with their
// errors (by default such a display is painted with X images).
TEST_F(Play, MoviesThatCannotShowAFrameAndDisplaysThatCannotPaintCannotBeBound)
{
    testing_movie::MemMovie empty(MV_FORMAT_NATIVE_3, 1 << 16);
    ASSERT_EQ(empty.created(), 0);
    EXPECT_EQ(mvBindWindow(empty.id(), display_, window_), -1);
    EXPECT_EQ(mvGetCurrentFrame(empty.id()), -1);
    EXPECT_EQ(mvClose(empty.id()), 0);

    // The first frame is read on the engine's main thread; its error must
    // reach the thread that bound the movie.
    TestMovie movie(kW, kH, 4, 100.0, "RLE24");
    ASSERT_TRUE(movie.breakFrame(0));
    std::vector<uint32_t> picture(kW * kH);
    ASSERT_EQ(__mvT_ReadRGBXImage(movie.track(), 0, picture.size() * 4, picture.data()), -1);
    const int readError = mvGetErrno();
    ASSERT_NE(readError, 0);
    EXPECT_EQ(mvBindWindow(movie.id(), display_, window_), -1);
    EXPECT_EQ(mvGetErrno(), readError) << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(mvGetCurrentFrame(movie.id()), -1);

    kgltest::XServer server({"-extension", "GLX"});
    ASSERT_FALSE(server.name().empty()) << "Xvfb without GLX did not come up";
    Display *plain = XOpenDisplay(server.name().c_str());
    ASSERT_NE(plain, nullptr);
    Window w = XCreateSimpleWindow(plain, DefaultRootWindow(plain), 0, 0, 16, 16, 0, 0, 0);
    TestMovie other(kW, kH, 3, 50.0);
    setenv("CINELARK_PAINT", "gl", 1);
    EXPECT_EQ(mvBindWindow(other.id(), plain, w), -1);
    unsetenv("CINELARK_PAINT");
    EXPECT_EQ(mvGetErrno(), 1002);
    EXPECT_EQ(mvGetCurrentFrame(other.id()), -1);
    XDestroyWindow(plain, w);
    XCloseDisplay(plain);
}

}  // namespace
}  // namespace engine_test
