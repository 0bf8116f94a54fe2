// The file I/O thread and the video buffers.
//
// Each bound movie has one video buffer of 32-bit RGBX pixels and at most one
// outstanding frame request. The file I/O thread, shared by all movies, waits
// in select on its add and remove descriptors and on each movie's request
// descriptor; for a request it reads the movie's current frame into the
// buffer (unless the buffer holds it already) and answers on the movie's
// frame-ready semaphore, whether the read happened, was not needed or failed.
// A failed read leaves its error number for the main thread to report.
#include <sys/mman.h>
#include <sys/select.h>

#include <cerrno>
#include <climits>
#include <new>

#include "engine.h"
#include "api.h"
#include "error.h"
#include "frames.h"
#include "model.h"

using namespace cinelark::playback;

namespace {

bool selectable(int fd) { return fd >= 0 && fd < FD_SETSIZE; }

void addToSet(Engine &e, int fd)
{
    FD_SET(fd, &e.ioSet);
    if (fd + 1 > e.ioMaxFD)
        e.ioMaxFD = fd + 1;
}

// Serves one request: read the current frame when the buffer does not hold
// it, then answer.
void answer(MVplayback *object)
{
    // The error number is this thread's own; cleared first, so that a read
    // failing without one is not reported with an earlier read's.
    __mvSetErrno(0);
    if (object->bufferedFrame.load() != object->currentFrame.load() &&
        __mvPBio_PrepareVideo(object) != 0)
        object->pendingError = mvErrno ? mvErrno : MV_ERR_INTERNAL;
    object->readySema->V();
}

// Answers the requests counted beyond the one that woke the thread (or, for
// a movie just added, made before it arrived); the loop ends with the
// semaphore armed and its descriptor quiet.
void answerAll(MVplayback *object)
{
    while (object->requestSema->P() == 1)
        answer(object);
}

// Takes the request bit of a movie from the current wait's working copy.
bool takeRequest(Engine &e, MVplayback *object)
{
    std::lock_guard<std::mutex> hold(e.ioCopyLock);
    if (!selectable(object->requestFD) || !FD_ISSET(object->requestFD, &e.ioSetCopy))
        return false;
    FD_CLR(object->requestFD, &e.ioSetCopy);
    return true;
}

void fileIOThread(Engine *e)
{
    e->ioCmdSem->P();
    e->ioRemoveSem->P();
    e->fileIOInitialized.store(true);
    for (;;) {
        fd_set ready = e->ioSet;
        const int count = select(e->ioMaxFD, &ready, nullptr, nullptr, nullptr);
        if (e->ioStop.load())
            return;
        if (count < 0)
            continue;
        {
            std::lock_guard<std::mutex> hold(e->ioCopyLock);
            e->ioSetCopy = ready;
        }
        if (FD_ISSET(e->ioCmdFD, &ready)) {
            MVplayback *added = __mvPB_GetNewMovie();
            if (added && selectable(added->requestFD)) {
                addToSet(*e, added->requestFD);
                // A request made before the movie arrived here is answered
                // now rather than lost.
                answerAll(added);
            }
            e->ioCmdSem->P();
        }
        if (FD_ISSET(e->ioRemoveFD, &ready)) {
            MVplayback *removed = e->removeMovie.exchange(nullptr);
            if (removed && selectable(removed->requestFD)) {
                FD_CLR(removed->requestFD, &e->ioSet);
                std::lock_guard<std::mutex> hold(e->ioCopyLock);
                FD_CLR(removed->requestFD, &e->ioSetCopy);
            }
            e->ioRemoveSem->P();
            e->ioRemoveAck.V();
        }
        std::shared_lock<std::shared_mutex> hold(e->listLock);
        for (MVplayback *object = e->head->next; object; object = object->next) {
            if (!takeRequest(*e, object))
                continue;
            answer(object);
            answerAll(object);
        }
    }
}

}  // namespace

