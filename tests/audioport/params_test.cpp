// The rate table, the nearest-rate rule, the attenuation table and device
// parameters.
#include <cinelark/audio.h>

#include "params.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace cinelark::audioport {
namespace {

TEST(RateTable, HasFortyEightRowsWithUniqueCodes) {
  ASSERT_EQ(_ALrate_table_size, 48);
  std::set<int32_t> codes;
  for (int i = 0; i < _ALrate_table_size; ++i) codes.insert(_ALrate_table[i].code);
  EXPECT_EQ(codes.size(), 48u);
  EXPECT_EQ(_ALrate_table[0].rate, 48000);
  EXPECT_EQ(_ALrate_table[32].code, 12);
  EXPECT_EQ(_ALrate_table[32].clock, 1);
}

TEST(NearestRate, PicksTheCloserNeighbour) {
  const std::pair<long, int> cases[] = {
      {22050, 20}, {22000, 20},  // 50 above beats 6000 below
      {11127, 52},               // 11025 is closer than 12000
      {48000, 0},  {96000, 0},   // above every rate
      {44100, 4},  {16000, 32},  // the first of the two 16000 rows
      {46050, 4},                // a tie goes to the lower rate
      {8000, 80},  {1000, 126},  // below every rate: the last row
  };
  for (auto [rate, code] : cases) EXPECT_EQ(ALnearestratecode(rate), code) << rate;
}

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

TEST(ParamTranslation, LongListsFillRequestsOfThirtyPairs) {
  std::vector<long> pairs;
  for (int i = 0; i < 31; ++i) pairs.insert(pairs.end(), {5, i});
  std::array<int32_t, kRequestWords> request{};
  EXPECT_EQ(translate_pairs(pairs, request), 30u);
  EXPECT_EQ(request[0], 61);
  EXPECT_EQ(request[60], 29);
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

TEST_F(DeviceParams, ARefusedRequestChangesNothing) {
  long good[] = {AL_PARAM_LEFT_GAIN, 10};
  ASSERT_EQ(ALsetparams(AL_DEFAULT_DEVICE, good, 2), 0);
  long bad[] = {AL_PARAM_LEFT_GAIN, 99, AL_PARAM_RIGHT_GAIN, 300};
  EXPECT_EQ(ALsetparams(AL_DEFAULT_DEVICE, bad, 4), -1);
  EXPECT_EQ(errno, AL_ERR_DEVICE_FAILED);
  long unknown[] = {42, 1};
  EXPECT_EQ(ALsetparams(AL_DEFAULT_DEVICE, unknown, 2), -1);
  EXPECT_EQ(errno, AL_ERR_DEVICE_FAILED);
  long get[] = {AL_PARAM_LEFT_GAIN, 0};
  ASSERT_EQ(ALgetparams(AL_DEFAULT_DEVICE, get, 2), 0);
  EXPECT_EQ(get[1], 10);
  EXPECT_EQ(ALgetparams(AL_DEFAULT_DEVICE, unknown, 2), -1);
  EXPECT_EQ(errno, AL_ERR_DEVICE_FAILED);
}

TEST_F(DeviceParams, CallChecksComeInOrder) {
  long pairs[] = {4, 8000, 5};
  EXPECT_EQ(ALsetparams(2, pairs, 2), -1);
  EXPECT_EQ(errno, AL_ERR_BAD_DEVICE);
  EXPECT_EQ(ALsetparams(1, nullptr, 2), -1);
  EXPECT_EQ(errno, AL_ERR_NO_PARAM_BUFFER);
  EXPECT_EQ(ALsetparams(1, pairs, -2), -1);
  EXPECT_EQ(errno, AL_ERR_NEGATIVE_PARAM_COUNT);
  EXPECT_EQ(ALsetparams(1, pairs, 3), -1);
  EXPECT_EQ(errno, AL_ERR_ODD_PARAM_COUNT);
  EXPECT_EQ(ALgetparams(0, pairs, 2), -1);
  EXPECT_EQ(errno, AL_ERR_BAD_DEVICE);
  EXPECT_EQ(ALgetparams(1, pairs, 3), -1);
  EXPECT_EQ(errno, AL_ERR_ODD_PARAM_COUNT);
  EXPECT_EQ(ALsetparams(1, pairs, 0), 0);  // nothing to send is not an error
}

TEST_F(DeviceParams, ArbitraryListsLeaveTheDeviceConsistent) {
  std::mt19937 random(7);
  std::uniform_int_distribution<long> param(0, 16);
  std::uniform_int_distribution<long> value(-100000, 100000);
  for (int round = 0; round < 500; ++round) {
    std::vector<long> pairs(2 * (1 + random() % 40));
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
      pairs[i] = param(random);
      pairs[i + 1] = value(random);
    }
    int result = ALsetparams(AL_DEFAULT_DEVICE, pairs.data(), static_cast<long>(pairs.size()));
    if (result != 0) {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(errno, AL_ERR_DEVICE_FAILED);
    }
    long get[] = {AL_PARAM_OUTPUT_RATE, 0, AL_PARAM_INPUT_RATE, 0, AL_PARAM_LEFT_GAIN, 0,
                  AL_PARAM_RIGHT_GAIN, 0};
    ASSERT_EQ(ALgetparams(AL_DEFAULT_DEVICE, get, 8), 0);
    bool known_rate = false;
    for (int i = 0; i < _ALrate_table_size; ++i) known_rate |= _ALrate_table[i].rate == get[1];
    EXPECT_TRUE(known_rate) << get[1];
    EXPECT_GE(get[5], 0);
    EXPECT_LE(get[5], 255);
    EXPECT_GE(get[7], 0);
    EXPECT_LE(get[7], 255);
  }
}

TEST_F(DeviceParams, AnUnknownBackendMeansNoMasterDevice) {
  setenv("CINELARK_AUDIO", "speakers", 1);
  long pairs[] = {4, 8000};
  EXPECT_EQ(ALsetparams(1, pairs, 2), -1);
  EXPECT_EQ(errno, AL_ERR_NO_MASTER);
}

}  // namespace
}  // namespace cinelark::audioport
