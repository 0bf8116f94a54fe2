// The converter family: exact device words for each width and layout, the
// wrap members agreeing with the bulk members, and the choice per port.
#include "converters.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace cinelark::audioport {
namespace {

using Raw = std::vector<unsigned char>;
using Words = std::vector<int32_t>;

template <typename T>
Raw raw(std::initializer_list<T> values) {
  const auto* b = reinterpret_cast<const unsigned char*>(values.begin());
  return {b, b + values.size() * sizeof(T)};
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(WriteConverters, ProduceTheDeviceWords) {
  struct Case {
    const char* name;
    WriteBulk convert;
    Raw in;
    int count;
    double scale;
    Words want;
  };
  const Case cases[] = {
      {"mono16 to both channels", _ALWriteMonoToStereo_16t, raw<int16_t>({0x1234, -1, -32768}), 3, 1.0,
       {0x123400, 0x123400, -256, -256, -8388608, -8388608}},
      {"8-bit shifts by 16", _ALWriteStereoToStereo_8t, raw<int8_t>({127, -128, 1}), 3, 1.0,
       {0x7F0000, -8388608, 0x10000}},
      {"24-bit as it is", _ALWriteStereoToStereo_24t, raw<int32_t>({0x7FFFFF, -8388608, 5}), 3, 1.0,
       {0x7FFFFF, -8388608, 5}},
      // +1.0 is one step past the largest word; NaN is full scale; 2.5 steps
      // round away from zero.
      {"floats round and clamp", _ALWriteStereoToStereo_f,
       raw<float>({0.5f, -1.0f, 1.0f, 2.0f, -3.0f, kNaN, 2.5f / 8388608.0f}), 7, 1.0,
       {0x400000, -8388608, 8388607, 8388607, -8388608, 8388607, 3}},
      {"doubles", _ALWriteStereoToStereo_d, raw<double>({0.25, -0.5}), 2, 1.0, {0x200000, -0x400000}},
      {"scale sets full scale", _ALWriteMonoToStereo_dt, raw<double>({16384.0, -32768.0}), 2, 32768.0,
       {0x400000, 0x400000, -8388608, -8388608}},
      // Channels 0 + 2 and 1 + 3, each sum clamped to 24 bits.
      {"four mixed to two", _ALWrite4ChanTo2Chan_16t,
       raw<int16_t>({0x100, 0x200, 0x200, -0x100, 0x4000, -0x8000, 0x4000, -0x8000}), 2, 1.0,
       {0x30000, 0x10000, 0x7FFFFF, -8388608}},
      {"four to four", _ALWrite4ChanTo4Chan_8t, raw<int8_t>({1, 2, 3, 4}), 1, 1.0,
       {0x10000, 0x20000, 0x30000, 0x40000}},
  };
  for (const Case& c : cases) {
    // Two words more than expected must stay as they were.
    Words out(c.want.size() + 2, 0x5A5A5A);
    c.convert(c.in.data(), out.data(), c.count, c.scale);
    Words want = c.want;
    want.insert(want.end(), {0x5A5A5A, 0x5A5A5A});
    EXPECT_EQ(out, want) << c.name;
  }
}

TEST(ReadConverters, ProduceTheCallersSamples) {
  struct Case {
    const char* name;
    ReadBulk convert;
    Words in;
    int count;
    Raw want;
  };
  const Words pairs = {0x100000, 0x300000, -0x10000, -0x10000};
  const Case cases[] = {
      {"mono8 averages", _ALReadMonoFromStereo_8t, pairs, 2, raw<int8_t>({0x20, -1})},
      {"mono16 averages", _ALReadMonoFromStereo_16t, pairs, 2, raw<int16_t>({0x2000, -0x100})},
      {"mono double", _ALReadMonoFromStereo_dt, pairs, 2, raw<double>({0.25, -0x10000 / 8388608.0})},
      {"four repeat the front pair", _ALRead4ChanFromStereo_16t, {0x123400, -0x100}, 1,
       raw<int16_t>({0x1234, -1, 0x1234, -1})},
      {"stereo16", _ALReadStereoFromStereo_16, {0x123400, -8388608, 0x7FFF00, 0}, 4,
       raw<int16_t>({0x1234, -32768, 32767, 0})},
      {"stereo float", _ALReadStereoFromStereo_f, {0x400000, -0x200000, -8388608, 0}, 4,
       raw<float>({0.5f, -0.25f, -1.0f, 0.0f})},
  };
  for (const Case& c : cases) {
    Raw out(c.want.size(), 0xA5);
    c.convert(c.in.data(), out.data(), c.count, 1.0);
    EXPECT_EQ(out, c.want) << c.name;
  }
}

// Every family with a wrap member: for every split of a frame across the
// ring's end, the wrap member writes what the bulk member writes, and
// nothing outside the frame's words.
TEST(WrapMembers, SplitFramesMatchTheBulkMember) {
  const Raw f8 = raw<int8_t>({11, -12, 13, -14});
  const Raw f16 = raw<int16_t>({0x1111, -0x2222, 0x3333, 0x0444});
  const Raw f24 = raw<int32_t>({0x111111, -0x222222, 0x333333, 0x044444});
  const Raw ff = raw<float>({0.1f, -0.2f, 0.3f, -0.4f});
  const Raw fd = raw<double>({0.1, -0.2, 0.3, -0.4});
  struct Case {
    const char* name;
    WriteBulk bulk;
    WriteWrap wrap;
    int device_words;
    const Raw& frame;
  };
  const Case cases[] = {
      {"mono8", _ALWriteMonoToStereo_8t, _ALWriteMonoToStereo_8w, 2, f8},
      {"mono16", _ALWriteMonoToStereo_16t, _ALWriteMonoToStereo_16w, 2, f16},
      {"mono24", _ALWriteMonoToStereo_24t, _ALWriteMonoToStereo_24w, 2, f24},
      {"monof", _ALWriteMonoToStereo_ft, _ALWriteMonoToStereo_fw, 2, ff},
      {"monod", _ALWriteMonoToStereo_dt, _ALWriteMonoToStereo_dw, 2, fd},
      {"four2_8", _ALWrite4ChanTo2Chan_8t, _ALWrite4ChanTo2Chan_8w, 2, f8},
      {"four2_16", _ALWrite4ChanTo2Chan_16t, _ALWrite4ChanTo2Chan_16w, 2, f16},
      {"four2_24", _ALWrite4ChanTo2Chan_24t, _ALWrite4ChanTo2Chan_24w, 2, f24},
      {"four2_f", _ALWrite4ChanTo2Chan_ft, _ALWrite4ChanTo2Chan_fw, 2, ff},
      {"four2_d", _ALWrite4ChanTo2Chan_dt, _ALWrite4ChanTo2Chan_dw, 2, fd},
      {"four4_8", _ALWrite4ChanTo4Chan_8t, _ALWrite4ChanTo4Chan_8w, 4, f8},
      {"four4_16", _ALWrite4ChanTo4Chan_16t, _ALWrite4ChanTo4Chan_16w, 4, f16},
      {"four4_24", _ALWrite4ChanTo4Chan_24t, _ALWrite4ChanTo4Chan_24w, 4, f24},
      {"four4_f", _ALWrite4ChanTo4Chan_ft, _ALWrite4ChanTo4Chan_fw, 4, ff},
      {"four4_d", _ALWrite4ChanTo4Chan_dt, _ALWrite4ChanTo4Chan_dw, 4, fd},
  };
  for (const Case& c : cases) {
    int32_t whole[4] = {};
    c.bulk(c.frame.data(), whole, 1, 1.0);
    for (int tail = 1; tail < c.device_words; ++tail) {
      SCOPED_TRACE(::testing::Message() << c.name << " tail " << tail);
      // A ring of 8 words whose last `tail` words take the frame's start.
      Words ring(8, 0x5A5A5A);
      c.wrap(c.frame.data(), ring.data() + 8 - tail, tail, ring.data(), 1.0);
      Words want(8, 0x5A5A5A);
      for (int w = 0; w < c.device_words; ++w) want[(8 - tail + w) % 8] = whole[w];
      EXPECT_EQ(ring, want);
    }
  }
}

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
    EXPECT_EQ(std::vector<int16_t>(got, got + 4), std::vector<int16_t>(whole, whole + 4)) << "tail " << tail;
  }
  int8_t mono = 0;
  const int32_t left = 0x200000;
  const int32_t right = 0x400000;
  _ALReadMonoFromStereo_8w(&left, 1, &right, &mono, 1.0);
  EXPECT_EQ(mono, 0x30);
}

