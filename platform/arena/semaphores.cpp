// Counting and pollable semaphores over std::mutex, std::condition_variable
// and a Linux eventfd.
#include "arena/semaphores.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <system_error>

namespace cinelark::arena {

Semaphore::Semaphore(int initial) : count_(initial) {}

void Semaphore::P()
{
    std::unique_lock guard(lock_);
    positive_.wait(guard, [this] { return count_ > 0; });
    --count_;
}

bool Semaphore::tryP()
{
    std::lock_guard guard(lock_);
    if (count_ <= 0)
        return false;
    --count_;
    return true;
}

void Semaphore::V()
{
    {
        std::lock_guard guard(lock_);
        ++count_;
    }
    positive_.notify_one();
}

int Semaphore::value() const
{
    std::lock_guard guard(lock_);
    return count_;
}

PollableSemaphore::PollableSemaphore(int initial, NoThrow) : count_(initial)
{
    fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PollableSemaphore::PollableSemaphore(int initial) : PollableSemaphore(initial, NoThrow{})
{
    if (fd_ < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

std::unique_ptr<PollableSemaphore> PollableSemaphore::create(int initial)
{
    std::unique_ptr<PollableSemaphore> sema(new (std::nothrow) PollableSemaphore(initial, NoThrow{}));
    if (!sema) {
        errno = ENOMEM;
        return nullptr;
    }
    if (sema->fd_ < 0)
        return nullptr;  // errno is eventfd's
    return sema;
}

PollableSemaphore::~PollableSemaphore()
{
    if (fd_ >= 0)
        close(fd_);
}

// Drains the eventfd; called with the lock held. The descriptor is
// non-blocking, so an empty counter just reports EAGAIN.
void PollableSemaphore::consumeSignal()
{
    if (!signalled_)
        return;
    uint64_t value;
    while (read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
    signalled_ = false;
}

int PollableSemaphore::P()
{
    std::lock_guard guard(lock_);
    consumeSignal();
    if (count_ > 0) {
        --count_;
        return 1;
    }
    --count_;
    return 0;
}

void PollableSemaphore::V()
{
    std::lock_guard guard(lock_);
    ++count_;
    if (count_ <= 0 && !signalled_) {
        const uint64_t one = 1;
        // A write to an eventfd fails only when its counter would overflow,
        // which one pending wake-up at a time never reaches.
        while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        signalled_ = true;
    }
}

int PollableSemaphore::value() const
{
    std::lock_guard guard(lock_);
    return count_;
}

}  // namespace cinelark::arena
