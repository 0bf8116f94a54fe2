// The command channel and the main playback thread.
//
// Every public setter becomes a command: the application thread fills the one
// command record under the command lock, signals the command semaphore (whose
// descriptor wakes the main thread's select) and waits on the completion
// semaphore. The main thread carries the command out under the command lock,
// so one command is in flight at a time and the sender sees its effects when
// it returns.
//
// The main thread waits in select on the command descriptor and on each bound
// movie's tick descriptor (its pacing thread moved the current frame) and
// frame-ready descriptor (the file I/O thread filled the video buffer).
// Descriptors are select()-able only below FD_SETSIZE; a movie whose
// descriptors lie beyond it is refused when it is added.
#include <sys/select.h>

#include <cerrno>
#include <cstring>

#include "engine.h"
#include "display_close.h"
#include "api.h"
#include "error.h"
#include "kgl/kgl.h"

using namespace cinelark::playback;

namespace {

bool selectable(int fd) { return fd >= 0 && fd < FD_SETSIZE; }

// The descriptor that is readable while a display is being closed; written
// before the main thread starts.
int gDisplayCloseFD = -1;

// The error of a failed command 19 or 20. The error number and its detail
// belong to the thread that met the error, so the main thread leaves them
// here for the sender, which takes them over once the command is done (the
// completion semaphore orders the two).
int gCmdError = 0;
char gCmdDetail[MV_ERROR_DETAIL_SIZE];

void watch(Engine &e, int fd)
{
    FD_SET(fd, &e.mainSet);
    if (fd + 1 > e.mainMaxFD)
        e.mainMaxFD = fd + 1;
}

void unwatch(Engine &e, int fd)
{
    if (!selectable(fd))
        return;
    FD_CLR(fd, &e.mainSet);
    FD_CLR(fd, &e.mainSetCopy);
}

// Takes every pending signal of a pollable semaphore so that it ends armed
// with its descriptor quiet.
void drain(PollableSemaphore &sema)
{
    while (sema.P() == 1) {
    }
}

// Command 19: watch the movie's descriptors, read its current frame and hand
// it to the file I/O thread.
int addMovie(Engine &e, MVplayback *object)
{
    if (!selectable(object->tickFD) || !selectable(object->readyFD) ||
        !selectable(object->requestFD)) {
        __mvSetErrno(EMFILE);
        return -1;
    }
    watch(e, object->tickFD);
    drain(*object->tickSema);
    if (__mvPBio_PrepareVideo(object) != 0)
        return -1;
    __mvPBmain_PrepareWindow(object);
    watch(e, object->readyFD);
    object->readySema->P();
    __mvPB_SetNewMovie(object);
    e.ioCmdSem->V();
    return 0;
}

// Command 20: stop watching the movie and take it from the file I/O thread.
int removeMovie(Engine &e, MVplayback *object)
{
    if (!object)
        return 0;
    unwatch(e, object->tickFD);
    unwatch(e, object->readyFD);
    __mvPB_RemoveFromFileIO(object);
    // With no movie left this thread's GL contexts go too, while the
    // application's display is surely still open.
    if (!e.head->next || (e.head->next == object && !object->next))
        kglReleaseThread();
    return 0;
}

void carryOut(Engine &e)
{
    e.cmdLock.P();
    e.cmdStatus = 0;
    const Command cmd = e.nextCmd;
    MVplayback *object = cmd.object;
    const int32_t *a = cmd.args;
    switch (cmd.code) {
    case kCmdSetViewOffset:
        __mvPBmain_SetViewOffset(object, a[0], a[1]);
        break;
    case kCmdSetViewSize:
        __mvPBmain_SetViewSize(object, a[0], a[1]);
        break;
    case kCmdSetViewBackground: {
        uint16_t rgb[4];
        std::memcpy(rgb, a, sizeof rgb);
        __mvPBmain_SetViewBackground(object, rgb[0], rgb[1], rgb[2]);
        break;
    }
    case kCmdResizeWindow: {
        Display *display = nullptr;
        Window window = 0;
        std::memcpy(&display, a, sizeof display);
        std::memcpy(&window, a + 2, sizeof window < 8 ? sizeof window : 8);
        __mvPBmain_ResizeWindow(display, window);
        break;
    }
    case kCmdSetFrame:
        __mvPBmain_SetFrame(object, a[0]);
        break;
    case kCmdScrubFrame:
        __mvPBmain_ScrubFrame(object, a[0]);
        break;
    case kCmdSetEnableAudio:
        object->audioEnabled = a[0];
        break;
    case kCmdSetLoopMode:
        object->loopMode = a[0];
        break;
    case kCmdSetLoopLimit:
        object->loopLimit = a[0];
        break;
    case kCmdSetLoopCount:
        object->loopCount = a[0];
        break;
    case kCmdSetSpeed: {
        double speed;
        std::memcpy(&speed, a, sizeof speed);
        __mvPBmain_SetSpeed(object, speed);
        break;
    }
    case kCmdSetEveryFrame:
        __mvPBmain_SetSyncTimeBase(object, a[0]);
        break;
    case kCmdShowFrame:
        __mvPBmain_Paint(object);
        break;
    case kCmdStop:
        __mvPBmain_Stop(object);
        break;
    case kCmdPlay:
        __mvPBmain_Play(object);
        break;
    case kCmdAddMovie:
        e.cmdStatus = addMovie(e, object);
        break;
    case kCmdRemoveMovie:
        e.cmdStatus = removeMovie(e, object);
        break;
    default:
        // Unused and unknown codes are consumed without action.
        break;
    }
    if (e.cmdStatus != 0) {
        gCmdError = mvErrno ? mvErrno : MV_ERR_INTERNAL;
        std::memcpy(gCmdDetail, __mvErrorDetail, sizeof gCmdDetail);
    }
    e.nextCmd.code = 0;
    e.cmdSem->P();
    e.cmdLock.V();
    e.cmdWaitSem.V();
}

void mainPlaybackThread(Engine *e)
{
    e->cmdSem->P();
    e->playbackInitialized.store(true);
    for (;;) {
        e->mainSetCopy = e->mainSet;
        const int ready = select(e->mainMaxFD, &e->mainSetCopy, nullptr, nullptr, nullptr);
        if (e->mainStop.load())
            break;
        if (ready < 0)
            continue;  // interrupted; the sets are rebuilt on the next pass
        if (FD_ISSET(e->cmdFD, &e->mainSetCopy))
            carryOut(*e);
        if (FD_ISSET(gDisplayCloseFD, &e->mainSetCopy))
            __mvPBmain_DisplayClosing();
        std::shared_lock<std::shared_mutex> hold(e->listLock);
        for (MVplayback *object = e->head->next; object; object = object->next) {
            if (selectable(object->tickFD) && FD_ISSET(object->tickFD, &e->mainSetCopy)) {
                FD_CLR(object->tickFD, &e->mainSetCopy);
                __mvPBmain_TickHandler(object);
            }
            if (selectable(object->readyFD) && FD_ISSET(object->readyFD, &e->mainSetCopy)) {
                FD_CLR(object->readyFD, &e->mainSetCopy);
                __mvPBmain_FrameReadyHandler(object);
            }
            if (object->pendingError.load() != 0) {
                __mvEV_SendEvent(object, kEventError);
                object->pendingError = 0;
            }
        }
    }
    kglReleaseThread();
}

}  // namespace

