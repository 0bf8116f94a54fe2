// The ring buffer under every frame and data buffer.
//
// Head (write position) and tail (read position) are 32-bit words: a byte
// offset in bits 0-29 and a 2-bit tag in bits 30-31, so a ring holds at most
// 2^30 - 1 bytes. The tags only settle the case of equal offsets: the ring is
// full when head.tag == tail.tag + 1 (mod 4) and empty otherwise. A move that
// asks for at least everything there is (all free bytes for the head, all
// valid bytes for the tail) gives the moving word the other word's tag plus
// one; any smaller move keeps its tag.
//
// One producer moves the head and one consumer the tail, possibly on
// different threads. Every access to the words happens under the ring's
// mutex, and a side that must wait for the other sleeps on the ring's
// condition variable and re-checks after every wake-up. The producer's
// "done" flag ends all waiting: afterwards queries answer with what is there.
// A ring made around memory for the length of one call has no other side and
// never waits.
//
// Freeing a ring while another thread is inside a call on it (asleep in a
// query, typically) wakes that thread, which finds the ring empty and
// without room, and waits until it has left: the buffer around the ring is
// deleted only after its last user is out of it.
#ifndef CINELARK_COMPRESSION_RING_H
#define CINELARK_COMPRESSION_RING_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace cl {

class Ring {
 public:
  static constexpr int32_t kMaxSize = (1 << 30) - 1;

  // rbNew: takes size bytes at memory, empty. rbFree: forgets the memory,
  // wakes every thread inside a call on the ring and returns once they have
  // all left.
  void New(int32_t size, uint8_t* memory, bool neverWaits);
  void Free();

  // Marks one caller inside the ring (and the buffer around it) for its
  // life, so that Free waits for it.
  class Use {
   public:
    explicit Use(Ring& ring) : ring_(ring) { ring_.Enter(); }
    ~Use() { ring_.Leave(); }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    Ring& ring_;
  };
  bool Exists() const;

  // rbQueryFree / rbQueryValid: wait (unless amount is 0, the ring is done or
  // never waits) until min(amount, size) bytes are free or valid, then store
  // the first such byte's address, return the contiguous count up to the end
  // of memory and store in *wrap the count continuing at the start.
  int32_t QueryFree(int32_t amount, uint8_t** position, int32_t* wrap);
  int32_t QueryValid(int32_t amount, uint8_t** position, int32_t* wrap);

  // rbUpdateHead / rbUpdateTail: move by min(amount, free or valid bytes),
  // wake a waiting other side and return the bytes moved.
  int32_t UpdateHead(int32_t amount);
  int32_t UpdateTail(int32_t amount);

  // rbDone: the producer has finished; no query waits from now on.
  void Done();

  // Taken under the lock: a Free on another thread may be setting it to 0.
  int32_t size() const;
  uint8_t* base() const { return base_.load(std::memory_order_relaxed); }

  // Snapshot of the words and counts, for checks and diagnostics.
  uint32_t head() const;
  uint32_t tail() const;
  int32_t ValidBytes() const;
  int32_t FreeBytes() const;
  int Users() const;

 private:
  static constexpr uint32_t kOffsetMask = (1u << 30) - 1;
  static uint32_t Offset(uint32_t word) { return word & kOffsetMask; }
  static uint32_t Tag(uint32_t word) { return word >> 30; }

  bool FullLocked() const;
  int32_t ValidLocked() const;
  int32_t FreeLocked() const;
  // Block: sleep until the other side moves or the ring is done.
  void BlockLocked(std::unique_lock<std::mutex>& lock);
  uint32_t Advance(uint32_t word, int32_t n) const;
  void Enter();
  void Leave();

  mutable std::mutex mutex_;
  std::condition_variable moved_;
  // Set by New and Free only, before and after the two sides run. Atomic
  // so that Exists, which every stream call checks, needs no lock.
  std::atomic<uint8_t*> base_{nullptr};
  int32_t size_ = 0;
  bool neverWaits_ = false;
  // Protected by mutex_: head_ written by the producer, tail_ by the
  // consumer, done_ by the producer, waiters_ by whichever side sleeps.
  uint32_t head_ = 0;
  uint32_t tail_ = 0;
  bool done_ = false;
  int waiters_ = 0;
  // Callers inside (Use), and the wake-up of a Free waiting for them.
  int inside_ = 0;
  std::condition_variable left_;
};

}  // namespace cl

#endif
