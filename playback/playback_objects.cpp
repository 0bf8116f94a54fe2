// Playback objects: creating one for a movie bound to a window, filling it
// from the movie's tracks, adding it to the engine's threads, and taking it
// apart again when the movie is closed.
//
// The playback list is appended and unlinked only here, on the application
// thread, under the list lock held exclusive; the main and file I/O threads
// walk it under the same lock held shared.
#include <cerrno>
#include <cmath>
#include <cstring>

#include <X11/Xlib.h>

#include "engine.h"
#include "display_close.h"
#include "audio_playback.h"
#include "engine_hooks.h"
#include "api.h"
#include "error.h"
#include "kgl/kgl.h"
#include "model.h"

using namespace cinelark::playback;

int32_t __mvPB_ID(const MVplayback *object) { return object->playbackID; }

int32_t __mvPB_MovieHasAudio(const MVplayback *object) { return object->hasAudio; }

int __mvPB_Create(MVplayback **object)
{
    *object = nullptr;
    Engine *e = engine();
    if (!e)
        return -1;
    auto *created = new (std::nothrow) MVplayback;
    if (!created) {
        __mvSetErrno(ENOMEM);
        return -1;
    }
    std::unique_lock<std::shared_mutex> hold(e->listLock);
    created->playbackID = e->nextPlaybackID++;
    created->prev = e->tail;
    e->tail->next = created;
    e->tail = created;
    *object = created;
    return 0;
}

int __mvPB_Init(MVplayback *object, MVid movie, Display *display, Window window)
{
    object->movie = movie;
    object->display = display;
    object->window = window;
    object->bufferedFrame = -1;
    object->audioFrame = -1;
    object->audioEnabled = 1;
    object->speed = 1.0;
    object->zoom = 1.0;
    object->backgroundRed = object->backgroundGreen = object->backgroundBlue = 170;
    __mvPB_ClearInstrument(object);
    if (display) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, window, &attributes)) {
            object->windowWidth = uint16_t(attributes.width);
            object->windowHeight = uint16_t(attributes.height);
        }
    }
    return 0;
}

int __mvPB_Open(MVplayback *object)
{
    MVid image = 0;
    if (mvFindTrackByMedium(object->movie, DM_MEDIUM_IMAGE, &image) != 0)
        return -1;
    object->imageTrack = image;
    object->loopMode = mvGetLoopMode(object->movie);
    object->width = mvGetImageWidth(image);
    object->height = mvGetImageHeight(image);
    object->imageRate = float(mvGetImageRate(image));
    object->length = mvGetTrackLength(image);
    if (object->width <= 0 || object->height <= 0 || object->length <= 0 ||
        !(object->imageRate > 0.0f) || object->width > 0x7fff || object->height > 0x7fff) {
        // Nothing to show, or a picture the view arithmetic cannot place.
        __mvSetErrno(MV_ERR_IMAGE_SETTINGS);
        return -1;
    }

    MVid audio = 0;
    object->hasAudio = 0;
    if (mvFindTrackByMedium(object->movie, DM_MEDIUM_AUDIO, &audio) == 0) {
        object->audioTrack = audio;
        object->channels = mvGetAudioChannels(audio);
        object->bytesPerSample = mvGetAudioWidth(audio) / 8;
        const double audioRate = mvGetAudioRate(audio);
        object->audioRate = int32_t(audioRate);
        object->samplesPerFrame =
            int32_t(std::floor(audioRate / mvGetImageRate(image) + 0.5)) * object->channels;
        object->hasAudio = object->channels && object->bytesPerSample && object->audioRate &&
                                   object->samplesPerFrame
                               ? 1
                               : 0;
    }

    object->endFrame = object->length - 1;
    object->viewWidth = object->shownWidth = uint16_t(object->width);
    object->viewHeight = object->shownHeight = uint16_t(object->height);

    if (__mvPB_InitVideoBuffers(object) != 0)
        return -1;
    if (!object->requestSema) {
        auto request = PollableSemaphore::create(0);
        auto ready = PollableSemaphore::create(0);
        if (!request || !ready) {
            __mvSetErrno(errno ? errno : ENOMEM);
            return -1;
        }
        // The engine's threads read the descriptors as they walk the list.
        std::unique_lock<std::shared_mutex> hold(engine()->listLock);
        object->requestSema = std::move(request);
        object->readySema = std::move(ready);
        object->requestFD = object->requestSema->fd();
        object->readyFD = object->readySema->fd();
    }
    return __mvPB_StartNewTimerThread(object);
}

int __mvPB_StartNewTimerThread(MVplayback *object)
{
    if (!object->tickSema) {
        auto tick = PollableSemaphore::create(0);
        if (!tick) {
            __mvSetErrno(errno ? errno : ENOMEM);
            return -1;
        }
        std::unique_lock<std::shared_mutex> hold(engine()->listLock);
        object->tickSema = std::move(tick);
        object->tickFD = object->tickSema->fd();
    }
    // A movie whose sound has a port is paced by its audio thread, with the
    // timer thread's gate, halt and freeze hand-overs and frame advance;
    // one whose sound cannot be played is paced by its timer, silently.
    const bool withSound = object->hasAudio && __mvPB_InitAudioPort(object) == 0;
    if (withSound && __mvPB_InitAudioBuffers(object) != 0)
        return -1;
    try {
        object->pacingStop = false;
        object->pacingReady = false;
        if (withSound)
            object->pacingThread = std::thread(__mvPB_AudioThread, object);
        else
            object->pacingThread = std::thread(__mvPB_TimerThread, object);
    } catch (const std::system_error &error) {
        __mvPB_FreeAudioBuffers(object);
        __mvSetErrno(error.code().value());
        return -1;
    }
    // A play must not reach the gate before the thread has cleared its
    // flags there, or the thread would clear the play's "playing".
    while (!object->pacingReady.load())
        std::this_thread::yield();
    return __mvPB_PostCommand(kCmdAddMovie, object, nullptr, 0);
}

