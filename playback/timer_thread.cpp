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
    PacingGate &gate = object->gate;
    {
        std::lock_guard<std::mutex> hold(gate.lock);
        gate.poked = true;
    }
    gate.changed.notify_all();
}

bool __mvPB_Park(MVplayback *object)
{
    PacingGate &gate = object->gate;
    std::unique_lock<std::mutex> hold(gate.lock);
    gate.parked = true;
    gate.changed.notify_all();
    gate.changed.wait(hold, [&] { return gate.open || object->pacingStop.load(); });
    if (object->pacingStop.load())
        return false;
    gate.parked = false;
    return true;
}

void __mvPB_PacingSleep(MVplayback *object, Clock::time_point deadline)
{
    PacingGate &gate = object->gate;
    std::unique_lock<std::mutex> hold(gate.lock);
    gate.changed.wait_until(hold, deadline, [&] { return gate.poked; });
    gate.poked = false;
}

void __mvPB_CloseGate(MVplayback *object)
{
    std::lock_guard<std::mutex> hold(object->gate.lock);
    object->gate.open = false;
}

void __mvPB_OpenGate(MVplayback *object)
{
    PacingGate &gate = object->gate;
    {
        std::lock_guard<std::mutex> hold(gate.lock);
        gate.open = true;
    }
    gate.changed.notify_all();
}

bool __mvPB_HandOver(MVplayback *object, std::atomic<int32_t> &request, bool onlyIfOpen)
{
    PacingGate &gate = object->gate;
    std::unique_lock<std::mutex> hold(gate.lock);
    if (onlyIfOpen && !gate.open)
        return false;
    gate.open = false;
    request = 1;
    gate.poked = true;
    gate.changed.notify_all();
    gate.changed.wait(hold, [&] { return gate.parked || object->pacingStop.load(); });
    // The thread may have parked before it saw the request (a play just
    // opened the gate and it had not left yet); it must not meet the
    // request when the next play lets it pass.
    request = 0;
    return true;
}

void __mvPB_EndPacing(MVplayback *object)
{
    PacingGate &gate = object->gate;
    {
        std::lock_guard<std::mutex> hold(gate.lock);
        object->pacingStop = true;
        gate.poked = true;
    }
    gate.changed.notify_all();
}

void __mvPB_TimerThread(MVplayback *object)
{
    object->frameDelay = __mvPB_CalcDelayFromSpeed(object->imageRate, object->speed.load());
    object->haltRequest = 0;
    object->playing = 0;
    object->pacingReady = true;
    if (!__mvPB_Park(object))
        return;
    Clock::time_point last = Clock::now();
    int64_t carry = 0;
    for (;;) {
        if (object->pacingStop.load())
            return;
        if (object->haltRequest.load() || object->freezeRequest.load()) {
            if (object->haltRequest.exchange(0))
                object->playing = 0;
            if (!__mvPB_Park(object))
                return;
            last = Clock::now();
            carry = 0;
            continue;
        }
        const int32_t delay = object->frameDelay.load();
        __mvPB_PacingSleep(object, last + std::chrono::microseconds(delay - carry));
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
            __mvPB_CloseGate(object);
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
    if (!__mvPB_HandOver(object, object->freezeRequest, true))
        return;
    // The main thread drives every-frame play from the next tick on.
    object->tickSema->V();
}

void __mvPBmain_SetSyncTimeBase(MVplayback *object, int32_t flag)
{
    const int32_t old = object->everyFrame.load();
    object->everyFrame = flag;
    if (old == flag || !object->playing.load())
        return;
    if (flag == 0)
        __mvPB_OpenGate(object);
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
