// The WAV backend: writes the port's output to a 16-bit PCM WAV file.
//
// File layout (RIFF, all integers little-endian): "RIFF", file size - 8,
// "WAVE"; a 16-byte "fmt " chunk (format 1 = PCM, channels, rate, bytes per
// second, bytes per frame, 16 bits); a "data" chunk with the samples. The
// sizes are written as 0 at open and filled in by `finish`, so a file whose
// writer died is still recognisable. The rate is the device's rate when the
// first frame arrives; later rate changes are refused, since one file holds
// one rate. One port at a time may write a given path.
#include "backend.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace cinelark::audiodev {

namespace {

constexpr std::size_t kHeaderBytes = 44;
// The data chunk's size field is 32 bits; frames beyond it are dropped.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFu - kHeaderBytes;

// Paths being written by open ports.
std::mutex paths_lock;
std::set<std::string> paths_in_use;

void put16(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* at, uint32_t v) {
  put16(at, v & 0xFFFF);
  put16(at + 2, v >> 16);
}

class WavBackend final : public Backend {
 public:
  explicit WavBackend(std::string path) : path_(std::move(path)) {}

  ~WavBackend() override {
    if (file_ != nullptr) std::fclose(file_);
    if (claimed_) {
      std::lock_guard hold(paths_lock);
      paths_in_use.erase(path_);
    }
  }

  int open(int rate, int channels, std::string& why) override {
    {
      std::lock_guard hold(paths_lock);
      if (!paths_in_use.insert(path_).second) {
        why = "another port is writing " + path_;
        return EBUSY;
      }
      claimed_ = true;
    }
    file_ = std::fopen(path_.c_str(), "wb");
    if (file_ == nullptr) {
      int err = errno;
      why = "cannot create " + path_ + ": " + std::strerror(err);
      return err;
    }
    rate_ = rate;
    channels_ = channels;
    if (!write_header()) {
      why = "cannot write " + path_ + ": " + std::strerror(errno);
      return EIO;
    }
    return 0;
  }

  bool keeps_time() const override { return false; }

  long write(std::span<const int16_t> samples, long frames) override {
    std::size_t count = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
    uint64_t room = (kMaxDataBytes - data_bytes_) / 2;
    if (count > room) count = static_cast<std::size_t>(room);
    bytes_.resize(count * 2);
    for (std::size_t i = 0; i < count; ++i) put16(&bytes_[2 * i], static_cast<uint16_t>(samples[i]));
    if (count > 0 && std::fwrite(bytes_.data(), 1, bytes_.size(), file_) != bytes_.size()) return -EIO;
    data_bytes_ += count * 2;
    return frames;
  }

  bool set_rate(int rate) override {
    if (data_bytes_ != 0) return false;
    rate_ = rate;
    return true;
  }

  void finish() override {
    if (file_ == nullptr) return;
    if (std::fseek(file_, 0, SEEK_SET) == 0) write_header();
    std::fclose(file_);
    file_ = nullptr;
  }

 private:
  bool write_header() {
    std::array<uint8_t, kHeaderBytes> h{};
    uint32_t frame_bytes = static_cast<uint32_t>(channels_) * 2;
    std::memcpy(&h[0], "RIFF", 4);
    put32(&h[4], static_cast<uint32_t>(data_bytes_ + kHeaderBytes - 8));
    std::memcpy(&h[8], "WAVEfmt ", 8);
    put32(&h[16], 16);
    put16(&h[20], 1);
    put16(&h[22], static_cast<uint32_t>(channels_));
    put32(&h[24], static_cast<uint32_t>(rate_));
    put32(&h[28], static_cast<uint32_t>(rate_) * frame_bytes);
    put16(&h[32], frame_bytes);
    put16(&h[34], 16);
    std::memcpy(&h[36], "data", 4);
    put32(&h[40], static_cast<uint32_t>(data_bytes_));
    return std::fwrite(h.data(), 1, h.size(), file_) == h.size() && std::fflush(file_) == 0;
  }

  std::string path_;
  bool claimed_ = false;
  std::FILE* file_ = nullptr;
  int rate_ = 0;
  int channels_ = 2;
  uint64_t data_bytes_ = 0;
  std::vector<uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<Backend> make_wav_backend(std::string path) {
  return std::make_unique<WavBackend>(std::move(path));
}

}  // namespace cinelark::audiodev