int __mvPB_KillTimerThread(MVplayback *object)
{
    if (!object->pacingThread.joinable())
        return 0;
    __mvPB_EndPacing(object);
    object->pacingThread.join();
    return 0;
}

int __mvPB_FreeSemaphores(MVplayback *object)
{
    std::unique_lock<std::shared_mutex> hold(engine()->listLock);
    object->tickSema.reset();
    object->requestSema.reset();
    object->readySema.reset();
    object->tickFD = object->requestFD = object->readyFD = -1;
    return 0;
}

int __mvPB_Close(MVplayback *object)
{
    if (object->playing.load())
        __mvPB_PostCommand(kCmdStop, object, nullptr, 0);
    if (__mvPB_PostCommand(kCmdRemoveMovie, object, nullptr, 0) != 0)
        return -1;
    __mvPB_ForgetPrimaryAudio(object->movie);
    if (__mvPB_KillTimerThread(object) != 0)
        return -1;
    // Reads after this are no longer play: every picture again.
    if (object->imageTrack != 0)
        __mvT_SetPlaySpeed(object->imageTrack, 1.0);
    // The port and the sound buffers go once the audio thread, which writes
    // from them, has ended.
    __mvPB_FreeAudioPort(object);
    __mvPB_FreeAudioBuffers(object);
    if (__mvPB_FreeVideoBuffers(object) != 0)
        return -1;
    return __mvPB_FreeSemaphores(object);
}

int __mvPB_Destroy(MVplayback *object)
{
    Engine *e = engine();
    if (!e)
        return -1;
    std::unique_lock<std::shared_mutex> hold(e->listLock);
    MVplayback *walk = e->head->next;
    while (walk && walk != object)
        walk = walk->next;
    if (!walk)
        return -1;
    if (e->tail == object)
        e->tail = object->prev;
    object->prev->next = object->next;
    if (object->next)
        object->next->prev = object->prev;
    hold.unlock();
    delete object;
    return 0;
}

int __mvPB_Find(int32_t playbackID, MVplayback **object)
{
    *object = nullptr;
    Engine *e = engine();
    if (!e)
        return -1;
    std::shared_lock<std::shared_mutex> hold(e->listLock);
    for (MVplayback *walk = e->head->next; walk; walk = walk->next)
        if (walk->playbackID == playbackID) {
            *object = walk;
            return 0;
        }
    return -1;
}

int __mvPB_FindByMovieID(MVid movie, MVplayback **object)
{
    *object = nullptr;
    Engine *e = engine();
    if (!e)
        return -1;
    std::shared_lock<std::shared_mutex> hold(e->listLock);
    for (MVplayback *walk = e->head->next; walk; walk = walk->next)
        if (walk->movie == movie) {
            *object = walk;
            return 0;
        }
    return -1;
}

int __mvPB_CloseHackForPublicAPI(MVid movie)
{
    if (!__mvPB_PlaybackListInitialized())
        return 0;
    MVplayback *object = nullptr;
    if (__mvPB_FindByMovieID(movie, &object) != 0)
        return 0;
    if (__mvPB_Close(object) != 0)
        return -1;
    return __mvPB_Destroy(object);
}

extern "C" int mvBindWindow(MVid movie, struct _XDisplay *display, unsigned long window)
{
    return cinelark::movie::guarded([&]() -> int {
        if (__mvPB_InitPlaybackGlobals(display) != 0)
            return -1;
        MVid image = 0;
        if (mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &image) != 0)
            return -1;
        MVplayback *bound = nullptr;
        if (__mvPB_FindByMovieID(movie, &bound) == 0)
            return cinelark::movie::failWith(EBUSY);
        // The engine's probe answers for the display it started on; each
        // window's own display must offer RGB mode.
        if (display ? kglGetDesc(display, KGL_GD_BITS_RGB) <= 0 : !engine()->hasRGB)
            return cinelark::movie::failWith(MV_ERR_NO_RGB_MODE);
        if (__mvPB_WatchDisplay(display) != 0)
            return -1;
        MVplayback *object = nullptr;
        if (__mvPB_Create(&object) != 0)
            return -1;
        __mvPB_Init(object, movie, display, Window(window));
        if (__mvPB_Open(object) != 0) {
            // The half-made object is taken apart again rather than left in
            // the list, so that the movie can be bound once it is fixed.
            const int error = mvErrno;
            __mvPB_Close(object);
            __mvPB_Destroy(object);
            __mvSetErrno(error);
            return -1;
        }
        return __mvPB_RegisterExitHandler();
    });
}
