// Shared pieces of the device tests: a port fixture over a chosen backend
// and a reader for the WAV files the wav backend writes.
#ifndef CINELARK_TESTS_AUDIODEV_DEVICE_HELPERS_H
#define CINELARK_TESTS_AUDIODEV_DEVICE_HELPERS_H

#include <cinelark/audio.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace audiotest {

struct Wav {
  int channels = 0;
  int rate = 0;
  int bits = 0;
  std::vector<int16_t> samples;
};

inline uint32_t le32(const std::vector<unsigned char>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
inline uint16_t le16(const std::vector<unsigned char>& b, std::size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// Reads a 44-byte-header PCM WAV file, checking that its sizes agree with
// the file's length.
inline bool read_wav(const std::string& path, Wav& wav) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 44 || std::memcmp(&b[0], "RIFF", 4) != 0 || std::memcmp(&b[8], "WAVEfmt ", 8) != 0 ||
      std::memcmp(&b[36], "data", 4) != 0)
    return false;
  uint32_t data = le32(b, 40);
  if (le32(b, 4) != b.size() - 8 || data != b.size() - 44 || le16(b, 20) != 1) return false;
  wav.channels = le16(b, 22);
  wav.rate = static_cast<int>(le32(b, 24));
  wav.bits = le16(b, 34);
  if (le32(b, 28) != static_cast<uint32_t>(wav.rate * wav.channels * 2) ||
      le16(b, 32) != wav.channels * 2)
    return false;
  wav.samples.resize(data / 2);
  for (std::size_t i = 0; i < wav.samples.size(); ++i)
    wav.samples[i] = static_cast<int16_t>(le16(b, 44 + 2 * i));
  return true;
}

// Waits until the device has consumed everything written to `port`.
inline bool drain(ALport port, std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (ALgetqueued(port) != 0) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

inline int set_param(long param, long value) {
  long pair[] = {param, value};
  return ALsetparams(AL_DEFAULT_DEVICE, pair, 2);
}

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = ALseterrorhandler(nullptr);
    wav_path_ = ::testing::TempDir() + "cinelark_audio_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".wav";
    use("null");
    ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 48000), 0);
    ASSERT_EQ(set_param(AL_PARAM_LEFT_GAIN, 255), 0);
    ASSERT_EQ(set_param(AL_PARAM_RIGHT_GAIN, 255), 0);
  }
  void TearDown() override {
    std::remove(wav_path_.c_str());
    ALseterrorhandler(previous_);
  }

  void use(const std::string& backend) { setenv("CINELARK_AUDIO", backend.c_str(), 1); }
  void use_wav() { use("wav:" + wav_path_); }

  // Opens an output port for `channels` channels of `width` with `queue`.
  ALport open(long width, long channels, long queue) {
    ALconfig c = ALnewconfig();
    EXPECT_EQ(ALsetwidth(c, width), 0);
    EXPECT_EQ(ALsetchannels(c, channels), 0);
    EXPECT_EQ(ALsetqueuesize(c, queue), 0);
    ALport port = ALopenport("test", "w", c);
    ALfreeconfig(c);
    return port;
  }

  // Writes `count` samples to `port`, lets them play, closes the port and
  // reads back the WAV file.
  Wav play(ALport port, const void* samples, long count) {
    Wav wav;
    EXPECT_EQ(ALwritesamps(port, samples, count), 0);
    EXPECT_TRUE(drain(port));
    EXPECT_EQ(ALcloseport(port), 0);
    EXPECT_TRUE(read_wav(wav_path_, wav));
    return wav;
  }

  ALerrfunc previous_ = nullptr;
  std::string wav_path_;
};

}  // namespace audiotest

#endif
