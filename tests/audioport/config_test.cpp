// The public calls: configurations, the checks a port call makes before the
// device, device parameters, error numbers and the error handler.
#include <cinelark/audio.h>

#include "errors.h"
#include "port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

extern "C" int audio_header_works_from_c(void);

namespace {

TEST(AudioHeader, IsUsableFromC) { EXPECT_EQ(audio_header_works_from_c(), 1); }

// Passes when a call failed (-1, or no port) and set errno to `error`.
::testing::AssertionResult Refused(long result, int error) {
  if (result == -1 && errno == error) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "returned " << result << " with errno " << errno << ", not -1 with " << error;
}
::testing::AssertionResult Refused(ALport port, int error) { return Refused(port == nullptr ? -1L : 0L, error); }

// Records what the library reports.
struct Reported {
  int calls = 0;
  long error = 0;
  std::string message;
};
Reported reported;

void record(long error, const char* format, ...) {
  ++reported.calls;
  reported.error = error;
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  reported.message = text;
}

class AudioConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    reported = {};
    previous_ = ALseterrorhandler(record);
    config_ = ALnewconfig();
    ASSERT_NE(config_, nullptr);
  }
  void TearDown() override {
    if (config_ != nullptr) ALfreeconfig(config_);
    ALseterrorhandler(previous_);
  }
  ALerrfunc previous_ = nullptr;
  ALconfig config_ = nullptr;
};

TEST_F(AudioConfig, SettersTakeTheirRangesOnly) {
  using Setter = int (*)(ALconfig, long);
  // Accepted values in turn and the configuration after each: widths 32 and
  // 64 choose float formats and keep the integer width.
  const struct {
    Setter set;
    long value;
    int32_t queue_size, width, format, channels;
  } accepted[] = {
      {ALsetqueuesize, 262139, 262139, 2, 1, 2}, {ALsetqueuesize, 1, 1, 2, 1, 2},
      {ALsetwidth, 4, 1, 4, 1, 2}, {ALsetwidth, 32, 1, 4, 32, 2}, {ALsetwidth, 1, 1, 1, 1, 2},
      {ALsetwidth, 64, 1, 1, 64, 2}, {ALsetwidth, 2, 1, 2, 1, 2}, {ALsetwidth, 64, 1, 2, 64, 2},
      {ALsetchannels, 1, 1, 2, 64, 1}, {ALsetchannels, 2, 1, 2, 64, 2}, {ALsetchannels, 4, 1, 2, 64, 4},
  };
  for (const auto& a : accepted) {
    EXPECT_EQ(a.set(config_, a.value), 0) << a.value;
    EXPECT_EQ(std::tuple(config_->queue_size, config_->width, config_->format, config_->channels),
              std::tuple(a.queue_size, a.width, a.format, a.channels))
        << a.value;
  }
  // A refused value sets the setter's error number and changes nothing.
  const struct {
    Setter set;
    std::vector<long> values;
    int error;
  } refused[] = {{ALsetqueuesize, {262140, 0}, AL_ERR_BAD_QUEUE_SIZE},
                 {ALsetwidth, {0, 3, 8, 16, 24, -1}, AL_ERR_BAD_WIDTH},
                 {ALsetchannels, {0, 3, 8}, AL_ERR_BAD_CHANNELS}};
  const ALconfigRec before = *config_;
  for (const auto& r : refused) {
    for (long v : r.values) {
      errno = 0;
      EXPECT_TRUE(Refused(r.set(config_, v), r.error)) << v;
    }
  }
  EXPECT_EQ(std::memcmp(config_, &before, sizeof before), 0);
  // The report names the operation and the range.
  EXPECT_EQ(ALsetqueuesize(config_, 262140), -1);
  EXPECT_EQ(reported.error, AL_ERR_BAD_QUEUE_SIZE);
  EXPECT_EQ(reported.message, "ALsetqueuesize: bad queue size 262140 (use 1 to 262139)\n");
}

// Every operation refuses a missing or foreign configuration or port, and
// reports each refusal; ALopenport checks its direction before the device.
TEST_F(AudioConfig, OperationsRefuseWhatIsNotTheirs) {
  ALconfigRec foreign = *config_;
  foreign.magic = 48001;
  for (ALconfig bad : {static_cast<ALconfig>(nullptr), &foreign}) {
    reported = {};
    EXPECT_TRUE(Refused(ALsetwidth(bad, 2), AL_ERR_BAD_CONFIG));
    EXPECT_TRUE(Refused(ALsetchannels(bad, 2), AL_ERR_BAD_CONFIG));
    EXPECT_TRUE(Refused(ALsetqueuesize(bad, 10), AL_ERR_BAD_CONFIG));
    EXPECT_TRUE(Refused(ALfreeconfig(bad), AL_ERR_BAD_CONFIG));
    EXPECT_EQ(reported.calls, 4);
  }
  // No configuration at all means the default one to ALopenport, but a
  // record that is not a configuration is refused.
  EXPECT_TRUE(Refused(ALopenport("x", "w", &foreign), AL_ERR_BAD_CONFIG));
  EXPECT_TRUE(Refused(ALopenport("x", "a", config_), AL_ERR_BAD_DIRECTION));
  EXPECT_EQ(reported.message, "ALopenport: bad direction \"a\" (use \"r\" or \"w\")\n");
  EXPECT_TRUE(Refused(ALopenport("x", nullptr, config_), AL_ERR_BAD_DIRECTION));

  ALportRec closed;
  closed.magic = 48018;
  for (ALport bad : {static_cast<ALport>(nullptr), &closed}) {
    int16_t s = 0;
    EXPECT_TRUE(Refused(ALwritesamps(bad, &s, 1), AL_ERR_BAD_PORT));
    EXPECT_TRUE(Refused(ALsetfillpoint(bad, 0), AL_ERR_BAD_PORT));
    EXPECT_TRUE(Refused(ALcloseport(bad), AL_ERR_BAD_PORT));
    EXPECT_TRUE(Refused(ALgetqueued(bad), AL_ERR_BAD_PORT));
  }
  EXPECT_EQ(reported.message.rfind("ALgetqueued: bad port", 0), 0u);
}

