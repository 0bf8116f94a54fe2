// The public playback calls: each finds the movie's playback object, and a
// setter sends its command to the main playback thread and returns once it
// is carried out; a getter reads the object directly.
//
// A movie that is not bound fails with -1 and 1001; getters of one return -1.
#include <cerrno>
#include <cstring>

#include "engine.h"
#include "audio_playback.h"
#include "api.h"
#include "error.h"

using namespace cinelark::playback;

namespace {

std::atomic<MVid> gPrimaryAudio{MV_PRIMARY_AUDIO_NONE};

// The bound movie's object, or null with 1001.
MVplayback *bound(MVid movie)
{
    MVplayback *object = nullptr;
    if (__mvPB_FindByMovieID(movie, &object) != 0) {
        __mvSetErrno(MV_ERR_BAD_ID);
        return nullptr;
    }
    return object;
}

int send(MVid movie, int32_t code, std::initializer_list<int32_t> args = {})
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    int32_t words[4] = {0, 0, 0, 0};
    int n = 0;
    for (int32_t a : args)
        words[n++] = a;
    return __mvPB_PostCommand(code, object, words, n);
}

// A getter of one field; -1 with 1001 for a movie that is not bound.
template <typename Read>
int get(MVid movie, Read read)
{
    MVplayback *object = bound(movie);
    return object ? int(read(*object)) : -1;
}

}  // namespace

extern "C" {

int mvPlay(MVid movie) { return send(movie, kCmdPlay); }

int mvStop(MVid movie) { return send(movie, kCmdStop); }

int mvSetCurrentFrame(MVid movie, int frame) { return send(movie, kCmdSetFrame, {frame}); }

int mvScrubCurrentFrame(MVid movie, int frame) { return send(movie, kCmdScrubFrame, {frame}); }

int mvGetCurrentFrame(MVid movie)
{
    return get(movie, [](MVplayback &o) { return o.currentFrame.load(); });
}

int mvSetStartFrame(MVid movie, int frame)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    object->startFrame = frame;
    return 0;
}

int mvGetStartFrame(MVid movie)
{
    return get(movie, [](MVplayback &o) { return o.startFrame.load(); });
}

int mvSetEndFrame(MVid movie, int frame)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    object->endFrame = frame;
    return 0;
}

int mvGetEndFrame(MVid movie)
{
    return get(movie, [](MVplayback &o) { return o.endFrame.load(); });
}

int mvSetPlayLoopMode(MVid movie, int mode) { return send(movie, kCmdSetLoopMode, {mode}); }

int mvGetPlayLoopMode(MVid movie)
{
    return get(movie, [](MVplayback &o) { return o.loopMode.load(); });
}

int mvSetPlayLoopLimit(MVid movie, int limit) { return send(movie, kCmdSetLoopLimit, {limit}); }

int mvGetPlayLoopLimit(MVid movie)
{
    return get(movie, [](MVplayback &o) { return o.loopLimit.load(); });
}

int mvSetPlayLoopCount(MVid movie, int count) { return send(movie, kCmdSetLoopCount, {count}); }

int mvGetPlayLoopCount(MVid movie)
{
    return get(movie, [](MVplayback &o) { return o.loopCount.load(); });
}

int mvSetPlayEveryFrame(MVid movie, int flag)
{
    return send(movie, kCmdSetEveryFrame, {flag ? 1 : 0});
}

int mvGetPlayEveryFrame(MVid movie)
{
    return get(movie, [](MVplayback &o) { return o.everyFrame.load(); });
}

int mvSetPlaySpeed(MVid movie, double speed)
{
    // A speed of 0 would make the frame period infinite.
    if (!bound(movie))
        return -1;
    if (speed == 0.0 || speed != speed)
        return cinelark::movie::failWith(EINVAL);
    int32_t words[2];
    std::memcpy(words, &speed, sizeof speed);
    return send(movie, kCmdSetSpeed, {words[0], words[1]});
}

double mvGetPlaySpeed(MVid movie)
{
    MVplayback *object = bound(movie);
    return object ? object->speed.load() : -1.0;
}

