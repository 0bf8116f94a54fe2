// Timing: the timer thread that paces a movie without sound, the frame period
// for a speed, the speed and every-frame commands, the freeze hand-over into
// every-frame play, and the frame-rate measurement behind
// mvGetActualFrameRate and the slow-play event.
//
// The timer never drifts: it sleeps one period at a time, measures how long it
// really slept, turns the elapsed time into whole frames and keeps the rest
// as a carry (negative when a frame was taken up to 10 ms early). Oversleeping
// becomes several frames in one advance; the main thread then shows only the
// latest.
#include <sys/times.h>
#include <unistd.h>

#include <chrono>
#include <cmath>

#include "audio_playback.h"
#include "engine.h"
#include "error.h"
#include "model.h"
#include "timing.h"

using namespace cinelark::playback;

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<double> gSlowThreshold{0.5};

// Parks the pacing thread at the gate until the next play (or every-frame
// mode is left); false when it was woken to end instead.
bool park(MVplayback *object)
{
    object->gate.P();
    object->gate.V();
    return !object->pacingStop.load();
}

// Sleeps until the deadline, or less when poked by a halt, a freeze or
// teardown.
void sleepUntil(MVplayback *object, Clock::time_point deadline)
{
    PacingWake &wake = object->pacingWake;
    std::unique_lock<std::mutex> hold(wake.lock);
    wake.changed.wait_until(hold, deadline, [&] { return wake.poked; });
    wake.poked = false;
}

int32_t clockTicks()
{
    struct tms unused;
    return int32_t(times(&unused));
}

}  // namespace

int32_t __mvPB_CalcDelayFromSpeed(double imageRate, double speed)
{
    return int32_t((1.0 / imageRate) * 1000000.0 / std::fabs(speed) + 0.5);
}

int32_t __mvPB_FramesDue(int64_t elapsed, int32_t frameDelay, int64_t *carry)
{
    int64_t due = elapsed / frameDelay;
    if (due == 0 && elapsed + kEarlyFrameMicroseconds >= frameDelay)
        due = 1;
    *carry = elapsed - int64_t(frameDelay) * due;
    return int32_t(due);
}

bool __mvPB_IsSlow(double actualRate, double imageRate, double speed, double threshold)
{
    return actualRate / (imageRate * std::fabs(speed)) < threshold;
}

void __mvPB_PokePacingThread(MVplayback *object)
{
    PacingWake &wake = object->pacingWake;
    {
        std::lock_guard<std::mutex> hold(wake.lock);
        wake.poked = true;
    }
    wake.changed.notify_one();
}

void __mvPB_TimerThread(MVplayback *object)
{
    object->frameDelay = __mvPB_CalcDelayFromSpeed(object->imageRate, object->speed.load());
    object->haltRequest = 0;
    object->playing = 0;
    object->pacingReady = true;
    if (!park(object))
        return;
    Clock::time_point last = Clock::now();
    int64_t carry = 0;
    for (;;) {
        if (object->pacingStop.load())
            return;
        if (object->haltRequest.load()) {
            object->haltRequest = 0;
            object->playing = 0;
            if (!park(object))
                return;
            last = Clock::now();
            carry = 0;
            continue;
        }
        if (object->freezeRequest.load()) {
            object->tickSema->V();
            object->freezeRequest = 0;
            if (!park(object))
                return;
            last = Clock::now();
            carry = 0;
            continue;
        }
        const int32_t delay = object->frameDelay.load();
        sleepUntil(object, last + std::chrono::microseconds(delay - carry));
        if (object->pacingStop.load() || object->haltRequest.load() ||
            object->freezeRequest.load())
            continue;
        const Clock::time_point now = Clock::now();
        const int64_t elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(now - last).count() + carry;
        last = now;
        const int32_t due = __mvPB_FramesDue(elapsed, delay, &carry);
        if (due >= 1 && __mvPBaud_NextFrame(object, due) != 0) {
            // End of play: close the gate (unless a halt already did) so
            // that the next iteration parks.
            object->gate.tryP();
            object->haltRequest = 1;
        }
    }
}

void __mvPBmain_SetSpeed(MVplayback *object, double speed)
{
    object->speed = speed;
    if (object->audioPort)
        __mvPB_InitResampledAudioBuffer(object);
    object->frameDelay = __mvPB_CalcDelayFromSpeed(object->imageRate, speed);
    // A decoder that can leave pictures out keeps up at speed.
    if (object->imageTrack != 0)
        __mvT_SetPlaySpeed(object->imageTrack, speed);
    __mvPB_InitInstrument(object);
}

void __mvPBapi_FreezeTimer(MVplayback *object)
{
    if (!object->everyFrame.load())
        return;
    // The gate is already closed when the timer is ending play by itself;
    // that play is about to stop, so there is nothing to freeze.
    if (!object->gate.tryP())
        return;
    object->freezeRequest = 1;
    __mvPB_PokePacingThread(object);
    while (object->freezeRequest.load() && object->playing.load())
        std::this_thread::yield();
    object->freezeRequest = 0;
}

void __mvPBmain_SetSyncTimeBase(MVplayback *object, int32_t flag)
{
    const int32_t old = object->everyFrame.load();
    object->everyFrame = flag;
    if (old == flag || !object->playing.load())
        return;
    if (flag == 0)
        object->gate.V();
    else
        __mvPBapi_FreezeTimer(object);
}

void __mvPB_InitInstrument(MVplayback *object)
{
    object->instrumentStart = clockTicks();
    object->instrumentFrames = -1;
    object->actualRate = -1.0;
}

void __mvPB_ClearInstrument(MVplayback *object)
{
    object->instrumentStart = 0;
    object->instrumentFrames = -1;
    object->actualRate = -1.0;
}

void __mvPB_CountFrame(MVplayback *object)
{
    const int32_t now = clockTicks();
    const long perSecond = sysconf(_SC_CLK_TCK);
    if (int64_t(uint32_t(now - object->instrumentStart)) > perSecond) {
        object->actualRate = double(object->instrumentFrames);
        if (object->playing.load() &&
            __mvPB_IsSlow(object->actualRate.load(), object->imageRate, object->speed.load(),
                          gSlowThreshold.load()))
            __mvEV_SendEvent(object, kEventSlow);
        object->instrumentFrames = 0;
        object->instrumentStart = now;
    } else {
        object->instrumentFrames += 1;
    }
}

double __mvPB_GetSlowThreshold() { return gSlowThreshold.load(); }

extern "C" void mvSetSlowThreshold(double threshold) { gSlowThreshold.store(threshold); }

extern "C" double mvGetSlowThreshold(void) { return gSlowThreshold.load(); }
