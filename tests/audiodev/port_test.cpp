// Ports on a running device: blocking at the fill point, waking, closing,
// running out of ports and backends that cannot be opened.
#include "device_helpers.h"
#include "errors.h"
#include "port.h"

#include "audiodev/device.h"

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <tuple>

namespace audiotest {
namespace {

using Clock = std::chrono::steady_clock;

class DevicePort : public DeviceTest {};

int32_t fill_word(ALport port) { return std::atomic_ref(*port->fill_word).load(); }

// Waits for the fill word to leave `from`; the writer stores it just before
// it blocks.
bool fill_word_changes(ALport port, int32_t from) {
  auto end = Clock::now() + std::chrono::seconds(3);
  while (fill_word(port) == from) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

TEST_F(DevicePort, AFullRingAsksForHalfTheRingWhenMuchRemains) {
  ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 8000), 0);
  ALport port = open(AL_WIDTH_16, 2, 200);  // a ring of 201 words
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(port->ring_size, 201);
  ASSERT_EQ(ALsetfillpoint(port, 0), 0);
  ASSERT_EQ(fill_word(port), 201);
  // With thousands of words to go the writer asks for half the ring each
  // time it blocks, for about a third of a second.
  std::vector<int16_t> in(5000, 7);
  auto start = Clock::now();
  std::thread writer([&] { EXPECT_EQ(ALwritesamps(port, in.data(), 5000), 0); });
  ASSERT_TRUE(fill_word_changes(port, 201));
  EXPECT_EQ(fill_word(port), 201 - 100);
  writer.join();
  // 4800 words beyond the ring are 2400 frames at 8000 Hz: 300 ms of sound
  // had to play before the write could return.
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(ALcloseport(port), 0);
}

TEST_F(DevicePort, AWriteIntoAFullRingWaitsForItsOwnRoom) {
  // The slowest rate keeps the writer blocked long enough to look at it.
  ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 3675), 0);
  ALport port = open(AL_WIDTH_16, 2, 4000);  // a ring of 4001 words
  ASSERT_NE(port, nullptr);
  const int32_t ring = port->ring_size;
  std::vector<int16_t> in(4000, -7);
  ASSERT_EQ(ALwritesamps(port, in.data(), 4000), 0);
  ASSERT_EQ(ALsetfillpoint(port, 0), 0);
  const int32_t write_before = std::atomic_ref(*port->write_index).load();

  auto start = Clock::now();
  std::thread writer([&] { EXPECT_EQ(ALwritesamps(port, in.data(), 1000), 0); });
  ASSERT_TRUE(fill_word_changes(port, ring));
  // Whatever fitted went in first; the fill word asks for the rest (less
  // than half the ring), which takes about a tenth of a second to free. The
  // write index is read on both sides of the fill word so that both belong
  // to the same wait.
  int32_t index = 0;
  int32_t fill = 0;
  for (;;) {
    index = std::atomic_ref(*port->write_index).load();
    fill = fill_word(port);
    if (std::atomic_ref(*port->write_index).load() == index) break;
  }
  int32_t written = index - write_before;
  if (written < 0) written += ring;
  EXPECT_LT(written, 1000);
  EXPECT_EQ(fill, ring - std::min(ring / 2, 1000 - written));
  writer.join();
  // The write index has wrapped round to just below the read index.
  EXPECT_GT(ALgetqueued(port), 0);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(ALcloseport(port), 0);
}

// Counts what the output tap is shown, as a measurement would.
std::atomic<long> tapped{0};
void count_tapped(void*, const int16_t*, long frames, int, int) { tapped += frames; }