int mvGetActualFrameRate(MVid movie, double *rate)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    if (!rate)
        return cinelark::movie::failWith(EINVAL);
    const double measured = object->actualRate.load();
    if (!(measured > -1.0))
        return -1;
    *rate = measured;
    return 0;
}

int mvSetEnableAudio(MVid movie, int flag) { return send(movie, kCmdSetEnableAudio, {flag}); }

int mvGetEnableAudio(MVid movie)
{
    return get(movie, [](MVplayback &o) { return o.audioEnabled.load(); });
}

int mvSetPrimaryAudio(MVid movie)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    // The device's output rate follows the primary movie, unrounded.
    if (!object->hasAudio)
        return 0;
    gPrimaryAudio.store(movie);
    return __mvPB_SetPrimaryAudio(object);
}

MVid mvGetPrimaryAudio(void) { return gPrimaryAudio.load(); }

}  // extern "C"

void __mvPB_ForgetPrimaryAudio(MVid movie)
{
    MVid expected = movie;
    gPrimaryAudio.compare_exchange_strong(expected, MV_PRIMARY_AUDIO_NONE);
}

extern "C" {

int mvSetViewOffset(MVid movie, int x, int y, int flag)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    const int32_t fromBottom = flag ? y : object->windowHeight - y - object->viewHeight;
    return send(movie, kCmdSetViewOffset, {x, fromBottom, flag});
}

int mvGetViewOffset(MVid movie, int *x, int *y, int flag)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    if (!x || !y)
        return cinelark::movie::failWith(EINVAL);
    *x = object->viewX;
    *y = flag ? object->viewY : object->windowHeight - object->viewY - object->viewHeight;
    return 0;
}

int mvQueryViewOffset(MVid movie, int x, int y, int *originX, int *originY, int flag)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    if (!originX || !originY)
        return cinelark::movie::failWith(EINVAL);
    int16_t ox = 0, oy = 0;
    __mvPBapi_CalcActualOrigin(object, x, y, &ox, &oy);
    *originX = ox;
    *originY = flag ? oy : object->windowHeight - oy - object->shownHeight;
    return 0;
}

int mvSetViewSize(MVid movie, int width, int height)
{
    return send(movie, kCmdSetViewSize, {width, height});
}

int mvGetViewSize(MVid movie, int *width, int *height)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    if (!width || !height)
        return cinelark::movie::failWith(EINVAL);
    *width = object->viewWidth;
    *height = object->viewHeight;
    return 0;
}

int mvQueryViewSize(MVid movie, int width, int height, int, int *shownWidth, int *shownHeight)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    if (!shownWidth || !shownHeight)
        return cinelark::movie::failWith(EINVAL);
    const double zoom = __mvPBapi_CalcZoom(object, width, height);
    *shownWidth = int(object->width * zoom);
    *shownHeight = int(object->height * zoom);
    return 0;
}

int mvSetViewBackground(MVid movie, unsigned short red, unsigned short green, unsigned short blue)
{
    const uint16_t rgb[4] = {red, green, blue, 0};
    int32_t words[2];
    std::memcpy(words, rgb, sizeof rgb);
    return send(movie, kCmdSetViewBackground, {words[0], words[1]});
}

int mvGetViewBackground(MVid movie, unsigned short *red, unsigned short *green,
                        unsigned short *blue)
{
    MVplayback *object = bound(movie);
    if (!object)
        return -1;
    if (!red || !green || !blue)
        return cinelark::movie::failWith(EINVAL);
    *red = object->backgroundRed;
    *green = object->backgroundGreen;
    *blue = object->backgroundBlue;
    return 0;
}

int mvResizeWindow(struct _XDisplay *display, unsigned long window)
{
    if (!__mvPB_IsInitialized())
        return cinelark::movie::failWith(MV_ERR_BAD_ID);
    int32_t words[4] = {0, 0, 0, 0};
    std::memcpy(words, &display, sizeof display);
    std::memcpy(words + 2, &window, sizeof window);
    return __mvPB_PostCommand(kCmdResizeWindow, nullptr, words, 4);
}

int mvShowCurrentFrame(MVid movie) { return send(movie, kCmdShowFrame); }

}  // extern "C"
