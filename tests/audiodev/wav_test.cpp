// Samples written to a port reach the WAV file exactly, after the port's
// conversion and the device gains.
#include "device_helpers.h"

#include <tuple>

namespace audiotest {
namespace {

class WavCapture : public DeviceTest {};

// A sample pattern that moves every bit: a ramp with a sign flip.
int16_t pattern(int i) { return static_cast<int16_t>((i * 2654435761u) >> 16); }

std::vector<int16_t> patterned(std::size_t n) {
  std::vector<int16_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = pattern(static_cast<int>(i));
  return v;
}

// Mono samples arrive on both channels, also across the ring's end: a
// queue of 1000 mono samples is a ring of 2001 words, so frames of two words
// straddle its end as 2205 samples go through. Other widths convert to 16
// bits.
TEST_F(WavCapture, MonoEightAndTwentyFourBitAndFloatSamples) {
  use_wav();
  ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 22050), 0);
  const std::vector<int16_t> mono = patterned(2205);
  std::vector<int16_t> both;
  for (int16_t s : mono) both.insert(both.end(), {s, s});
  const int8_t in8[] = {1, -1, 127, -128};
  const int32_t in24[] = {0x123456, -0x123456, 0x7FFFFF, -8388608};
  const float inf[] = {0.5f, -0.5f, 1.5f, -0.25f};
  const double ind[] = {0.125, -1.0, 0.0, 1.0 / 65536};
  struct Case {
    long width, channels, queue;
    const void* data;
    long count;
    std::vector<int16_t> expected;
  };
  const Case cases[] = {
      {AL_WIDTH_16, 1, 1000, mono.data(), 2205, both},
      {AL_WIDTH_8, 2, 100, in8, 4, {0x100, -0x100, 0x7F00, -0x8000}},
      // 24-bit words lose their low byte, rounding toward minus infinity.
      {AL_WIDTH_24, 2, 100, in24, 4, {0x1234, -0x1235, 0x7FFF, -0x8000}},
      {AL_WIDTH_FLOAT, 2, 100, inf, 4, {0x4000, -0x4000, 0x7FFF, -0x2000}},
      {AL_WIDTH_DOUBLE, 2, 100, ind, 4, {0x1000, -0x8000, 0, 0}},
  };
  for (const Case& c : cases) {
    ALport port = open(c.width, c.channels, c.queue);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(ALsetfillpoint(port, 0), 0);
    const Wav wav = play(port, c.data, c.count);
    EXPECT_EQ(std::tuple(wav.channels, wav.rate, wav.bits), std::tuple(2, 22050, 16));
    EXPECT_EQ(wav.samples, c.expected) << "width " << c.width;
  }
}

// Also: while a port writes the file no other port may open; that the file
// can be opened again after a close the widths test shows.
TEST_F(WavCapture, FourChannelsStayFourInAFileAtTheRateSetAfterOpening) {
  use_wav();
  // 1001 frames of four words: the ring of 1002 words makes frames straddle.
  ALport port = open(AL_WIDTH_16, 4, 1001);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(open(AL_WIDTH_16, 2, 100), nullptr);
  EXPECT_EQ(errno, AL_ERR_NO_PORT);
  // The playback engine opens its port first and sets the rate after.
  ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 16000), 0);
  const std::vector<int16_t> in = patterned(4 * 1600);
  const Wav wav = play(port, in.data(), static_cast<long>(in.size()));
  EXPECT_EQ(wav.channels, 4);
  EXPECT_EQ(wav.rate, 16000);
  EXPECT_EQ(wav.samples, in);
}

// The gains are read while the port plays: a change applies to the samples
// that follow it.
TEST_F(WavCapture, GainsScaleEachSideAndAChangeReachesAPortThatIsPlaying) {
  use_wav();
  ASSERT_EQ(set_param(AL_PARAM_OUTPUT_RATE, 44100), 0);
  ASSERT_EQ(set_param(AL_PARAM_LEFT_GAIN, 128), 0);
  ASSERT_EQ(set_param(AL_PARAM_RIGHT_GAIN, 0), 0);
  ALport port = open(AL_WIDTH_16, 2, 1000);
  ASSERT_NE(port, nullptr);
  std::vector<int16_t> in;
  for (int i = 0; i < 441; ++i) in.insert(in.end(), {pattern(i), 32767});
  ASSERT_EQ(ALwritesamps(port, in.data(), static_cast<long>(in.size())), 0);
  ASSERT_TRUE(drain(port));
  long full[] = {AL_PARAM_LEFT_GAIN, 255, AL_PARAM_RIGHT_GAIN, 255};
  ASSERT_EQ(ALsetparams(AL_DEFAULT_DEVICE, full, 4), 0);
  const Wav wav = play(port, in.data(), static_cast<long>(in.size()));
  ASSERT_EQ(wav.samples.size(), 2 * in.size());
  for (std::size_t i = 0; i < in.size(); i += 2) {
    // Gain 128 multiplies by its table word in units of 2^-23.
    int64_t left = (int64_t{in[i]} * 256 * _AL_atten_table[128]) >> 31;
    ASSERT_EQ(wav.samples[i], left) << i;
    ASSERT_EQ(wav.samples[i + 1], 0) << i;
  }
  EXPECT_EQ(std::vector<int16_t>(wav.samples.begin() + in.size(), wav.samples.end()), in);
}

}  // namespace
}  // namespace audiotest
