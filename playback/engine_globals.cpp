// Engine start-up and teardown: the playback list's head, the shared arena's
// file, the graphics probe, the command channel, the GL lock and the two
// process-wide threads.
//
// The engine starts with the first mvBindWindow and lives until exit: an exit
// handler closes every bound movie, stops and joins every engine thread and
// removes the arena file, so nothing runs on and no file is left behind.
#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "engine.h"
#include "api.h"
#include "error.h"
#include "kgl/kgl.h"

namespace cinelark::playback {
namespace {

std::unique_ptr<Engine> gEngine;
std::atomic<bool> gInitialized{false};

// The arena's file exists from its first use to teardown; the movie-count
// hint may create it before the engine starts.
std::mutex gArenaLock;
std::unique_ptr<arena::ArenaFile> gArenaFile;
std::atomic<int32_t> gMaxMoviesPlayback{6};

void exitHandler()
{
    Engine *e = gEngine.get();
    if (!e || !gInitialized.load())
        return;
    MVplayback *object = e->head ? e->head->next : nullptr;
    while (object) {
        MVplayback *following = object->next;
        // A failing close goes on with the next movie: at exit every thread
        // must still be stopped.
        __mvPB_Close(object);
        __mvPB_Destroy(object);
        object = following;
    }
    __mvPB_DestroyPlaybackGlobals();
}

}  // namespace

Engine *engine() { return gEngine.get(); }

// Tears the engine down; at exit with the event queue, after a failed start
// without it: the application may already watch the queue's descriptor
// (it asks for it before it binds), and a later bind may yet succeed.
static void destroyEngine(bool withEvents)
{
    if (!gEngine)
        return;
    __mvPB_KillPlaybackThread();
    __mvPB_KillFileIOThread();
    if (withEvents) {
        __mvEV_DestroyEventQueue();
        __mvEV_DestroyAllEvents();
    }
    __mvPB_DestroyCmd();
    __mvPB_DestroyGLLock();
    delete gEngine->head;
    gEngine.reset();
    gInitialized.store(false);
    std::lock_guard<std::mutex> hold(gArenaLock);
    gArenaFile.reset();  // removes the file
}

}  // namespace cinelark::playback

using namespace cinelark::playback;

int __mvPB_GetSharedArena()
{
    std::lock_guard<std::mutex> hold(gArenaLock);
    if (gArenaFile)
        return 0;
    gArenaFile = cinelark::arena::ArenaFile::create();
    if (!gArenaFile) {
        __mvSetErrno(errno ? errno : EIO);
        return -1;
    }
    return 0;
}

const char *__mvPB_GetSharedArenaFname()
{
    if (__mvPB_GetSharedArena() != 0)
        return nullptr;
    std::lock_guard<std::mutex> hold(gArenaLock);
    return gArenaFile->path().c_str();
}

// Exit handlers and the destructors of static objects run in the reverse
// order of their registration and construction, so a static first made after
// the handler was registered (a codec registry, a converter table) would be
// gone while the engine's threads still decode and paint. Each bind therefore
// registers the handler again; it runs at the first call and does nothing
// after that.
int __mvPB_RegisterExitHandler()
{
    if (std::atexit(exitHandler) != 0) {
        __mvSetErrno(ENOMEM);
        return -1;
    }
    return 0;
}

int __mvPB_IsInitialized() { return gInitialized.load() ? 1 : 0; }

int __mvPB_PlaybackListInitialized() { return gEngine && gEngine->head ? 1 : 0; }

MVplayback *__mvPB_GetPlaybackList() { return gEngine ? gEngine->head : nullptr; }

int __mvPB_InitPlaybackGlobals(Display *display)
{
    if (gInitialized.load())
        return 0;
    return cinelark::movie::guarded([display]() -> int {
        gEngine = std::make_unique<Engine>();
        Engine &e = *gEngine;
        e.head = new MVplayback;
        e.tail = e.head;
        if (__mvPB_RegisterExitHandler() != 0) {
            destroyEngine(false);
            return -1;
        }
        // The display the first movie is bound to, which need not be
        // $DISPLAY (a player started with -display, or with no $DISPLAY).
        e.hasRGB = (display ? kglGetDesc(display, KGL_GD_BITS_RGB) : getgdesc(KGL_GD_BITS_RGB)) > 0;
        if (__mvPB_GetSharedArena() != 0 || __mvPB_InitCmdFD() != 0 || __mvPB_InitGLLock() != 0 ||
            __mvPB_InitPlaybackThread() != 0 || __mvPB_InitFileIOThread() != 0) {
            const int error = mvErrno;
            destroyEngine(false);
            __mvSetErrno(error);
            return -1;
        }
        gInitialized.store(true);
        return 0;
    });
}

void __mvPB_DestroyPlaybackGlobals() { destroyEngine(true); }

extern "C" int mvSetNumMoviesHint(int count)
{
    if (count < 0) {
        __mvSetErrno(EINVAL);
        return -1;
    }
    if (__mvPB_GetSharedArena() != 0)
        return -1;
    gMaxMoviesPlayback.store(count);
    return 0;
}

extern "C" int mvGetNumMoviesHint(void) { return gMaxMoviesPlayback.load(); }
