// The backend interface: where a port device's samples go.
//
// Contract:
// - A backend is made by `make_backend` on the library thread that starts the
//   port, opened there with `open` (so an unusable device fails the port's
//   start synchronously), then handed to the port's device thread, which is
//   the only caller of every other method until it ends. `finish` is called
//   once, on the device thread, before the backend is destroyed.
// - `write` receives interleaved signed 16-bit frames with the gains already
//   applied. The buffer belongs to the device thread and is valid only during
//   the call; the backend copies what it keeps.
// - A backend whose `keeps_time` is true blocks in `write` at the device's
//   pace (a sound card). Otherwise the device thread paces itself in real
//   time and `write` must return at once.
// - `write` never blocks for longer than kMaxBlockMs, so the device thread
//   sees a stop request promptly. A negative result means the backend is
//   lost for good; the device thread then keeps consuming in real time and
//   discards, so that no writer ever waits forever.
// - `set_rate` asks for a new rate between writes; false keeps the old one.
#ifndef CINELARK_AUDIODEV_BACKEND_H
#define CINELARK_AUDIODEV_BACKEND_H

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace cinelark::audiodev {

inline constexpr int kMaxBlockMs = 200;

class Backend {
 public:
  virtual ~Backend() = default;

  // Opens the output for `channels` interleaved channels at `rate` Hz.
  // Returns 0 or an errno value, with a readable reason in `why`.
  virtual int open(int rate, int channels, std::string& why) = 0;

  virtual bool keeps_time() const = 0;

  // Writes `frames` frames; returns the frames taken or a negative errno.
  virtual long write(std::span<const int16_t> samples, long frames) = 0;

  virtual bool set_rate(int rate) = 0;

  // Ends the output: plays out or flushes what the backend holds.
  virtual void finish() = 0;
};

// Checks the syntax of a backend selection ("alsa", "alsa:DEVICE", "null",
// "wav:PATH"); false with `why` set for anything else.
bool valid_backend_selection(std::string_view selection, std::string& why);

// The backend a valid selection names (not yet opened).
std::unique_ptr<Backend> make_backend(std::string_view selection);

// The selection in effect: CINELARK_AUDIO, or "alsa:default" when unset.
std::string backend_selection_from_environment();

// The individual backends.
std::unique_ptr<Backend> make_null_backend();
std::unique_ptr<Backend> make_wav_backend(std::string path);
std::unique_ptr<Backend> make_alsa_backend(std::string device);

}  // namespace cinelark::audiodev

#endif