// The null backend's port is mono, so the queued count must be in caller
// samples, not device words.
TEST_F(DevicePort, CloseReturnsAtOnceWithSamplesQueuedAndTheFileGetsThemAll) {
  ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 8000), 0);
  std::vector<int16_t> in(100000);
  for (int i = 0; i < 100000; ++i) in[i] = static_cast<int16_t>(i * 40503);
  for (const char* backend : {"null", "wav"}) {
    const bool wav = std::string(backend) == "wav";
    if (wav) {
      use_wav();
      cinelark::audiodev::set_output_tap(count_tapped, nullptr);
    }
    ALport port = open(AL_WIDTH_16, wav ? 2 : 1, 100000);
    ASSERT_NE(port, nullptr) << backend;
    ASSERT_EQ(ALwritesamps(port, in.data(), 100000), 0);  // 6 s of sound or more
    EXPECT_GT(ALgetqueued(port), 90000);
    EXPECT_LE(ALgetqueued(port), 100000);
    auto start = Clock::now();
    ASSERT_EQ(ALcloseport(port), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << backend;
  }
  cinelark::audiodev::set_output_tap(nullptr, nullptr);
  // What was still queued went to the file at close, and the tap was shown
  // every frame that left the ring.
  Wav wav;
  ASSERT_TRUE(read_wav(wav_path_, wav));
  EXPECT_EQ(wav.samples, in);
  EXPECT_EQ(tapped.load(), 50000);
}

TEST_F(DevicePort, SampleCountsMustBeWholeFrames) {
  ALport four = open(AL_WIDTH_16, 4, 100);
  ASSERT_NE(four, nullptr);
  int16_t in[8] = {};
  EXPECT_EQ(ALwritesamps(four, in, 6), -1);
  EXPECT_EQ(errno, AL_ERR_BAD_SAMPLE_COUNT);
  EXPECT_EQ(ALwritesamps(four, in, 8), 0);
  EXPECT_EQ(ALwritesamps(four, nullptr, 4), -1);
  EXPECT_EQ(errno, AL_ERR_NO_PARAM_BUFFER);
  EXPECT_EQ(ALwritesamps(four, nullptr, 0), 0);
  EXPECT_EQ(ALsetfillpoint(four, 101), -1);
  EXPECT_EQ(errno, AL_ERR_BAD_FILL_POINT);
  EXPECT_EQ(ALsetfillpoint(four, -1), -1);
  EXPECT_EQ(ALsetfillpoint(four, 100), 0);
  EXPECT_EQ(ALcloseport(four), 0);
  // A stereo port counts words (an odd count is fine); the smallest queues
  // still take whole frames.
  for (auto [channels, queue, count] : {std::tuple{2L, 100L, 3L}, {1L, 1L, 20L}, {4L, 1L, 80L}}) {
    ALport port = open(AL_WIDTH_16, channels, queue);
    ASSERT_NE(port, nullptr);
    std::vector<int16_t> samples(static_cast<std::size_t>(count), 9);
    EXPECT_EQ(ALwritesamps(port, samples.data(), count), 0) << channels << " channels";
    EXPECT_EQ(ALcloseport(port), 0);
  }
}

TEST_F(DevicePort, UnusableBackendsAndInputPortsFailTheOpenCleanly) {
  ALseterrorhandler(_ALprinterror);
  struct Case {
    std::string backend;
    int error;
    const char* mentions;
  };
  const Case cases[] = {
      {"bogus", AL_ERR_NO_MASTER, "bogus"},
      {"wav:", AL_ERR_NO_MASTER, "wav:"},
      {"alsa:nonexistent", AL_ERR_DEVICE_FAILED, "nonexistent"},
      {"wav:/nonexistent-directory/out.wav", AL_ERR_DEVICE_FAILED, "nonexistent-directory"},
  };
  for (const Case& c : cases) {
    use(c.backend);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(open(AL_WIDTH_16, 2, 100), nullptr) << c.backend;
    EXPECT_EQ(errno, c.error) << c.backend;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.mentions), std::string::npos) << said;
    EXPECT_EQ(said.rfind("_ALerror: code=" + std::to_string(c.error) + " ALopenport: ", 0), 0u) << said;
  }
  // Failed opens gave their port numbers back: all eight can be had, then
  // none, then the one given back by a close.
  use("null");
  std::vector<ALport> ports;
  for (int i = 0; i < 8; ++i) {
    ports.push_back(open(AL_WIDTH_16, 2, 100));
    ASSERT_NE(ports.back(), nullptr) << i;
  }
  ALseterrorhandler(nullptr);
  EXPECT_EQ(open(AL_WIDTH_16, 2, 100), nullptr);
  EXPECT_EQ(errno, AL_ERR_NO_PORT);
  EXPECT_EQ(ALcloseport(ports.back()), 0);
  ports.back() = open(AL_WIDTH_16, 2, 100);
  EXPECT_NE(ports.back(), nullptr);
  for (ALport p : ports) EXPECT_EQ(ALcloseport(p), 0);
  // Only output ports are offered; a long name is cut to the port's field.
  ALconfig c = ALnewconfig();
  EXPECT_EQ(ALopenport("in", "r", c), nullptr);
  EXPECT_EQ(errno, AL_ERR_DEVICE_FAILED);
  ALport named = ALopenport("movi123456789:123456789", "w", c);
  ALfreeconfig(c);
  ASSERT_NE(named, nullptr);
  EXPECT_STREQ(named->name, "movi123456789:12345");
  EXPECT_EQ(ALcloseport(named), 0);
}

