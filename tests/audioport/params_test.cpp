// The rate table, the nearest-rate rule, the attenuation table and the
// translation of parameter pairs into device requests.
#include <cinelark/audio.h>

#include "params.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace cinelark::audioport {
namespace {

using Pairs = std::vector<std::pair<int32_t, int32_t>>;

Pairs translated(std::vector<long> pairs) {
  std::array<int32_t, kRequestWords> request{};
  EXPECT_EQ(translate_pairs(pairs, request), pairs.size() / 2);
  Pairs out;
  for (int32_t i = 1; i + 1 < request[0] + 1; i += 2) out.emplace_back(request[i], request[i + 1]);
  return out;
}

TEST(ParamTranslation, PairsBecomeDeviceWords) {
  const int32_t loud = _AL_atten_table[255];
  const struct {
    std::vector<long> pairs;
    Pairs want;
  } cases[] = {
      // Both rates go through the nearest-rate rule.
      {{4, 22000, 3, 44100}, {{4, 20}, {3, 4}}},
      {{4, -1, 4, -2, 4, -3, 4, -4, 4, -5, 4, -6, 4, -7},
       {{4, 1}, {4, 12}, {4, 28}, {4, 44}, {4, 60}, {4, 92}, {4, 14}}},
      // Zero and other negative rates send nothing.
      {{4, 0, 3, -8, 4, -100}, {}},
      {{10, 1, 11, 5, 10, 0, 11, 0}, {{3, 12}, {4, 12}}},
      // Attenuations go through the table, clamped to its ends.
      {{13, 255, 14, 0}, {{13, loud & 0x7FFFFF}, {14, _AL_atten_table[0]}}},
      {{13, 1000, 14, -5}, {{13, loud}, {14, 0}}},
      {{5, 200, 6, 17, 99, -3}, {{5, 200}, {6, 17}, {99, -3}}},
  };
  for (const auto& c : cases) EXPECT_EQ(translated(c.pairs), c.want) << ::testing::PrintToString(c.pairs);
}

TEST(AttenTable, IsACubicCurveFromSilenceToFullScale) {
  EXPECT_EQ(_AL_atten_table[0], 0);
  EXPECT_EQ(_AL_atten_table[255], 0x7FFFFF);
  // Half the setting is an eighth of the amplitude (about -18 dB).
  EXPECT_NEAR(_AL_atten_table[128] / 8388607.0, 0.126, 0.001);
  for (int v = 1; v < 256; ++v) {
    EXPECT_GT(_AL_atten_table[v], _AL_atten_table[v - 1]) << v;
    EXPECT_EQ(_AL_atten_table[v] & ~0x7FFFFF, 0) << v;
  }
}

}  // namespace
}  // namespace cinelark::audioport
