// The converter family: exact device words for each width and layout, the
// wrap members agreeing with the bulk members, and the choice per port.
#include "converters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace cinelark::audioport {
namespace {

TEST(WriteConverters, MonoSixteenBitGoesToBothChannels) {
  const int16_t in[] = {0x1234, -1, -32768};
  int32_t out[6] = {};
  _ALWriteMonoToStereo_16t(in, out, 3, 1.0);
  EXPECT_EQ(out[0], 0x00123400);
  EXPECT_EQ(out[1], 0x00123400);
  EXPECT_EQ(out[2], -256);
  EXPECT_EQ(out[3], -256);
  EXPECT_EQ(out[4], -8388608);
  EXPECT_EQ(out[5], -8388608);
}

TEST(WriteConverters, IntegerWidthsScaleToTwentyFourBits) {
  const int8_t in8[] = {127, -128, 1};
  int32_t out[3] = {};
  _ALWriteStereoToStereo_8t(in8, out, 3, 1.0);
  EXPECT_EQ(out[0], 0x7F0000);
  EXPECT_EQ(out[1], -8388608);
  EXPECT_EQ(out[2], 0x10000);

  const int32_t in24[] = {0x7FFFFF, -8388608, 5};
  _ALWriteStereoToStereo_24t(in24, out, 3, 1.0);
  EXPECT_EQ(out[0], 0x7FFFFF);
  EXPECT_EQ(out[1], -8388608);
  EXPECT_EQ(out[2], 5);
}

TEST(WriteConverters, FloatsRoundAndClampToFullScale) {
  const float in[] = {0.5f, -1.0f, 1.0f, 2.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(),
                      1.0f / 8388608.0f * 2.5f};
  int32_t out[7] = {};
  _ALWriteStereoToStereo_f(in, out, 7, 1.0);
  EXPECT_EQ(out[0], 0x400000);
  EXPECT_EQ(out[1], -8388608);
  EXPECT_EQ(out[2], 8388607);  // +1.0 is one step past the largest word
  EXPECT_EQ(out[3], 8388607);
  EXPECT_EQ(out[4], -8388608);
  EXPECT_EQ(out[5], 8388607);
  EXPECT_EQ(out[6], 3);  // 2.5 rounds away from zero

  const double ind[] = {0.25, -0.5};
  _ALWriteStereoToStereo_d(ind, out, 2, 1.0);
  EXPECT_EQ(out[0], 0x200000);
  EXPECT_EQ(out[1], -0x400000);
}

TEST(WriteConverters, FloatScaleSetsFullScale) {
  const double in[] = {16384.0, -32768.0};
  int32_t out[4] = {};
  _ALWriteMonoToStereo_dt(in, out, 2, 32768.0);
  EXPECT_EQ(out[0], 0x400000);
  EXPECT_EQ(out[1], 0x400000);
  EXPECT_EQ(out[2], -8388608);
}

TEST(WriteConverters, FourChannelsMixPairwiseWithClamping) {
  const int16_t in[] = {0x100, 0x200, 0x200, -0x100,     // ordinary sums
                        0x4000, -0x8000, 0x4000, -0x8000};  // both overflow
  int32_t out[4] = {};
  _ALWrite4ChanTo2Chan_16t(in, out, 2, 1.0);
  EXPECT_EQ(out[0], 0x30000);   // channels 0 + 2
  EXPECT_EQ(out[1], 0x10000);   // channels 1 + 3
  EXPECT_EQ(out[2], 0x7FFFFF);  // 0x400000 + 0x400000 clamps high
  EXPECT_EQ(out[3], -8388608);  // -0x800000 twice clamps low

  const int8_t in8[] = {1, 2, 3, 4};
  int32_t out4[4] = {};
  _ALWrite4ChanTo4Chan_8t(in8, out4, 1, 1.0);
  EXPECT_EQ(out4[0], 0x10000);
  EXPECT_EQ(out4[3], 0x40000);
}

TEST(ReadConverters, MonoIsTheAverageNarrowed) {
  const int32_t in[] = {0x100000, 0x300000, -0x10000, -0x10000};
  int8_t out8[2] = {};
  _ALReadMonoFromStereo_8t(in, out8, 2, 1.0);
  EXPECT_EQ(out8[0], 0x20);
  EXPECT_EQ(out8[1], -1);
  int16_t out16[2] = {};
  _ALReadMonoFromStereo_16t(in, out16, 2, 1.0);
  EXPECT_EQ(out16[0], 0x2000);
  EXPECT_EQ(out16[1], -0x100);
  double outd[2] = {};
  _ALReadMonoFromStereo_dt(in, outd, 2, 1.0);
  EXPECT_DOUBLE_EQ(outd[0], 0.25);
}

TEST(ReadConverters, FourChannelsFromStereoRepeatTheFrontPair) {
  const int32_t in[] = {0x123400, -0x100};
  int16_t out[4] = {};
  _ALRead4ChanFromStereo_16t(in, out, 1, 1.0);
  EXPECT_EQ(out[0], 0x1234);
  EXPECT_EQ(out[1], -1);
  EXPECT_EQ(out[2], 0x1234);
  EXPECT_EQ(out[3], -1);
}

TEST(ReadConverters, StereoRoundTripsEveryWidth) {
  const int16_t in16[] = {0x1234, -32768, 32767, 0};
  int32_t words[4] = {};
  int16_t back16[4] = {};
  _ALWriteStereoToStereo_16t(in16, words, 4, 1.0);
  _ALReadStereoFromStereo_16(words, back16, 4, 1.0);
  EXPECT_EQ(std::vector<int16_t>(back16, back16 + 4), std::vector<int16_t>(in16, in16 + 4));

  const float inf[] = {0.5f, -0.25f, -1.0f, 0.0f};
  float backf[4] = {};
  _ALWriteStereoToStereo_f(inf, words, 4, 1.0);
  _ALReadStereoFromStereo_f(words, backf, 4, 1.0);
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(backf[i], inf[i]);
}

// Every family with a wrap member: for every split of a frame across the
// ring's end, the wrap member writes what the bulk member writes.
struct WrapCase {
  const char* name;
  WriteBulk bulk;
  WriteWrap wrap;
  int device_words;
  std::vector<unsigned char> frame;  // one caller frame, raw bytes
};

std::vector<unsigned char> bytes_of(const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  return {b, b + n};
}

std::vector<WrapCase> wrap_cases() {
  const int8_t f8[4] = {11, -12, 13, -14};
  const int16_t f16[4] = {0x1111, -0x2222, 0x3333, 0x0444};
  const int32_t f24[4] = {0x111111, -0x222222, 0x333333, 0x044444};
  const float ff[4] = {0.1f, -0.2f, 0.3f, -0.4f};
  const double fd[4] = {0.1, -0.2, 0.3, -0.4};
  return {
      {"mono8", _ALWriteMonoToStereo_8t, _ALWriteMonoToStereo_8w, 2, bytes_of(f8, 1)},
      {"mono16", _ALWriteMonoToStereo_16t, _ALWriteMonoToStereo_16w, 2, bytes_of(f16, 2)},
      {"mono24", _ALWriteMonoToStereo_24t, _ALWriteMonoToStereo_24w, 2, bytes_of(f24, 4)},
      {"monof", _ALWriteMonoToStereo_ft, _ALWriteMonoToStereo_fw, 2, bytes_of(ff, 4)},
      {"monod", _ALWriteMonoToStereo_dt, _ALWriteMonoToStereo_dw, 2, bytes_of(fd, 8)},
      {"four2_8", _ALWrite4ChanTo2Chan_8t, _ALWrite4ChanTo2Chan_8w, 2, bytes_of(f8, 4)},
      {"four2_16", _ALWrite4ChanTo2Chan_16t, _ALWrite4ChanTo2Chan_16w, 2, bytes_of(f16, 8)},
      {"four2_24", _ALWrite4ChanTo2Chan_24t, _ALWrite4ChanTo2Chan_24w, 2, bytes_of(f24, 16)},
      {"four2_f", _ALWrite4ChanTo2Chan_ft, _ALWrite4ChanTo2Chan_fw, 2, bytes_of(ff, 16)},
      {"four2_d", _ALWrite4ChanTo2Chan_dt, _ALWrite4ChanTo2Chan_dw, 2, bytes_of(fd, 32)},
      {"four4_8", _ALWrite4ChanTo4Chan_8t, _ALWrite4ChanTo4Chan_8w, 4, bytes_of(f8, 4)},
      {"four4_16", _ALWrite4ChanTo4Chan_16t, _ALWrite4ChanTo4Chan_16w, 4, bytes_of(f16, 8)},
      {"four4_24", _ALWrite4ChanTo4Chan_24t, _ALWrite4ChanTo4Chan_24w, 4, bytes_of(f24, 16)},
      {"four4_f", _ALWrite4ChanTo4Chan_ft, _ALWrite4ChanTo4Chan_fw, 4, bytes_of(ff, 16)},
      {"four4_d", _ALWrite4ChanTo4Chan_dt, _ALWrite4ChanTo4Chan_dw, 4, bytes_of(fd, 32)},
  };
}

class WrapMembers : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapMembers, SplitFramesMatchTheBulkMember) {
  const WrapCase& c = GetParam();
  int32_t whole[4] = {};
  c.bulk(c.frame.data(), whole, 1, 1.0);
  for (int tail = 1; tail < c.device_words; ++tail) {
    // A ring of 8 words whose last `tail` words hold the frame's start.
    std::vector<int32_t> ring(8, 0x5A5A5A);
    c.wrap(c.frame.data(), ring.data() + 8 - tail, tail, ring.data(), 1.0);
    for (int w = 0; w < c.device_words; ++w) {
      int32_t got = w < tail ? ring[8 - tail + w] : ring[w - tail];
      EXPECT_EQ(got, whole[w]) << c.name << " tail " << tail << " word " << w;
    }
    // Nothing outside the frame's words is touched.
    for (int i = c.device_words - tail; i < 8 - tail; ++i) EXPECT_EQ(ring[i], 0x5A5A5A);
  }
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, WrapMembers, ::testing::ValuesIn(wrap_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadWrapMembers, SplitFramesMatchTheBulkMember) {
  const int32_t frame[4] = {0x123456, -0x10000, 0x7FFF00, -8388608};
  int16_t whole[4] = {};
  _ALRead4ChanFrom4Chan_16t(frame, whole, 1, 1.0);
  for (int tail = 1; tail < 4; ++tail) {
    int32_t end[4] = {};
    int32_t start[4] = {};
    for (int w = 0; w < 4; ++w) (w < tail ? end[w] : start[w - tail]) = frame[w];
    int16_t got[4] = {};
    _ALRead4ChanFrom4Chan_16w(end, tail, start, got, 1.0);
    for (int w = 0; w < 4; ++w) EXPECT_EQ(got[w], whole[w]) << "tail " << tail;
  }
  int8_t mono = 0;
  const int32_t left = 0x200000;
  const int32_t right = 0x400000;
  _ALReadMonoFromStereo_8w(&left, 1, &right, &mono, 1.0);
  EXPECT_EQ(mono, 0x30);
}

// The converters chosen for a port turn one canonical sample of each format
// into the same device word, whatever the channel layout.
struct Choice {
  SampleKind kind;
  std::vector<unsigned char> sample;  // the caller's value for 0x123400
};

class ConverterChoice : public ::testing::TestWithParam<Choice> {};

TEST_P(ConverterChoice, EveryLayoutGetsTheRightWidth) {
  const Choice& c = GetParam();
  struct Layout {
    int caller;
    int device;
  };
  for (Layout l : {Layout{1, 2}, Layout{2, 2}, Layout{4, 2}, Layout{4, 4}}) {
    Converters conv = _ALassignfuncs(true, c.kind, l.caller, l.device);
    ASSERT_NE(conv.write_bulk, nullptr);
    EXPECT_EQ(conv.write_wrap == nullptr, l.caller == 2);
    // One frame whose channels are the sample and then zeros.
    std::vector<unsigned char> frame(c.sample.size() * 4, 0);
    std::copy(c.sample.begin(), c.sample.end(), frame.begin());
    int32_t out[4] = {};
    conv.write_bulk(frame.data(), out, 1, 1.0);
    EXPECT_EQ(out[0], 0x123400) << "caller " << l.caller << " device " << l.device;
    Converters in = _ALassignfuncs(false, c.kind, l.caller, l.device);
    EXPECT_NE(in.read_bulk, nullptr);
  }
}

Choice choice_of(SampleKind kind, const void* p, std::size_t n) { return {kind, bytes_of(p, n)}; }

std::string choice_name(const ::testing::TestParamInfo<Choice>& info) {
  static const char* const names[] = {"int8", "int16", "int24", "float", "double"};
  return names[static_cast<int>(info.param.kind)];
}

const int8_t kS8 = 0x12;
const int16_t kS16 = 0x1234;
const int32_t kS24 = 0x123400;
const float kSF = static_cast<float>(0x123400 / 8388608.0);
const double kSD = 0x123400 / 8388608.0;

INSTANTIATE_TEST_SUITE_P(
    AllFormats, ConverterChoice,
    ::testing::Values(choice_of(SampleKind::kInt16, &kS16, 2), choice_of(SampleKind::kInt24, &kS24, 4),
                      choice_of(SampleKind::kFloat, &kSF, 4), choice_of(SampleKind::kDouble, &kSD, 8)),
    choice_name);

TEST(ConverterChoiceEightBit, TakesTheHighByte) {
  Converters conv = _ALassignfuncs(true, SampleKind::kInt8, 1, 2);
  int32_t out[2] = {};
  conv.write_bulk(&kS8, out, 1, 1.0);
  EXPECT_EQ(out[0], 0x120000);
  EXPECT_EQ(out[1], 0x120000);
}

}  // namespace
}  // namespace cinelark::audioport