TEST(AudioErrors, DefaultReporterPrintsCodeThenMessageAndCanBeSwitchedOff) {
  ALerrfunc original = ALseterrorhandler(nullptr);
  EXPECT_EQ(original, &_ALprinterror);
  ALconfig c = ALnewconfig();
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(Refused(ALsetchannels(c, 3), AL_ERR_BAD_CHANNELS));  // the number is set even when silent
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ALseterrorhandler(original), nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ALsetchannels(c, 3), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "_ALerror: code=11 ALsetchannels: bad channel count 3 (use 1, 2 or 4)\n");
  ALfreeconfig(c);
}

TEST(AudioErrors, EveryNumberHasAMessageNamingTheOperationFirst) {
  ASSERT_GE(_ALerrortab_size, 22);
  for (int i = 0; i < _ALerrortab_size; ++i)
    EXPECT_EQ(std::string(_ALerrortab[i]).rfind("%s: ", 0), 0u) << i;
}

class DeviceParams : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("CINELARK_AUDIO", "null", 1);
    previous_ = ALseterrorhandler(nullptr);
  }
  void TearDown() override { ALseterrorhandler(previous_); }
  ALerrfunc previous_ = nullptr;
};

TEST_F(DeviceParams, RatesReadBackAsTheDeviceRateAndGainsAsSet) {
  long set[] = {AL_PARAM_OUTPUT_RATE, 22000, AL_PARAM_INPUT_RATE, 11127,
                AL_PARAM_LEFT_GAIN,   200,   AL_PARAM_RIGHT_GAIN, 17};
  ASSERT_EQ(ALsetparams(AL_DEFAULT_DEVICE, set, 8), 0);
  long get[] = {AL_PARAM_OUTPUT_RATE, 0, AL_PARAM_INPUT_RATE, 0, AL_PARAM_LEFT_GAIN, -1, AL_PARAM_RIGHT_GAIN, -1};
  ASSERT_EQ(ALgetparams(AL_DEFAULT_DEVICE, get, 8), 0);
  EXPECT_EQ((std::vector<long>{get[1], get[3], get[5], get[7]}), (std::vector<long>{22050, 11025, 200, 17}));
  // The special rates: the second clock's 32000 Hz, then following the input.
  for (auto [special, rate] : {std::pair{long{AL_RATE_ALT_32000}, 32000L}, {long{AL_RATE_FOLLOW_INPUT}, 11025L}}) {
    long pair[] = {AL_PARAM_OUTPUT_RATE, special};
    ASSERT_EQ(ALsetparams(AL_DEFAULT_DEVICE, pair, 2), 0);
    ASSERT_EQ(ALgetparams(AL_DEFAULT_DEVICE, pair, 2), 0);
    EXPECT_EQ(pair[1], rate);
  }
}

// The argument checks come in order, before the device; a request the
// device refuses changes nothing; an unknown backend means no master device.
TEST_F(DeviceParams, RefusedCallsChangeNothing) {
  long pairs[] = {4, 8000, 5};
  EXPECT_TRUE(Refused(ALsetparams(2, pairs, 2), AL_ERR_BAD_DEVICE));
  EXPECT_TRUE(Refused(ALsetparams(1, nullptr, 2), AL_ERR_NO_PARAM_BUFFER));
  EXPECT_TRUE(Refused(ALsetparams(1, pairs, -2), AL_ERR_NEGATIVE_PARAM_COUNT));
  EXPECT_TRUE(Refused(ALsetparams(1, pairs, 3), AL_ERR_ODD_PARAM_COUNT));
  EXPECT_TRUE(Refused(ALgetparams(0, pairs, 2), AL_ERR_BAD_DEVICE));
  EXPECT_TRUE(Refused(ALgetparams(1, pairs, 3), AL_ERR_ODD_PARAM_COUNT));
  EXPECT_EQ(ALsetparams(1, pairs, 0), 0);  // nothing to send is not an error

  long good[] = {AL_PARAM_LEFT_GAIN, 10};
  ASSERT_EQ(ALsetparams(AL_DEFAULT_DEVICE, good, 2), 0);
  long bad[] = {AL_PARAM_LEFT_GAIN, 99, AL_PARAM_RIGHT_GAIN, 300};
  EXPECT_TRUE(Refused(ALsetparams(AL_DEFAULT_DEVICE, bad, 4), AL_ERR_DEVICE_FAILED));
  long unknown[] = {42, 1};
  EXPECT_TRUE(Refused(ALsetparams(AL_DEFAULT_DEVICE, unknown, 2), AL_ERR_DEVICE_FAILED));
  EXPECT_TRUE(Refused(ALgetparams(AL_DEFAULT_DEVICE, unknown, 2), AL_ERR_DEVICE_FAILED));
  long get[] = {AL_PARAM_LEFT_GAIN, 0};
  ASSERT_EQ(ALgetparams(AL_DEFAULT_DEVICE, get, 2), 0);
  EXPECT_EQ(get[1], 10);

  setenv("CINELARK_AUDIO", "speakers", 1);
  EXPECT_TRUE(Refused(ALsetparams(AL_DEFAULT_DEVICE, good, 2), AL_ERR_NO_MASTER));
}

}  // namespace
