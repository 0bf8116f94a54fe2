// Counting and pollable semaphores, including the hand-over between threads
// that the playback engine's select() loops depend on.
#include "arena/semaphores.h"

#include <gtest/gtest.h>

#include <sys/select.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using cinelark::arena::PollableSemaphore;
using cinelark::arena::Semaphore;

// True when the descriptor is readable within the time-out (milliseconds).
bool readable(int fd, int timeoutMs = 0)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(fd + 1, &set, nullptr, nullptr, &tv) == 1;
}

TEST(Semaphore, CountsRefusesTryPAtZeroAndPWaitsForVFromAnotherThread)
{
    Semaphore s(2);
    EXPECT_TRUE(s.tryP());
    EXPECT_TRUE(s.tryP());
    EXPECT_FALSE(s.tryP());
    s.V();
    EXPECT_EQ(s.value(), 1);
    s.P();
    EXPECT_EQ(s.value(), 0);

    std::atomic<bool> passed{false};
    std::thread waiter([&] {
        s.P();
        passed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(passed.load());
    s.V();
    waiter.join();
    EXPECT_TRUE(passed.load());
    EXPECT_EQ(s.value(), 0);
}

TEST(Semaphore, ActsAsMutexBetweenManyThreads)
{
    Semaphore lock(1);
    int counter = 0;  // guarded by lock
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                lock.P();
                ++counter;
                lock.V();
            }
        });
    }
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(counter, 40000);
}

// Made through the factory, which must give a working descriptor. The
// descriptor is readable only while a V is pending for an armed waiter.
TEST(PollableSemaphore, PTakesCountsAtOnceThenArmsAndOnlyAWakeUpMakesItReadable)
{
    auto s = PollableSemaphore::create(1);
    ASSERT_NE(s, nullptr);
    s->V();  // nobody armed: only counts
    EXPECT_FALSE(readable(s->fd()));
    EXPECT_EQ(s->P(), 1);
    EXPECT_EQ(s->P(), 1);
    EXPECT_EQ(s->P(), 0) << "a third P finds no count and arms";
    EXPECT_EQ(s->value(), -1);
    EXPECT_FALSE(readable(s->fd()));
    s->V();
    EXPECT_TRUE(readable(s->fd()));
    EXPECT_TRUE(readable(s->fd())) << "it stays readable until a P consumes it";
    EXPECT_EQ(s->P(), 0) << "the P after the wake-up consumes the signal and re-arms";
    EXPECT_FALSE(readable(s->fd()));

    s->V();  // wakes the armed waiter
    s->V();  // counted
    s->V();  // counted
    ASSERT_TRUE(readable(s->fd()));
    int taken = 0;
    while (s->P() == 1)
        ++taken;
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(s->value(), -1);
    EXPECT_FALSE(readable(s->fd()));
}

TEST(PollableSemaphore, SelectSeesEveryRoundOfARequestAnswerLoop)
{
    // Two threads ping-pong through two pollable semaphores the way the
    // engine's main and file threads do; no round may be lost.
    PollableSemaphore request(0), answer(0);
    ASSERT_EQ(answer.P(), 0);
    ASSERT_EQ(request.P(), 0);  // armed for the worker before it starts
    constexpr int kRounds = 500;
    std::thread worker([&] {
        for (int i = 0; i < kRounds; ++i) {
            ASSERT_TRUE(readable(request.fd(), 5000));
            request.P();
            answer.V();
        }
    });
    int answered = 0;
    for (int i = 0; i < kRounds; ++i) {
        request.V();
        if (!readable(answer.fd(), 5000))
            break;
        answer.P();
        ++answered;
    }
    worker.join();
    EXPECT_EQ(answered, kRounds);
}

}  // namespace
