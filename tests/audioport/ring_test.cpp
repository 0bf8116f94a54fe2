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
  EXPECT_EQ(ring_words(1000, 4, 4), 1001);
  EXPECT_EQ(ring_words(262139, 1, 2), 524279); // the largest queue
  // Never smaller than one frame and the empty word.
  EXPECT_EQ(ring_words(1, 4, 2), 3);
  EXPECT_EQ(ring_words(2, 4, 4), 5);
  EXPECT_EQ(ring_words(1, 1, 2), 3);
}

ALportRec port_of(int channels, int device_channels, int32_t queue) {
  ALportRec port;
  port.config = _ALdefault_config;
  port.config.channels = channels;
  port.config.queue_size = queue;
  port.device_channels = device_channels;
  port.ring_size = ring_words(queue, channels, device_channels);
  return port;
}

TEST(FillPoint, CountsCallerSamplesInDeviceWords) {
  ALportRec stereo = port_of(2, 2, 2942);
  EXPECT_EQ(fill_word_for(stereo, 0), 2943);
  EXPECT_EQ(fill_word_for(stereo, 1000), 1943);
  EXPECT_EQ(fill_word_for(stereo, 2942), 1);

  ALportRec mono = port_of(1, 2, 1000);
  EXPECT_EQ(fill_word_for(mono, 300), 2001 - 600);  // doubled

  ALportRec four = port_of(4, 2, 1000);
  EXPECT_EQ(fill_word_for(four, 7), 501 - 3);  // halved toward zero

  ALportRec four4 = port_of(4, 4, 1000);
  EXPECT_EQ(fill_word_for(four4, 7), 1001 - 7);
}

}  // namespace
}  // namespace cinelark::audioport