int __mvPB_InitCmdFD()
{
    Engine &e = *engine();
    e.cmdSem = PollableSemaphore::create(0);
    if (!e.cmdSem) {
        __mvSetErrno(errno ? errno : ENOMEM);
        return -1;
    }
    e.cmdFD = e.cmdSem->fd();
    if (!selectable(e.cmdFD)) {
        __mvSetErrno(EMFILE);
        return -1;
    }
    return 0;
}

void __mvPB_DestroyCmd()
{
    Engine *e = engine();
    if (!e)
        return;
    e->cmdSem.reset();
    e->cmdFD = -1;
}

int __mvPB_PostCommand(int32_t code, MVplayback *object, const int32_t *args, int argCount)
{
    Engine *e = engine();
    if (!e)
        return cinelark::movie::failWith(MV_ERR_BAD_ID);
    e->cmdLock.P();
    e->nextCmd.code = code;
    e->nextCmd.object = object;
    for (int i = 0; i < 4; i++)
        e->nextCmd.args[i] = i < argCount ? args[i] : 0;
    e->cmdLock.V();
    return __mvPB_SendCommand();
}

int __mvPB_SendCommand()
{
    Engine &e = *engine();
    __mvSetErrno(0);
    e.cmdSem->V();
    e.cmdWaitSem.P();
    if (e.cmdStatus != 0) {
        gCmdDetail[sizeof gCmdDetail - 1] = '\0';
        __mvSetErrorWithDetail(gCmdError, gCmdDetail);
    }
    return e.cmdStatus;
}

int __mvPB_InitPlaybackThread()
{
    Engine &e = *engine();
    FD_ZERO(&e.mainSet);
    FD_ZERO(&e.mainSetCopy);
    watch(e, e.cmdFD);
    gDisplayCloseFD = __mvPB_InitDisplayClose();
    if (gDisplayCloseFD < 0)
        return -1;
    if (!selectable(gDisplayCloseFD)) {
        __mvSetErrno(EMFILE);
        return -1;
    }
    watch(e, gDisplayCloseFD);
    e.playbackInitialized.store(false);
    e.mainStop.store(false);
    try {
        e.mainThread = std::thread(mainPlaybackThread, &e);
    } catch (const std::system_error &error) {
        __mvSetErrno(error.code().value());
        return -1;
    }
    while (!e.playbackInitialized.load())
        std::this_thread::yield();
    return 0;
}

void __mvPB_KillPlaybackThread()
{
    Engine *e = engine();
    if (!e || !e->mainThread.joinable())
        return;
    __mvPB_DestroyDisplayClose();
    e->mainStop.store(true);
    e->cmdSem->V();
    e->mainThread.join();
}
