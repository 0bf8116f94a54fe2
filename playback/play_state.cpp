// Play state: the frame advance with its three loop modes and the loop limit,
// play, stop and halt, seeking and scrubbing, and the main thread's tick and
// frame-ready handlers that keep exactly one frame request per movie in
// flight.
//
// The frame advance runs on the pacing thread (or on the main thread in
// every-frame play); everything else here runs on the main thread.
//
// Halting and the gate: while a movie plays timed, the gate is open and the
// pacing thread goes on past it. A halt closes it, asks the pacing thread to
// park and waits (on the gate's condition, not a spin) until the thread is
// parked; then no frame advances until the next play opens the gate. When
// the pacing thread itself ran off the end of play it has already closed the
// gate; the halt then only waits for it to park.
#include <cstdlib>

#include "engine.h"
#include "error.h"
#include "frames.h"

using namespace cinelark::playback;

int __mvPBaud_NextFrame(MVplayback *object, int32_t frames)
{
    double speed = object->speed.load();
    int32_t frame = object->currentFrame.load();
    frame = speed < 0 ? frame - frames : frame + frames;
    const int32_t start = object->startFrame.load();
    const int32_t end = object->endFrame.load();
    const int32_t mode = object->loopMode.load();
    bool ranOff = false;
    bool ends = false;
    if (frame > end) {
        ranOff = true;
        if (mode == MV_LOOP_ONCE) {
            frame = end;
            ends = true;
        } else if (mode == MV_LOOP_REPEAT) {
            frame = start;
        } else if (mode == MV_LOOP_SWING) {
            frame = end;
            speed = -speed;
        }
    } else if (frame < start) {
        ranOff = true;
        if (mode == MV_LOOP_ONCE) {
            frame = start;
            ends = true;
        } else if (mode == MV_LOOP_REPEAT) {
            frame = end;
        } else if (mode == MV_LOOP_SWING) {
            frame = start;
            speed = -speed;
        }
    }
    const int32_t limit = object->loopLimit.load();
    if (ranOff && limit != 0) {
        const int32_t count = object->loopCount.load() + 1;
        if (count >= limit) {
            object->loopCount = 0;
            ends = true;
            // The last pass ends on the frame it ran off from, as a play
            // once does, not on the frame a repeat would wrap to: timed
            // and every-frame play then stop on the same frame.
            if (mode == MV_LOOP_REPEAT)
                frame = frame == start ? end : start;
        } else {
            object->loopCount = count;
        }
    }
    object->currentFrame = frame;
    object->speed = speed;
    if (ends)
        object->stopAtEnd = 1;
    object->tickSema->V();
    return ends ? -1 : 0;
}

int __mvPBmain_RequestNextFrame(MVplayback *object)
{
    if (object->frameRequested || object->bufferedFrame.load() == object->currentFrame.load())
        return 0;
    object->requestSema->V();
    object->frameRequested = 1;
    return -1;
}

void __mvPBmain_CompleteStop(MVplayback *object)
{
    object->stopDeferred = 0;
    object->endDeferred = false;
    object->currentFrame = object->bufferedFrame.load();
    __mvEV_SendEvent(object, kEventStop);
    __mvPB_ClearInstrument(object);
}

void __mvPBmain_Play(MVplayback *object)
{
    if (object->playing.load())
        return;
    object->playing = 1;
    object->stopDeferred = 0;
    object->haltRequest = 0;
    object->pendingError = 0;
    __mvPB_InitInstrument(object);
    if (object->everyFrame.load())
        object->tickSema->V();
    else
        __mvPB_OpenGate(object);
}

void __mvPBmain_HaltTimer(MVplayback *object)
{
    if (!object->everyFrame.load())
        __mvPB_HandOver(object, object->haltRequest, false);
    object->playing = 0;
    // The halt settles the stop itself; an end of play signalled on the way
    // must not settle it a second time.
    object->stopAtEnd = 0;
    __mvPB_ClearFileIORequests(object);
    Engine *e = engine();
    if (object->tickFD >= 0 && object->tickFD < FD_SETSIZE)
        FD_CLR(object->tickFD, &e->mainSetCopy);
    object->endDeferred = false;
    if (object->frameRequested)
        object->stopDeferred = 1;
    else
        __mvPBmain_CompleteStop(object);
}

void __mvPBmain_Stop(MVplayback *object)
{
    if (object->playing.load())
        __mvPBmain_HaltTimer(object);
}

namespace {

// Frame numbers at or beyond the length, negative ones included (by the
// unsigned comparison), select the last frame.
int32_t clampFrame(const MVplayback *object, int32_t frame)
{
    return uint32_t(frame) < uint32_t(object->length) ? frame : object->length - 1;
}

}  // namespace

void __mvPBmain_SetFrame(MVplayback *object, int32_t frame)
{
    object->currentFrame = clampFrame(object, frame);
    __mvPBmain_RequestNextFrame(object);
}

void __mvPBmain_ScrubFrame(MVplayback *object, int32_t frame)
{
    const MVid track = object->imageTrack;
    object->currentFrame = __mvPB_NearestKeyFrame(
        clampFrame(object, frame), object->length,
        [track](int32_t f) { return __mvT_IsKeyFrame(track, f) != 0; });
    __mvPBmain_RequestNextFrame(object);
}

void __mvPBmain_TickHandler(MVplayback *object)
{
    // At the end of play the pacing thread may have parked (and cleared
    // "playing") before this tick is handled; the last frame is still read
    // and shown, and the stop then waits for it.
    if (object->playing.load() || object->stopAtEnd.load())
        __mvPBmain_RequestNextFrame(object);
    if (object->stopAtEnd.load()) {
        object->stopAtEnd = 0;
        if (object->frameRequested) {
            object->stopDeferred = 1;
            object->endDeferred = true;
        } else
            __mvPBmain_CompleteStop(object);
    }
    while (object->tickSema->P() == 1) {
    }
    if (object->playing.load() && object->everyFrame.load() && !object->frameRequested) {
        object->requestSema->V();
        object->frameRequested = 1;
    }
}

void __mvPBmain_FrameReadyHandler(MVplayback *object)
{
    object->frameRequested = 0;
    __mvPBmain_PaintFrame(object);
    __mvEV_SendEvent(object, kEventFrame);
    __mvPB_CountFrame(object);
    // A stop at the end of play waits until the end frame itself is shown.
    if (object->stopDeferred &&
        !(object->endDeferred && object->bufferedFrame.load() != object->currentFrame.load()))
        __mvPBmain_CompleteStop(object);
    object->readySema->P();
    __mvPBmain_RequestNextFrame(object);
    if (object->playing.load() && object->everyFrame.load()) {
        if (__mvPBaud_NextFrame(object, 1) != 0)
            __mvPBmain_HaltTimer(object);
    }
}
