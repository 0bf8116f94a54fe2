// The engine's arithmetic and bookkeeping, checked without a display.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <vector>

#include "engine.h"
#include "timing.h"

namespace {

bool readable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

// The pacing thread's arithmetic: the frame period, the carry of an
// oversleep, and when a measured rate is slow.
TEST(Timer, PeriodCarryAndSlowThreshold)
{
    // The period follows rate and speed, rounded to the microsecond, and
    // stays in microseconds beyond a second.
    EXPECT_EQ(__mvPB_CalcDelayFromSpeed(15.0, 1.0), 66667);
    EXPECT_EQ(__mvPB_CalcDelayFromSpeed(15.0, -0.5), 133333);
    EXPECT_EQ(__mvPB_CalcDelayFromSpeed(0.5, 1.0), 2000000);

    // An oversleep turns into several frames and keeps the rest.
    int64_t carry = 0;
    EXPECT_EQ(__mvPB_FramesDue(2 * 40000 + 20000, 40000, &carry), 2);
    EXPECT_EQ(carry, 20000);
    // Within 10 ms of the period the frame is taken now, with a negative carry.
    EXPECT_EQ(__mvPB_FramesDue(33333 - 5000, 33333, &carry), 1);
    EXPECT_EQ(carry, -5000);
    // Further off it is not due yet and the whole time is carried.
    EXPECT_EQ(__mvPB_FramesDue(33333 - 10001, 33333, &carry), 0);
    EXPECT_EQ(carry, 33333 - 10001);
    EXPECT_EQ(__mvPB_FramesDue(33333 - 10000, 33333, &carry), 1);
    EXPECT_EQ(carry, -10000);

    // Slow is below a share of the wanted rate, which speed scales whichever
    // way the movie plays.
    EXPECT_TRUE(__mvPB_IsSlow(14.0, 30.0, 1.0, 0.5));
    EXPECT_FALSE(__mvPB_IsSlow(15.0, 30.0, 1.0, 0.5));
    EXPECT_TRUE(__mvPB_IsSlow(29.0, 30.0, -2.0, 0.5));
    EXPECT_FALSE(__mvPB_IsSlow(30.0, 30.0, -2.0, 0.5));
}

// The frame advance between start frame 10 and end frame 20 of 40, on a
// playback object detached from any thread (it only needs its tick
// semaphore): advanced `step` frames at a time until play ends, or `count`
// times when it does not.
TEST(Advance, LoopModesWrapTurnOrStopAndLimitsCountPasses)
{
    const struct {
        int mode, limit;
        double speed;
        int from, step;
        size_t count;           // advances made, each signalling a tick
        std::vector<int> last;  // the last frames reached
        bool ended;
        double speedAfter;
    } cases[] = {
        // Repeat wraps to the other end either way; a jump past the end lands on the start.
        {MV_LOOP_REPEAT, 0, 1.0, 18, 1, 4, {19, 20, 10, 11}, false, 1.0},
        {MV_LOOP_REPEAT, 0, -1.0, 10, 1, 2, {20, 19}, false, -1.0},
        {MV_LOOP_REPEAT, 0, 1.0, 19, 5, 1, {10}, false, 1.0},
        // Swing holds the end frame and turns.
        {MV_LOOP_SWING, 0, 1.0, 19, 1, 3, {20, 20, 19}, false, -1.0},
        {MV_LOOP_SWING, 0, -1.0, 11, 1, 3, {10, 10, 11}, false, 1.0},
        // Once stops at the end frame.
        {MV_LOOP_ONCE, 0, 1.0, 19, 1, 2, {20, 20}, true, 1.0},
        {MV_LOOP_ONCE, 0, -2.0, 11, 1, 2, {10, 10}, true, -2.0},
        // Two passes, 11..20 and 10..20: the run off the end of the last stops
        // play on the end frame rather than wrapping to the start.
        {MV_LOOP_REPEAT, 2, 1.0, 10, 1, 22, {19, 20, 20}, true, 1.0},
        {MV_LOOP_REPEAT, 2, -1.0, 12, 4, 4, {20, 16, 12, 10}, true, -1.0},
        // Swing counts each direction.
        {MV_LOOP_SWING, 3, 1.0, 10, 1, 33, {19, 20, 20}, true, -1.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " limit " << c.limit << " from "
                                        << c.from);
        MVplayback object;
        object.tickSema = cinelark::arena::PollableSemaphore::create(0);
        object.length = 40;
        object.startFrame = 10;
        object.endFrame = 20;
        object.loopMode = c.mode;
        object.loopLimit = c.limit;
        object.speed = c.speed;
        object.currentFrame = c.from;
        std::vector<int> frames;
        bool ended = false;
        while (!ended && frames.size() < (c.ended ? 1000 : c.count)) {
            ended = __mvPBaud_NextFrame(&object, c.step) == -1;  // 0 while play goes on
            frames.push_back(object.currentFrame);
        }
        ASSERT_EQ(frames.size(), c.count);
        EXPECT_EQ(std::vector<int>(frames.end() - long(c.last.size()), frames.end()), c.last);
        EXPECT_EQ(ended, c.ended);
        EXPECT_EQ(object.stopAtEnd, c.ended ? 1 : 0);
        EXPECT_EQ(object.loopCount, 0);
        EXPECT_EQ(object.speed, c.speedAfter);
        EXPECT_EQ(object.tickSema->value(), int(c.count));
    }
}

TEST(Scrub, PicksTheNearestKeyFrameLaterOnATie)
{
    auto keysAt = [](std::vector<int> keys) {
        return [keys](int32_t f) {
            for (int k : keys)
                if (k == f)
                    return true;
            return false;
        };
    };
    EXPECT_EQ(__mvPB_NearestKeyFrame(10, 100, keysAt({5, 15})), 15);
    EXPECT_EQ(__mvPB_NearestKeyFrame(10, 100, keysAt({7, 15})), 7);
    EXPECT_EQ(__mvPB_NearestKeyFrame(10, 100, keysAt({10, 11})), 10);
    // Only within 30 frames, and not past either end.
    EXPECT_EQ(__mvPB_NearestKeyFrame(40, 100, keysAt({5, 71})), 40);
    EXPECT_EQ(__mvPB_NearestKeyFrame(40, 100, keysAt({10, 71})), 10);
    EXPECT_EQ(__mvPB_NearestKeyFrame(98, 100, keysAt({100, 70})), 70);
    EXPECT_EQ(__mvPB_NearestKeyFrame(2, 100, keysAt({})), 2);
}

// The zoom is a whole factor that fits and never shrinks; the origin
// centres the shown picture in the view.
TEST(View, ZoomAndOriginPlaceThePicture)
{
    MVplayback object;
    object.width = 160;
    object.height = 120;
    EXPECT_EQ(__mvPBapi_CalcZoom(&object, 500, 300), 2.0);
    EXPECT_EQ(__mvPBapi_CalcZoom(&object, 100, 50), 1.0);
    EXPECT_EQ(__mvPBapi_CalcZoom(&object, 640, 480), 4.0);
    EXPECT_EQ(__mvPBapi_CalcZoom(&object, 639, 480), 3.0);

    object.viewWidth = 500;
    object.viewHeight = 300;
    object.shownWidth = 320;
    object.shownHeight = 240;
    int16_t x = 0, y = 0;
    __mvPBapi_CalcActualOrigin(&object, 0, 0, &x, &y);
    EXPECT_EQ(x, 90);
    EXPECT_EQ(y, 30);
    __mvPBapi_CalcActualOrigin(&object, 7, -4, &x, &y);
    EXPECT_EQ(x, 97);
    EXPECT_EQ(y, 26);
    // A view smaller than the picture places it at a negative offset.
    object.viewWidth = 100;
    object.viewHeight = 101;
    __mvPBapi_CalcActualOrigin(&object, 0, 0, &x, &y);
    EXPECT_EQ(x, 50 - 160);
    EXPECT_EQ(y, 50 - 120);
}

// The event queue is process-wide; these cases share it and each drains it.
struct Events : ::testing::Test {
    MVplayback object;
    int fd = -1;
    void SetUp() override
    {
        ASSERT_EQ(mvGetEventFD(&fd), 0);
        MVevent e;
        while (mvPendingEvents() > 0)
            mvNextEvent(&e);
        object.movie = 4321;
        mvSetSelectEvents(MV_EVENT_MASK_STOP | MV_EVENT_MASK_ERROR);
    }
};

TEST_F(Events, MaskOrderGrowthAndDescriptor)
{
    using namespace cinelark::playback;
    EXPECT_EQ(mvGetSelectEvents(), MV_EVENT_MASK_STOP | MV_EVENT_MASK_ERROR);
    EXPECT_EQ(__mvEV_SendEvent(&object, kEventFrame), 0);
    EXPECT_EQ(__mvEV_SendEvent(&object, kEventSlow), 0);
    EXPECT_EQ(mvPendingEvents(), 0);
    EXPECT_FALSE(readable(fd));
    object.pendingError = 1023;
    object.bufferedFrame = 12;
    __mvEV_SendEvent(&object, kEventError);
    ASSERT_EQ(mvPendingEvents(), 1);
    MVevent e;
    ASSERT_EQ(mvNextEvent(&e), 0);
    EXPECT_EQ(e.type, MV_EVENT_ERROR);
    EXPECT_EQ(e.value, 1023);
    EXPECT_EQ(e.frame, 12);
    EXPECT_EQ(e.movie, 4321);

    // Frame and slow events in turn, frame i carrying i. Filling and
    // draining part of the ring leaves the pending events straddling its
    // end; then it is overfilled, so that it grows between write and read.
    mvSetSelectEvents(30);
    int sent = 0, taken = 0;
    const auto sendTo = [&](int end) {
        for (; sent < end; sent++) {
            object.bufferedFrame = sent;
            ASSERT_EQ(__mvEV_SendEvent(&object, sent % 2 ? kEventFrame : kEventSlow), 0);
            EXPECT_TRUE(readable(fd));
        }
    };
    const auto takeTo = [&](int end) {
        for (; taken < end; taken++) {
            ASSERT_EQ(mvNextEvent(&e), 0);
            EXPECT_EQ(e.frame, taken);
            EXPECT_EQ(e.type, taken % 2 ? MV_EVENT_FRAME : MV_EVENT_SLOW_PLAY);
            EXPECT_EQ(readable(fd), taken + 1 < sent) << taken;
        }
    };
    sendTo(7);
    takeTo(5);
    sendTo(60);
    EXPECT_EQ(mvPendingEvents(), 55);
    ASSERT_NE(mvPeekEvent(&e), nullptr);
    EXPECT_EQ(e.frame, 5);
    EXPECT_EQ(mvPendingEvents(), 55);
    takeTo(60);
    EXPECT_EQ(mvNextEvent(&e), -1);
    // A new event makes the descriptor readable again.
    __mvEV_SendEvent(&object, kEventStop);
    EXPECT_TRUE(readable(fd));
    EXPECT_EQ(mvPendingEvents(), 1);
}

TEST_F(Events, AFailedEngineStartKeepsTheDescriptor)
{
    // No descriptor can be had beyond those open now, so the engine's start
    // fails at its first one; an event queued before it is still there.
    __mvEV_SendEvent(&object, cinelark::playback::kEventStop);
    struct stat before {}, after {};
    ASSERT_EQ(fstat(fd, &before), 0);
    const int lowestFree = open("/dev/null", O_RDONLY);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int started = __mvPB_InitPlaybackGlobals();
    setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_EQ(started, -1);
    EXPECT_EQ(__mvPB_IsInitialized(), 0);
    int again = -1;
    ASSERT_EQ(mvGetEventFD(&again), 0);
    EXPECT_EQ(again, fd);
    ASSERT_EQ(fstat(fd, &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_TRUE(readable(fd));
    EXPECT_EQ(mvPendingEvents(), 1);
}

TEST(PublicCalls, UnboundMoviesAreRefused)
{
    const MVid nobody = 99991;
    EXPECT_EQ(mvPlay(nobody), -1);
    EXPECT_EQ(mvGetErrno(), 1001);
    EXPECT_EQ(mvSetCurrentFrame(nobody, 3), -1);
    EXPECT_EQ(mvGetCurrentFrame(nobody), -1);
    EXPECT_EQ(mvSetPlaySpeed(nobody, 2.0), -1);
    EXPECT_EQ(mvGetErrno(), 1001);
    int x = 0, y = 0;
    EXPECT_EQ(mvGetViewOffset(nobody, &x, &y, 0), -1);
    EXPECT_EQ(mvSetStartFrame(nobody, 1), -1);
    double rate = 0;
    EXPECT_EQ(mvGetActualFrameRate(nobody, &rate), -1);
}

}  // namespace