int __mvPB_InitVideoBuffers(MVplayback *object)
{
    __mvPB_FreeVideoBuffers(object);
    const DMparams *format = __mvT_GetVirtualFormat(object->imageTrack);
    if (!format)
        return -1;
    DMparams *copy = nullptr;
    if (dmParamsCreate(&copy) != 0)
        return cinelark::movie::failWith(ENOMEM);
    size_t size = 0;
    if (dmParamsCopyAllElems(format, copy) == 0 &&
        dmParamsSetEnum(copy, DM_IMAGE_PACKING, DM_PACKING_RGBX) == 0)
        size = dmImageFrameSize(copy);
    dmParamsDestroy(copy);
    if (size == 0 || size > size_t(INT_MAX) ||
        size < size_t(object->width) * size_t(object->height) * 4)
        return cinelark::movie::failWith(MV_ERR_IMAGE_SETTINGS);
    object->videoBuffer = new (std::nothrow) uint32_t[size / 4];
    if (!object->videoBuffer)
        return cinelark::movie::failWith(ENOMEM);
    object->videoBufferSize = int32_t(size);
    // Locking the buffer in memory keeps painting free of page faults; a
    // refusal (no privilege, a low limit) costs only that.
    mlock(object->videoBuffer, size);
    return 0;
}

int __mvPB_FreeVideoBuffers(MVplayback *object)
{
    if (object->videoBuffer) {
        munlock(object->videoBuffer, size_t(object->videoBufferSize));
        delete[] object->videoBuffer;
    }
    object->videoBuffer = nullptr;
    object->videoBufferSize = 0;
    return 0;
}

int __mvPBio_PrepareVideo(MVplayback *object)
{
    const int32_t frame = object->currentFrame.load();
    if (frame == object->bufferedFrame.load())
        return 0;
    // The frame is marked as held before it is read, so a frame that fails
    // is not read again until the current frame moves.
    object->bufferedFrame = frame;
    std::lock_guard<std::mutex> hold(object->videoLock);
    return __mvT_ReadRGBXImage(object->imageTrack, frame, size_t(object->videoBufferSize),
                               object->videoBuffer);
}

void __mvPB_SetNewMovie(MVplayback *object) { engine()->newMovie.store(object); }

MVplayback *__mvPB_GetNewMovie() { return engine()->newMovie.exchange(nullptr); }

void __mvPB_RemoveFromFileIO(MVplayback *object)
{
    Engine &e = *engine();
    e.removeMovie.store(object);
    e.ioRemoveSem->V();
    e.ioRemoveAck.P();
}

void __mvPB_ClearFileIORequests(MVplayback *object)
{
    Engine &e = *engine();
    std::lock_guard<std::mutex> hold(e.ioCopyLock);
    if (selectable(object->requestFD))
        FD_CLR(object->requestFD, &e.ioSetCopy);
}

int __mvPB_InitFileIOThread()
{
    Engine &e = *engine();
    if (e.ioThread.joinable())
        return 0;
    FD_ZERO(&e.ioSet);
    FD_ZERO(&e.ioSetCopy);
    e.ioCmdSem = PollableSemaphore::create(0);
    e.ioRemoveSem = PollableSemaphore::create(0);
    if (!e.ioCmdSem || !e.ioRemoveSem)
        return cinelark::movie::failWith(errno ? errno : ENOMEM);
    e.ioCmdFD = e.ioCmdSem->fd();
    e.ioRemoveFD = e.ioRemoveSem->fd();
    if (!selectable(e.ioCmdFD) || !selectable(e.ioRemoveFD))
        return cinelark::movie::failWith(EMFILE);
    e.ioMaxFD = 0;
    addToSet(e, e.ioCmdFD);
    addToSet(e, e.ioRemoveFD);
    e.fileIOInitialized.store(false);
    e.ioStop.store(false);
    try {
        e.ioThread = std::thread(fileIOThread, &e);
    } catch (const std::system_error &error) {
        return cinelark::movie::failWith(error.code().value());
    }
    while (!e.fileIOInitialized.load())
        std::this_thread::yield();
    return 0;
}

void __mvPB_KillFileIOThread()
{
    Engine *e = engine();
    if (!e)
        return;
    if (e->ioThread.joinable()) {
        e->ioStop.store(true);
        e->ioCmdSem->V();
        e->ioThread.join();
    }
    e->ioCmdSem.reset();
    e->ioRemoveSem.reset();
    e->ioCmdFD = e->ioRemoveFD = -1;
}
