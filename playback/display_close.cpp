// Handing a display that is being closed to the main playback thread (see
// display_close.h for why).
//
// The hand-over is one slot, a pollable semaphore the main thread watches and
// an acknowledgement, like the file I/O thread's removal. The closing thread
// holds gLock for the whole hand-over, so two displays closed at once from
// two threads go one after the other, and teardown (which takes the lock
// before the main thread ends) never leaves a closing thread waiting for an
// answer that cannot come.
#include "display_close.h"

#include <cerrno>
#include <mutex>

#include "engine.h"
#include "error.h"
#include "kgl/kgl.h"

using namespace cinelark::playback;

namespace {

std::mutex gLock;
std::unique_ptr<PollableSemaphore> gClosing;  // created before, destroyed after the main thread
Semaphore gAnswered{0};
std::atomic<Display *> gDisplay{nullptr};
bool gAvailable = false;  // guarded by gLock: the main thread answers

void displayClosing(Display *display)
{
    std::lock_guard<std::mutex> hold(gLock);
    if (!gAvailable)
        return;
    gDisplay.store(display);
    gClosing->V();
    gAnswered.P();
}

}  // namespace

int __mvPB_InitDisplayClose()
{
    std::lock_guard<std::mutex> hold(gLock);
    gClosing = PollableSemaphore::create(0);
    if (!gClosing) {
        __mvSetErrno(errno ? errno : ENOMEM);
        return -1;
    }
    // Armed at once, so that the descriptor is quiet until a display closes.
    gClosing->P();
    gAvailable = true;
    return gClosing->fd();
}

void __mvPB_DestroyDisplayClose()
{
    std::lock_guard<std::mutex> hold(gLock);
    gAvailable = false;
}

int __mvPB_WatchDisplay(Display *display)
{
    if (!display || kglOnDisplayClose(display, displayClosing) == 0)
        return 0;
    __mvSetErrno(MV_ERR_INTERNAL);
    return -1;
}

void __mvPBmain_DisplayClosing()
{
    Display *display = gDisplay.exchange(nullptr);
    {
        std::shared_lock<std::shared_mutex> hold(engine()->listLock);
        for (MVplayback *object = engine()->head->next; object; object = object->next)
            if (object->display == display) {
                object->display = nullptr;
                object->window = 0;
                object->projectionSet = false;
            }
    }
    kglReleaseDisplay(display);
    gClosing->P();
    gAnswered.V();
}