// ALSA's "null" device takes frames without waiting; the device thread still
// holds it to real time, and a four-channel port is mixed to its two.
TEST_F(DevicePort, AnAlsaOutputThatNeverWaitsIsHeldToRealTime) {
  use("alsa:null");
  ALport port = open(AL_WIDTH_16, 4, 1000);
  ASSERT_NE(port, nullptr) << "ALSA's null device is part of every ALSA configuration";
  EXPECT_EQ(port->device_channels, 2);
  ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 8000), 0);  // reopens the PCM
  std::vector<int16_t> in(4 * 4000, 5);  // 4000 frames: half a second
  auto start = Clock::now();
  ASSERT_EQ(ALwritesamps(port, in.data(), static_cast<long>(in.size())), 0);
  ASSERT_TRUE(drain(port));
  // At most the ring (1000 frames) and the allowance of a quarter second
  // may run ahead of the clock.
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
  auto closing = Clock::now();
  EXPECT_EQ(ALcloseport(port), 0);
  EXPECT_LT(Clock::now() - closing, std::chrono::milliseconds(500));
}

// Holds the process's file size limit low for one test; a write past it
// fails with EFBIG instead of raising SIGXFSZ.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = bytes;
    set = setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, was);
  }
  void (*was)(int) = std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  bool set = false;
};

// An output that fails while playing (here a capture that reaches the file
// size limit, as a disk fills up or a sound card is unplugged) is dropped:
// the port goes on taking samples at the output rate, so a writer neither
// hangs nor races ahead, and closing returns at once.
TEST_F(DevicePort, AnOutputThatFailsWhilePlayingIsDroppedAndTimeGoesOn) {
  FileSizeLimit limit(64 * 1024);
  ASSERT_TRUE(limit.set);
  use_wav();
  ALport port = open(AL_WIDTH_16, 2, 1000);
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 8000), 0);
  // 26000 frames of 4 bytes: the file takes about 16000 of them (two
  // seconds at 8000 Hz) before the output fails; the rest must still pass
  // through the ring in time.
  std::vector<int16_t> in(2 * 26000, 9);
  testing::internal::CaptureStderr();
  auto start = Clock::now();
  EXPECT_EQ(ALwritesamps(port, in.data(), static_cast<long>(in.size())), 0);
  EXPECT_TRUE(drain(port, std::chrono::milliseconds(10000)));
  auto took = Clock::now() - start;
  auto closing = Clock::now();
  EXPECT_EQ(ALcloseport(port), 0);
  EXPECT_LT(Clock::now() - closing, std::chrono::milliseconds(500));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("the output device failed"), std::string::npos) << said;
  // Had the lost output dropped the rest at once, the write would have
  // returned after about two seconds; 25000 frames beyond the ring take
  // over three.
  EXPECT_GE(took, std::chrono::milliseconds(2500));
}

}  // namespace
}  // namespace audiotest
