// Ring buffer arithmetic and the producer/consumer waits.
#include "ring.h"

#include <algorithm>

namespace cl {

void Ring::New(int32_t size, uint8_t* memory, bool neverWaits) {
  std::lock_guard lock(mutex_);
  base_.store(memory, std::memory_order_relaxed);
  size_ = size;
  neverWaits_ = neverWaits;
  head_ = tail_ = 0;
  done_ = false;
}

void Ring::Free() {
  std::unique_lock lock(mutex_);
  base_.store(nullptr, std::memory_order_relaxed);
  size_ = 0;
  head_ = tail_ = 0;
  done_ = true;
  moved_.notify_all();
  left_.wait(lock, [this] { return inside_ == 0; });
}

void Ring::Enter() {
  std::lock_guard lock(mutex_);
  ++inside_;
}

void Ring::Leave() {
  std::lock_guard lock(mutex_);
  if (--inside_ == 0) left_.notify_all();
}

bool Ring::Exists() const { return base_.load(std::memory_order_relaxed) != nullptr; }

bool Ring::FullLocked() const {
  return Offset(head_) == Offset(tail_) && Tag(head_) == ((Tag(tail_) + 1) & 3);
}

int32_t Ring::ValidLocked() const {
  const int32_t h = static_cast<int32_t>(Offset(head_));
  const int32_t t = static_cast<int32_t>(Offset(tail_));
  if (h > t) return h - t;
  if (h < t) return h - t + size_;
  return FullLocked() ? size_ : 0;
}

int32_t Ring::FreeLocked() const {
  const int32_t h = static_cast<int32_t>(Offset(head_));
  const int32_t t = static_cast<int32_t>(Offset(tail_));
  if (t > h) return t - h;
  if (t < h) return t - h + size_;
  return FullLocked() ? 0 : size_;
}

void Ring::BlockLocked(std::unique_lock<std::mutex>& lock) {
  ++waiters_;
  moved_.wait(lock);
  --waiters_;
}

uint32_t Ring::Advance(uint32_t word, int32_t n) const {
  int64_t offset = int64_t(Offset(word)) + n;
  if (offset >= size_) offset -= size_;
  return (word & ~kOffsetMask) | static_cast<uint32_t>(offset);
}

int32_t Ring::QueryFree(int32_t amount, uint8_t** position, int32_t* wrap) {
  std::unique_lock lock(mutex_);
  if (amount >= 1) {
    const int32_t wanted = std::min(amount, size_);
    while (FreeLocked() < wanted && !done_ && !neverWaits_) BlockLocked(lock);
  }
  const int32_t head = static_cast<int32_t>(Offset(head_));
  const int32_t free = FreeLocked();
  *position = base() + head;
  if (head + free <= size_) {
    *wrap = 0;
    return free;
  }
  *wrap = static_cast<int32_t>(Offset(tail_));
  return size_ - head;
}

int32_t Ring::QueryValid(int32_t amount, uint8_t** position, int32_t* wrap) {
  std::unique_lock lock(mutex_);
  if (amount >= 1) {
    const int32_t wanted = std::min(amount, size_);
    while (ValidLocked() < wanted && !done_ && !neverWaits_) BlockLocked(lock);
  }
  const int32_t tail = static_cast<int32_t>(Offset(tail_));
  const int32_t valid = ValidLocked();
  *position = base() + tail;
  if (tail + valid <= size_) {
    *wrap = 0;
    return valid;
  }
  *wrap = static_cast<int32_t>(Offset(head_));
  return size_ - tail;
}

int32_t Ring::UpdateHead(int32_t amount) {
  std::lock_guard lock(mutex_);
  if (base() == nullptr) return 0;
  const int32_t free = FreeLocked();
  const int32_t n = std::min(amount, free);
  uint32_t head = Advance(head_, n);
  if (amount >= free) head = (head & kOffsetMask) | (((Tag(tail_) + 1) & 3) << 30);
  head_ = head;
  if (waiters_ > 0) moved_.notify_all();
  return n;
}

int32_t Ring::UpdateTail(int32_t amount) {
  std::lock_guard lock(mutex_);
  if (base() == nullptr) return 0;
  const int32_t valid = ValidLocked();
  const int32_t n = std::min(amount, valid);
  uint32_t tail = Advance(tail_, n);
  if (amount >= valid) tail = (tail & kOffsetMask) | (((Tag(head_) + 1) & 3) << 30);
  tail_ = tail;
  if (waiters_ > 0) moved_.notify_all();
  return n;
}

void Ring::Done() {
  std::lock_guard lock(mutex_);
  done_ = true;
  moved_.notify_all();
}

uint32_t Ring::head() const {
  std::lock_guard lock(mutex_);
  return head_;
}

uint32_t Ring::tail() const {
  std::lock_guard lock(mutex_);
  return tail_;
}

int32_t Ring::ValidBytes() const {
  std::lock_guard lock(mutex_);
  return ValidLocked();
}

int32_t Ring::size() const {
  std::lock_guard lock(mutex_);
  return size_;
}

int Ring::Users() const {
  std::lock_guard lock(mutex_);
  return inside_;
}

int32_t Ring::FreeBytes() const {
  std::lock_guard lock(mutex_);
  return FreeLocked();
}

}  // namespace cl
