// A port device and its device thread.
//
// The device thread is the consumer of the port's ring: every period it takes
// the words the library has published, turns them into 16-bit frames with the
// device gains applied, hands them to the backend, advances the read index
// and, when the writer's fill level is reached, makes the port's descriptor
// readable. Backends that do not keep time (null, wav) are paced here in real
// time, one period of frames per period; so is a backend that was lost, so a
// writer blocked at its fill point always wakes up.
#include "audiodev/device.h"
#include "backend.h"
#include "device_state.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <thread>
#include <vector>

namespace cinelark::audiodev {

namespace {

using Clock = std::chrono::steady_clock;

// The device thread's period: short enough that a blocked writer wakes
// promptly, long enough that the thread costs nothing.
constexpr int kPeriodsPerSecond = 100;
constexpr auto kPeriod = std::chrono::microseconds(1000000 / kPeriodsPerSecond);

// How far a backend that keeps time may run ahead of the clock. A sound card
// never gets near it (its buffer is shorter); an output that takes frames
// without waiting (ALSA's "null" device, a stalled sound server) is held to
// real time by it instead of draining the ring at once.
constexpr auto kMaxAhead = std::chrono::milliseconds(250);

// Frames handled per period at most (48000 Hz / 100 with room to spare).
constexpr std::size_t kMaxPeriodFrames = 1024;

// Index words of the mapping.
constexpr std::size_t kReadWord = 0;
constexpr std::size_t kWriteWord = 1;
constexpr std::size_t kFillWord = 3;

// The output tap and its context; a watcher sets both before any port it
// watches opens, so a device thread never sees one without the other.
std::atomic<OutputTap> output_tap{nullptr};
std::atomic<void*> output_tap_context{nullptr};

}  // namespace

void set_output_tap(OutputTap tap, void* context) {
  output_tap_context.store(context);
  output_tap.store(tap);
}

struct PortThread {
  // Set by PortDevice::start before the thread runs; constant afterwards.
  std::unique_ptr<Backend> backend;
  int32_t* header = nullptr;  // the mapping's index words
  int32_t* ring = nullptr;    // the ring's first word
  int64_t ring_words = 0;
  int channels = 2;
  int wake_fd = -1;
  std::string port_name;

  // Written by the closing thread under `lock`, read by the device thread.
  std::mutex lock;
  std::condition_variable wake;
  std::atomic<bool> stop{false};

  // The device thread's own state.
  int rate = kInitialRate;
  int64_t periods = 0;  // periods into the current second of a paced run
  // Frames a time-keeping backend took since `run_start` at `run_rate`.
  Clock::time_point run_start;
  int64_t run_frames = 0;
  int run_rate = 0;
  uint32_t generation = 0;
  std::array<int32_t, 4> gain{};  // multiplier per channel, 1/2^23 units
  bool lost = false;
  std::vector<int16_t> staging;
  std::thread thread;

  void run();
  bool hold_to_real_time(long frames);
  void report_lost();
  void apply_params();
  std::size_t convert(int64_t read, std::size_t frames);
  void signal_writer(int64_t read);
  void drain();
  bool sleep_until(Clock::time_point deadline);
};

// The output failed for good: say so once and go on consuming in real time.
void PortThread::report_lost() {
  std::fprintf(stderr, "audio port \"%s\": the output device failed; its sound is discarded\n",
               port_name.c_str());
  lost = true;
}

void PortThread::apply_params() {
  DeviceState& dev = device_state();
  generation = dev.generation.load(std::memory_order_acquire);
  int32_t wanted = dev.output_rate.load();
  if (wanted != rate && !lost && backend->set_rate(wanted)) rate = wanted;
  int32_t left = gain_multiplier(dev.gain[0].load());
  int32_t right = gain_multiplier(dev.gain[1].load());
  for (int c = 0; c < 4; ++c) gain[c] = (c & 1) ? right : left;
}

// Converts `frames` frames starting at ring word `read` into `staging` and
// shows them to the output tap.
// A device word holds a 24-bit sample; times a multiplier of at most 2^23 it
// fits 64 bits, and shifting by 23 + 8 leaves a 16-bit sample.
std::size_t PortThread::convert(int64_t read, std::size_t frames) {
  std::size_t words = frames * static_cast<std::size_t>(channels);
  int64_t first = std::min<int64_t>(static_cast<int64_t>(words), ring_words - read);
  int mask = channels - 1;
  int c = 0;
  int16_t* out = staging.data();
  auto put = [&](const int32_t* from, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
      int64_t v = (static_cast<int64_t>(from[i]) * gain[c]) >> 31;
      *out++ = static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
      c = (c + 1) & mask;
    }
  };
  put(ring + read, first);
  put(ring, static_cast<int64_t>(words) - first);
  if (OutputTap tap = output_tap.load(std::memory_order_acquire))
    tap(output_tap_context.load(), staging.data(), static_cast<long>(frames), channels, rate);
  return words;
}

