// Configurations, error numbers and the error handler.
#include <cinelark/audio.h>

#include "errors.h"
#include "port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>

extern "C" int audio_header_works_from_c(void);

namespace {

TEST(AudioHeader, IsUsableFromC) { EXPECT_EQ(audio_header_works_from_c(), 1); }

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

TEST_F(AudioConfig, StartsAsTheDefaultConfiguration) {
  const ALconfigRec& c = *config_;
  EXPECT_EQ(c.magic, 48002);
  EXPECT_EQ(c.queue_size, 100000);
  EXPECT_EQ(c.width, 2);
  EXPECT_EQ(c.format, 1);
  EXPECT_EQ(c.channels, 2);
  EXPECT_EQ(c.scale, 1.0);
}

TEST_F(AudioConfig, QueueSizeBounds) {
  EXPECT_EQ(ALsetqueuesize(config_, 262139), 0);
  EXPECT_EQ(config_->queue_size, 262139);
  EXPECT_EQ(ALsetqueuesize(config_, 1), 0);
  EXPECT_EQ(ALsetqueuesize(config_, 262140), -1);
  EXPECT_EQ(errno, AL_ERR_BAD_QUEUE_SIZE);
  EXPECT_EQ(reported.error, AL_ERR_BAD_QUEUE_SIZE);
  EXPECT_EQ(reported.message, "ALsetqueuesize: bad queue size 262140 (use 1 to 262139)\n");
  EXPECT_EQ(ALsetqueuesize(config_, 0), -1);
  EXPECT_EQ(config_->queue_size, 1);  // a refused size changes nothing
}

TEST_F(AudioConfig, WidthsAndFormats) {
  for (long w : {1L, 2L, 4L}) {
    EXPECT_EQ(ALsetwidth(config_, w), 0);
    EXPECT_EQ(config_->width, w);
    EXPECT_EQ(config_->format, 1);
  }
  EXPECT_EQ(ALsetwidth(config_, 32), 0);
  EXPECT_EQ(config_->format, 32);
  EXPECT_EQ(ALsetwidth(config_, 64), 0);
  EXPECT_EQ(config_->format, 64);
  for (long w : {0L, 3L, 8L, 16L, 24L, -1L}) {
    errno = 0;
    EXPECT_EQ(ALsetwidth(config_, w), -1) << w;
    EXPECT_EQ(errno, AL_ERR_BAD_WIDTH);
  }
  EXPECT_EQ(config_->format, 64);
}

TEST_F(AudioConfig, ChannelCounts) {
  for (long c : {1L, 2L, 4L}) EXPECT_EQ(ALsetchannels(config_, c), 0);
  for (long c : {0L, 3L, 8L}) {
    EXPECT_EQ(ALsetchannels(config_, c), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_CHANNELS);
  }
  EXPECT_EQ(config_->channels, 4);
}

TEST_F(AudioConfig, EveryOperationRefusesAMissingOrForeignConfiguration) {
  ALconfigRec foreign = *config_;
  foreign.magic = 48001;
  for (ALconfig bad : {static_cast<ALconfig>(nullptr), &foreign}) {
    reported = {};
    EXPECT_EQ(ALsetwidth(bad, 2), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_CONFIG);
    EXPECT_EQ(ALsetchannels(bad, 2), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_CONFIG);
    EXPECT_EQ(ALsetqueuesize(bad, 10), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_CONFIG);
    EXPECT_EQ(ALfreeconfig(bad), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_CONFIG);
    EXPECT_EQ(reported.calls, 4);
  }
  // No configuration at all means the default one to ALopenport, but a
  // record that is not a configuration is refused.
  EXPECT_EQ(ALopenport("x", "w", &foreign), nullptr);
  EXPECT_EQ(errno, AL_ERR_BAD_CONFIG);
}

TEST_F(AudioConfig, PortOperationsRefuseANonPort) {
  ALportRec closed;
  closed.magic = 48018;
  for (ALport bad : {static_cast<ALport>(nullptr), &closed}) {
    int16_t s = 0;
    EXPECT_EQ(ALwritesamps(bad, &s, 1), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_PORT);
    EXPECT_EQ(ALsetfillpoint(bad, 0), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_PORT);
    EXPECT_EQ(ALcloseport(bad), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_PORT);
    EXPECT_EQ(ALgetqueued(bad), -1);
    EXPECT_EQ(errno, AL_ERR_BAD_PORT);
  }
  EXPECT_EQ(reported.message.rfind("ALgetqueued: bad port", 0), 0u);
}

TEST_F(AudioConfig, BadDirectionIsRefusedBeforeTheDevice) {
  EXPECT_EQ(ALopenport("x", "a", config_), nullptr);
  EXPECT_EQ(errno, AL_ERR_BAD_DIRECTION);
  EXPECT_EQ(reported.message, "ALopenport: bad direction \"a\" (use \"r\" or \"w\")\n");
  EXPECT_EQ(ALopenport("x", nullptr, config_), nullptr);
  EXPECT_EQ(errno, AL_ERR_BAD_DIRECTION);
}

TEST(AudioErrors, DefaultReporterPrintsCodeThenMessageAndCanBeSwitchedOff) {
  ALerrfunc original = ALseterrorhandler(nullptr);
  EXPECT_EQ(original, &_ALprinterror);
  ALconfig c = ALnewconfig();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ALsetchannels(c, 3), -1);
  EXPECT_EQ(errno, AL_ERR_BAD_CHANNELS);  // the number is set even when silent
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

}  // namespace
