// Semaphores shared by the threads of one process: the plain counting
// semaphore that serialises a seek-and-read pair or hands a result from one
// thread to another, and the pollable semaphore whose descriptor sits in a
// select() set next to other descriptors.
//
// Both are thread-safe: any thread may call any member at any time, except
// that an object must outlive every call made on it.
#ifndef CINELARK_ARENA_SEMAPHORES_H
#define CINELARK_ARENA_SEMAPHORES_H

#include <condition_variable>
#include <memory>
#include <mutex>

namespace cinelark::arena {

// A counting semaphore. P waits until the count is positive and then takes
// one; V adds one and wakes one waiter.
class Semaphore {
public:
    explicit Semaphore(int initial = 1);
    Semaphore(const Semaphore &) = delete;
    Semaphore &operator=(const Semaphore &) = delete;

    void P();
    // Takes one without waiting when the count is positive; true when taken.
    bool tryP();
    void V();
    // The current count, for tests and diagnostics; it may change at once.
    int value() const;

private:
    mutable std::mutex lock_;
    std::condition_variable positive_;
    int count_;
};

// A pollable semaphore: a counter plus a Linux eventfd.
//
// Contract:
//   - P never blocks. When the count is positive it takes one and returns 1.
//     Otherwise it decrements the count below zero, which arms the
//     semaphore for this waiter, and returns 0.
//   - V increments the count. When the count was negative (a waiter is
//     armed) V hands that waiter the count by making the descriptor
//     readable.
//   - The descriptor is readable exactly while a V has been handed to an
//     armed waiter and no P has consumed it since. The waiter that sees it
//     readable owns the semaphore; its next P consumes the signal (the
//     descriptor stops being readable) and then takes or arms as above, so
//     one P after each wake-up both acknowledges and re-arms.
//   - A P that returns 1 also consumes a pending signal, so "P while it
//     returns 1" drains every V and ends armed with the descriptor quiet.
// Only one descriptor exists per semaphore; several armed waiters share it.
class PollableSemaphore {
public:
    // Throws std::system_error when no eventfd can be made; use create() to
    // get a null pointer and errno instead.
    explicit PollableSemaphore(int initial = 0);
    ~PollableSemaphore();
    PollableSemaphore(const PollableSemaphore &) = delete;
    PollableSemaphore &operator=(const PollableSemaphore &) = delete;

    // A new semaphore, or null with errno set (no descriptor or no memory).
    static std::unique_ptr<PollableSemaphore> create(int initial = 0);

    // The descriptor to put in a select() read set; owned by the semaphore.
    int fd() const { return fd_; }
    int P();
    void V();
    // The current count (negative while armed), for tests and diagnostics.
    int value() const;

private:
    struct NoThrow {};
    PollableSemaphore(int initial, NoThrow);
    void consumeSignal();

    mutable std::mutex lock_;
    int count_;
    bool signalled_ = false;  // the eventfd holds one unread wake-up
    int fd_ = -1;
};

}  // namespace cinelark::arena

#endif