void PortThread::signal_writer(int64_t read) {
  int64_t write = std::atomic_ref(header[kWriteWord]).load(std::memory_order_acquire);
  int64_t fill = std::atomic_ref(header[kFillWord]).load(std::memory_order_seq_cst);
  int64_t free = read - write - 1;
  if (free < 0) free += ring_words;
  if (free >= ring_words - fill) {
    uint64_t one = 1;
    // A full counter already wakes the writer, so a failed write loses nothing.
    [[maybe_unused]] ssize_t n = ::write(wake_fd, &one, sizeof one);
  }
}

// Counts frames a time-keeping backend took and sleeps while they are more
// than kMaxAhead ahead of the clock; true when asked to stop.
bool PortThread::hold_to_real_time(long frames) {
  Clock::time_point now = Clock::now();
  if (run_rate != rate) {
    run_rate = rate;
    run_start = now;
    run_frames = 0;
  }
  run_frames += frames;
  auto played = std::chrono::microseconds(run_frames * 1000000 / run_rate);
  Clock::time_point wake_at = run_start + played - kMaxAhead;
  return wake_at > now && sleep_until(wake_at);
}

// Sleeps until `deadline` or a stop request; true when asked to stop.
bool PortThread::sleep_until(Clock::time_point deadline) {
  std::unique_lock hold(lock);
  return wake.wait_until(hold, deadline, [this] { return stop.load(); });
}

void PortThread::run() {
  apply_params();
  Clock::time_point deadline = Clock::now();
  while (!stop.load()) {
    int64_t write = std::atomic_ref(header[kWriteWord]).load(std::memory_order_acquire);
    // Parameters set before the samples just seen were written apply to them.
    if (device_state().generation.load(std::memory_order_acquire) != generation) apply_params();

    int64_t read = std::atomic_ref(header[kReadWord]).load(std::memory_order_relaxed);
    int64_t queued = write - read;
    if (queued < 0) queued += ring_words;
    // Rates are not all multiples of 100 Hz (22050, 5512), so the periods
    // of a run take their share of frames by whole-run arithmetic rather than
    // each rounding down.
    int64_t due = (int64_t{rate} * (periods + 1)) / kPeriodsPerSecond -
                  (int64_t{rate} * periods) / kPeriodsPerSecond;
    std::size_t period_frames = std::clamp<std::size_t>(static_cast<std::size_t>(due), 1, kMaxPeriodFrames);
    std::size_t frames = std::min(static_cast<std::size_t>(queued / channels), period_frames);

    long taken = static_cast<long>(frames);
    bool paced_here = lost || !backend->keeps_time();
    if (frames > 0) convert(read, frames);
    if (!lost) {
      long sent = 0;
      if (frames == 0 && backend->keeps_time()) {
        // Keep a sound card fed with silence while the ring is empty.
        std::fill_n(staging.begin(), period_frames * channels, int16_t{0});
        sent = backend->write(staging, static_cast<long>(period_frames));
        if (sent < 0) report_lost();
        taken = 0;
      } else if (frames > 0) {
        sent = taken = backend->write(staging, static_cast<long>(frames));
        if (taken < 0) {
          report_lost();
          taken = static_cast<long>(frames);
        }
      }
      if (!paced_here && !lost && sent > 0 && hold_to_real_time(sent)) break;
    }

    if (taken > 0) {
      read = (read + static_cast<int64_t>(taken) * channels) % ring_words;
      std::atomic_ref(header[kReadWord]).store(static_cast<int32_t>(read), std::memory_order_seq_cst);
      signal_writer(read);
    }

    if (paced_here || lost) {
      Clock::time_point now = Clock::now();
      // An idle ring or a late thread starts a new run of periods rather
      // than catching up in a burst.
      if (frames == 0 || deadline + kPeriod < now) {
        deadline = now;
        periods = 0;
      } else {
        periods = (periods + 1) % kPeriodsPerSecond;
      }
      deadline += kPeriod;
      if (sleep_until(deadline)) break;
    }
  }
  // An output that does not keep time (a file, the null output) takes what
  // is still queued at once, so a capture holds every sample the port was
  // given; a sound card's queue is dropped rather than played out late.
  if (!lost && !backend->keeps_time()) drain();
  // Whoever waits for room must not wait for a device that is gone.
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_fd, &one, sizeof one);
}

