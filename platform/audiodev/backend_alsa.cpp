// The ALSA backend: plays the port's output on an ALSA PCM device ("default"
// reaches PulseAudio or PipeWire on a desktop).
//
// The PCM is opened non-blocking and `write` waits for room with a bounded
// snd_pcm_wait, so the device thread never sleeps inside ALSA for longer than
// kMaxBlockMs and sees its stop request. Underruns and suspends are repaired
// in `recover`, the one place that knows ALSA's error states.
#include "backend.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

namespace cinelark::audiodev {

namespace {

// Latency ALSA may buffer behind the port's own ring. The picture leads the
// sound by the port's queue plus this, so it stays short.
constexpr unsigned kLatencyUs = 60000;

// How long a suspended device may take to resume before it is restarted.
constexpr int kResumeTries = 20;
constexpr auto kResumePause = std::chrono::milliseconds(10);

// ALSA prints its own diagnostics on standard error by default; the port
// library reports failures itself, so those lines would only repeat them.
void quiet_alsa_errors(const char*, int, const char*, int, const char*, ...) {}

void silence_alsa_once() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(quiet_alsa_errors); });
}

// Brings the PCM back after an underrun (-EPIPE) or a suspend (-ESTRPIPE).
// Returns 0 when the stream can be written again, else the error.
int recover(snd_pcm_t* pcm, int err) {
  if (err == -EPIPE) return snd_pcm_prepare(pcm);
  if (err == -ESTRPIPE) {
    int result = -EAGAIN;
    for (int i = 0; i < kResumeTries && result == -EAGAIN; ++i) {
      result = snd_pcm_resume(pcm);
      if (result == -EAGAIN) std::this_thread::sleep_for(kResumePause);
    }
    // A device that cannot resume in place is restarted from scratch.
    if (result < 0) result = snd_pcm_prepare(pcm);
    return result;
  }
  return err;
}

class AlsaBackend final : public Backend {
 public:
  explicit AlsaBackend(std::string device) : device_(std::move(device)) {}
  ~AlsaBackend() override { close_pcm(); }

  int open(int rate, int channels, std::string& why) override {
    silence_alsa_once();
    channels_ = channels;
    int err = open_pcm(rate);
    if (err < 0) {
      why = "ALSA cannot open \"" + device_ + "\": " + snd_strerror(err);
      return -err;
    }
    return 0;
  }

  bool keeps_time() const override { return true; }

  long write(std::span<const int16_t> samples, long frames) override {
    if (pcm_ == nullptr) return -EIO;
    int ready = snd_pcm_wait(pcm_, kMaxBlockMs);
    if (ready < 0) {
      int err = recover(pcm_, ready);
      return err < 0 ? err : 0;
    }
    if (ready == 0) return 0;
    snd_pcm_sframes_t done =
        snd_pcm_writei(pcm_, samples.data(), static_cast<snd_pcm_uframes_t>(frames));
    if (done == -EAGAIN) return 0;
    if (done < 0) {
      int err = recover(pcm_, static_cast<int>(done));
      return err < 0 ? err : 0;
    }
    return static_cast<long>(done);
  }

  bool set_rate(int rate) override {
    int old_rate = rate_;
    close_pcm();
    if (open_pcm(rate) == 0) return true;
    // Back to the old rate; should that fail too, the next write reports the
    // device lost.
    open_pcm(old_rate);
    return false;
  }

  void finish() override { close_pcm(); }

 private:
  int open_pcm(int rate) {
    int err = snd_pcm_open(&pcm_, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err < 0) {
      pcm_ = nullptr;
      return err;
    }
    err = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                             static_cast<unsigned>(channels_), static_cast<unsigned>(rate),
                             1, kLatencyUs);
    if (err < 0) {
      close_pcm();
      return err;
    }
    rate_ = rate;
    return 0;
  }

  void close_pcm() {
    if (pcm_ != nullptr) {
      snd_pcm_close(pcm_);
      pcm_ = nullptr;
    }
  }

  std::string device_;
  snd_pcm_t* pcm_ = nullptr;
  int channels_ = 2;
  int rate_ = 48000;
};

}  // namespace

std::unique_ptr<Backend> make_alsa_backend(std::string device) {
  return std::make_unique<AlsaBackend>(std::move(device));
}

}  // namespace cinelark::audiodev
