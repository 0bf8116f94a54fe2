// The movie event queue: one process-wide ring of event records that the main
// playback thread fills and the application drains, with a descriptor that is
// readable exactly while events are pending.
//
// The ring starts with 10 nodes and grows by 10, inserted right after the
// write position when every node is pending, so the pending run stays in
// order. The write position is the node last filled, the read position the
// oldest pending one. The pollable semaphore is signalled once when the queue
// turns non-empty and consumed once when it turns empty.
#include <sys/times.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <vector>

#include "engine.h"
#include "api.h"
#include "error.h"

using namespace cinelark::playback;

namespace {

constexpr int kGrowth = 10;

struct Node {
    MVevent record{};
    Node *next = nullptr;
};

struct EventQueue {
    Semaphore lock{1};
    std::unique_ptr<PollableSemaphore> ready;
    int fd = -1;
    std::vector<std::unique_ptr<Node>> storage;  // owns every node, head first
    Node *write = nullptr;
    Node *read = nullptr;
    std::atomic<int32_t> nodes{0};
    std::atomic<int32_t> free{0};
};

std::mutex gCreateLock;
std::unique_ptr<EventQueue> gQueue;
std::atomic<EventQueue *> gQueueView{nullptr};
std::atomic<int32_t> gSelectMask{kEventStop | kEventError};

// Adds count nodes to the ring after the given node.
void insertNodes(EventQueue &q, Node *after, int count)
{
    for (int i = 0; i < count; i++) {
        q.storage.push_back(std::make_unique<Node>());
        Node *node = q.storage.back().get();
        node->next = after->next;
        after->next = node;
        after = node;
    }
    q.nodes += count;
    q.free += count;
}

EventQueue *queueOrCreate()
{
    if (EventQueue *q = gQueueView.load())
        return q;
    std::lock_guard<std::mutex> hold(gCreateLock);
    if (gQueue)
        return gQueue.get();
    auto q = std::make_unique<EventQueue>();
    q->ready = PollableSemaphore::create(0);
    if (!q->ready) {
        __mvSetErrno(errno ? errno : ENOMEM);
        return nullptr;
    }
    q->fd = q->ready->fd();
    q->ready->P();
    // The head node closes the first ten into a ring and stays out of it.
    q->storage.push_back(std::make_unique<Node>());
    Node *head = q->storage.front().get();
    insertNodes(*q, head, kGrowth);
    Node *first = head->next;
    Node *last = first;
    while (last->next)
        last = last->next;
    last->next = first;
    q->write = q->read = first;
    gQueue = std::move(q);
    gQueueView.store(gQueue.get());
    return gQueue.get();
}

}  // namespace

uint32_t __mvEV_TimeStamp()
{
    struct tms unused;
    const double ticks = double(times(&unused));
    return uint32_t(int64_t(ticks * 1000.0 / double(sysconf(_SC_CLK_TCK))));
}

int __mvPB_GetAppFD() { return queueOrCreate() ? 0 : -1; }

int __mvEV_SendEvent(MVplayback *object, int32_t maskBit)
{
    EventQueue *q = gQueueView.load();
    if (!(gSelectMask.load() & maskBit) || !q)
        return 0;
    const uint32_t time = __mvEV_TimeStamp();
    q->lock.P();
    if (q->free.load() == 0) {
        try {
            insertNodes(*q, q->write, kGrowth);
        } catch (...) {
            q->lock.V();
            __mvSetErrno(ENOMEM);
            return -1;
        }
    }
    q->write = q->write->next;
    q->free -= 1;
    if (q->nodes.load() - q->free.load() == 1) {
        q->read = q->write;
        q->ready->V();
    }
    MVevent &event = q->write->record;
    event.value = 0;
    switch (maskBit) {
    case kEventFrame:
        event.type = MV_EVENT_FRAME;
        break;
    case kEventStop:
        event.type = MV_EVENT_STOP;
        break;
    case kEventError:
        event.type = MV_EVENT_ERROR;
        event.value = object->pendingError.load();
        break;
    default:
        event.type = MV_EVENT_SLOW_PLAY;
        break;
    }
    event.time = time;
    event.movie = object->movie;
    event.frame = object->bufferedFrame.load();
    q->lock.V();
    return 0;
}

void __mvEV_DestroyEventQueue()
{
    std::lock_guard<std::mutex> hold(gCreateLock);
    if (gQueue)
        gQueue->ready.reset();
}

void __mvEV_DestroyAllEvents()
{
    std::lock_guard<std::mutex> hold(gCreateLock);
    gQueueView.store(nullptr);
    gQueue.reset();
}

extern "C" int mvGetEventFD(int *fd)
{
    if (!fd)
        return cinelark::movie::failWith(EINVAL);
    return cinelark::movie::guarded([&]() -> int {
        EventQueue *q = queueOrCreate();
        if (!q)
            return -1;
        *fd = q->fd;
        return 0;
    });
}

extern "C" void mvSetSelectEvents(int mask) { gSelectMask.store(mask); }

extern "C" int mvGetSelectEvents(void) { return gSelectMask.load(); }

extern "C" int mvPendingEvents(void)
{
    EventQueue *q = gQueueView.load();
    return q ? q->nodes.load() - q->free.load() : 0;
}

extern "C" int mvNextEvent(MVevent *event)
{
    if (!event)
        return cinelark::movie::failWith(EINVAL);
    return cinelark::movie::guarded([&]() -> int {
        EventQueue *q = queueOrCreate();
        if (!q)
            return -1;
        q->lock.P();
        if (q->nodes.load() == q->free.load()) {
            // Nothing pending: the caller polls the descriptor first.
            q->lock.V();
            return cinelark::movie::failWith(EAGAIN);
        }
        *event = q->read->record;
        q->free += 1;
        if (q->nodes.load() != q->free.load())
            q->read = q->read->next;
        else
            q->ready->P();
        q->lock.V();
        return 0;
    });
}

extern "C" MVevent *mvPeekEvent(MVevent *event)
{
    if (!event)
        return nullptr;
    EventQueue *q = queueOrCreate();
    if (!q)
        return nullptr;
    // Taken under the lock so that a record being filled is never copied
    // half-written; with nothing pending it is the record last taken.
    q->lock.P();
    *event = q->read->record;
    q->lock.V();
    return event;
}