void PortThread::drain() {
  for (;;) {
    int64_t write = std::atomic_ref(header[kWriteWord]).load(std::memory_order_acquire);
    int64_t read = std::atomic_ref(header[kReadWord]).load(std::memory_order_relaxed);
    int64_t queued = write - read;
    if (queued < 0) queued += ring_words;
    std::size_t frames = std::min(static_cast<std::size_t>(queued / channels), kMaxPeriodFrames);
    if (frames == 0) return;
    convert(read, frames);
    if (backend->write(staging, static_cast<long>(frames)) < 0) return;
    read = (read + static_cast<int64_t>(frames) * channels) % ring_words;
    std::atomic_ref(header[kReadWord]).store(static_cast<int32_t>(read), std::memory_order_seq_cst);
  }
}

PortDevice::PortDevice(int number, std::string backend_selection)
    : number_(number), backend_selection_(std::move(backend_selection)) {
  wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PortDevice::~PortDevice() {
  if (thread_ && thread_->thread.joinable()) {
    {
      std::lock_guard hold(thread_->lock);
      thread_->stop.store(true);
    }
    thread_->wake.notify_all();
    thread_->thread.join();
    thread_->backend->finish();
  }
  thread_.reset();
  if (wake_fd_ >= 0) ::close(wake_fd_);
  DeviceState& dev = device_state();
  std::lock_guard hold(dev.lock);
  dev.port_used[number_] = false;
}

int PortDevice::set_channels(int channels) {
  // The device mixes four channels to two for a sound card, whose default
  // output is stereo; files and the null output take four as they are.
  bool four_ok = !backend_selection_.starts_with("alsa");
  if (channels == 2 || (channels == 4 && four_ok)) {
    channels_ = channels;
    return 0;
  }
  errno = EINVAL;
  return -1;
}

int32_t* PortDevice::map(std::size_t bytes) {
  if (bytes % 4 != 0 || bytes / 4 <= kHeaderWords || bytes / 4 > kMaxMappingWords) {
    errno = bytes / 4 > kMaxMappingWords ? EFBIG : EINVAL;
    return nullptr;
  }
  if (mapping_) {
    errno = EBUSY;
    return nullptr;
  }
  mapping_words_ = bytes / 4;
  mapping_.reset(new (std::nothrow) int32_t[mapping_words_]());
  if (!mapping_) {
    errno = ENOMEM;
    return nullptr;
  }
  return mapping_.get();
}

int PortDevice::set_name(std::string_view name) {
  name_ = std::string(name);
  return 0;
}

int PortDevice::start(std::size_t words, int direction, std::string& why) {
  if (wake_fd_ < 0) {
    why = "no wake-up descriptor for the port";
    return EMFILE;
  }
  if (direction != 1) {
    why = "the audio device has no input";
    return EINVAL;
  }
  if (!mapping_ || words != mapping_words_) {
    why = "the ring size does not match the port's mapping";
    return EFBIG;
  }
  if (thread_) {
    why = "the port is already running";
    return EBUSY;
  }
  auto t = std::make_unique<PortThread>();
  t->backend = make_backend(backend_selection_);
  t->header = mapping_.get();
  t->ring = mapping_.get() + kHeaderWords;
  t->ring_words = static_cast<int64_t>(mapping_words_ - kHeaderWords);
  t->channels = channels_;
  t->wake_fd = wake_fd_;
  t->port_name = name_;
  t->rate = device_state().output_rate.load();
  t->staging.resize(kMaxPeriodFrames * static_cast<std::size_t>(channels_));
  int err = t->backend->open(t->rate, channels_, why);
  if (err != 0) return err;
  PortThread* raw = t.get();
  try {
    t->thread = std::thread([raw] { raw->run(); });
  } catch (const std::system_error&) {
    t->backend->finish();
    why = "cannot start the device thread";
    return EAGAIN;
  }
  thread_ = std::move(t);
  return 0;
}

void PortDevice::clear_wakeup() {
  uint64_t count = 0;
  // EAGAIN just means there was nothing to clear.
  [[maybe_unused]] ssize_t n = ::read(wake_fd_, &count, sizeof count);
}

bool PortDevice::running() const { return thread_ && !thread_->stop.load(); }

}  // namespace cinelark::audiodev
