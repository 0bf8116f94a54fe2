// Ring and fill-point arithmetic.
#include "port.h"

#include <gtest/gtest.h>

namespace cinelark::audioport {
namespace {

TEST(RingSize, IsTheQueueInDeviceWordsPlusTheEmptyWord) {
  EXPECT_EQ(ring_words(2942, 2, 2), 2943);     // stereo on a stereo device
  EXPECT_EQ(ring_words(1000, 1, 2), 2001);     // mono: two words per sample
  EXPECT_EQ(ring_words(1000, 4, 2), 501);      // four channels mixed to two
  EXPECT_EQ(ring_words(1001, 4, 2), 502);      // rounded up
  EXPECT_EQ(ring_words(262139, 1, 2), 524279); // the largest queue
  // Never smaller than one frame and the empty word.
  EXPECT_EQ(ring_words(1, 4, 2), 3);
}

TEST(FillPoint, CountsCallerSamplesInDeviceWords) {
  const struct {
    int channels, device_channels;
    int32_t queue, count, want;
  } cases[] = {
      {2, 2, 2942, 1000, 1943},
      {1, 2, 1000, 300, 2001 - 600},  // doubled
      {4, 2, 1000, 7, 501 - 3},       // halved toward zero
      {4, 4, 1000, 7, 1001 - 7},
  };
  for (const auto& c : cases) {
    ALportRec port;
    port.config = _ALdefault_config;
    port.config.channels = c.channels;
    port.config.queue_size = c.queue;
    port.device_channels = c.device_channels;
    port.ring_size = ring_words(c.queue, c.channels, c.device_channels);
    EXPECT_EQ(fill_word_for(port, c.count), c.want) << c.channels << " to " << c.device_channels << ", " << c.count;
  }
}

}  // namespace
}  // namespace cinelark::audioport