// The converters chosen for a port turn one canonical sample of each format
// into the same device word, whatever the channel layout.
TEST(ConverterChoice, EveryLayoutGetsTheRightWidth) {
  const struct {
    SampleKind kind;
    Raw sample;  // the caller's value for 0x123400
  } choices[] = {
      {SampleKind::kInt16, raw<int16_t>({0x1234})},
      {SampleKind::kInt24, raw<int32_t>({0x123400})},
      {SampleKind::kFloat, raw<float>({static_cast<float>(0x123400 / 8388608.0)})},
      {SampleKind::kDouble, raw<double>({0x123400 / 8388608.0})},
  };
  for (const auto& c : choices) {
    for (auto [caller, device] : {std::pair{1, 2}, {2, 2}, {4, 2}, {4, 4}}) {
      SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(c.kind) << " caller " << caller
                                        << " device " << device);
      Converters conv = _ALassignfuncs(true, c.kind, caller, device);
      ASSERT_NE(conv.write_bulk, nullptr);
      EXPECT_EQ(conv.write_wrap == nullptr, caller == 2);
      // One frame whose channels are the sample and then zeros.
      Raw frame(c.sample.size() * 4, 0);
      std::copy(c.sample.begin(), c.sample.end(), frame.begin());
      int32_t out[4] = {};
      conv.write_bulk(frame.data(), out, 1, 1.0);
      EXPECT_EQ(out[0], 0x123400);
      EXPECT_NE(_ALassignfuncs(false, c.kind, caller, device).read_bulk, nullptr);
    }
  }
  Converters eight = _ALassignfuncs(true, SampleKind::kInt8, 1, 2);
  const int8_t high = 0x12;
  int32_t out[2] = {};
  eight.write_bulk(&high, out, 1, 1.0);
  EXPECT_EQ(out[0], 0x120000);
  EXPECT_EQ(out[1], 0x120000);
}

}  // namespace
}  // namespace cinelark::audioport
