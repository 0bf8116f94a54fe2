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

// Every family with wrap members, reached the way a port reaches it: for
// every split of a frame across the ring's end, the wrap members write and
// read what the bulk members do, and touch nothing outside the frame.
TEST(WrapMembers, SplitFramesMatchTheBulkMembers) {
  // One four-channel frame of each sample kind, in the order of SampleKind.
  const Raw frames[] = {raw<int8_t>({11, -12, 13, -14}), raw<int16_t>({0x1111, -0x2222, 0x3333, 0x0444}),
                        raw<int32_t>({0x111111, -0x222222, 0x333333, 0x044444}),
                        raw<float>({0.1f, -0.2f, 0.3f, -0.4f}), raw<double>({0.1, -0.2, 0.3, -0.4})};
  const Words device_frame = {0x123456, -0x10000, 0x7FFF00, -8388608};
  // The first `words` of a frame in a ring of 8 words whose last `tail`
  // words hold the frame's start.
  auto split = [](const Words& frame, int words, int tail) {
    Words ring(8, 0x5A5A5A);
    for (int w = 0; w < words; ++w) ring[(8 - tail + w) % 8] = frame[w];
    return ring;
  };
  for (int kind = 0; kind < 5; ++kind) {
    for (auto [caller, device] : {std::pair{1, 2}, {4, 2}, {4, 4}}) {
      const Converters writer = _ALassignfuncs(true, static_cast<SampleKind>(kind), caller, device);
      const Converters reader = _ALassignfuncs(false, static_cast<SampleKind>(kind), caller, device);
      Words whole(device);
      writer.write_bulk(frames[kind].data(), whole.data(), 1, 1.0);
      Raw read_whole(32, 0xA5);
      reader.read_bulk(device_frame.data(), read_whole.data(), 1, 1.0);
      for (int tail = 1; tail < device; ++tail) {
        SCOPED_TRACE(::testing::Message() << "kind " << kind << ", " << caller << " to " << device << " channels, tail "
                                          << tail);
        Words ring(8, 0x5A5A5A);
        writer.write_wrap(frames[kind].data(), ring.data() + 8 - tail, tail, ring.data(), 1.0);
        EXPECT_EQ(ring, split(whole, device, tail));
        const Words words = split(device_frame, device, tail);
        Raw got(32, 0xA5);
        reader.read_wrap(words.data() + 8 - tail, tail, words.data(), got.data(), 1.0);
        EXPECT_EQ(got, read_whole);
      }
    }
  }
}

// The converters chosen for a port turn one canonical sample of each format
// into the same device word and back, whatever the channel layout.
TEST(ConverterChoice, EveryLayoutGetsTheRightWidth) {
  const struct {
    SampleKind kind;
    Raw sample;  // the caller's value for `word`
    int32_t word;
  } choices[] = {
      {SampleKind::kInt8, raw<int8_t>({0x12}), 0x120000},
      {SampleKind::kInt16, raw<int16_t>({0x1234}), 0x123400},
      {SampleKind::kInt24, raw<int32_t>({0x123400}), 0x123400},
      {SampleKind::kFloat, raw<float>({static_cast<float>(0x123400 / 8388608.0)}), 0x123400},
      {SampleKind::kDouble, raw<double>({0x123400 / 8388608.0}), 0x123400},
  };
  for (const auto& c : choices) {
    for (auto [caller, device] : {std::pair{1, 2}, {2, 2}, {4, 2}, {4, 4}}) {
      SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(c.kind) << " caller " << caller
                                        << " device " << device);
      const Converters writer = _ALassignfuncs(true, c.kind, caller, device);
      const Converters reader = _ALassignfuncs(false, c.kind, caller, device);
      EXPECT_EQ(writer.write_wrap == nullptr, caller == 2);
      EXPECT_EQ(reader.read_wrap == nullptr, caller == 2);
      // One frame whose channels are the sample and then zeros; mono goes
      // to both device channels.
      Raw frame(c.sample.size() * 4, 0);
      std::copy(c.sample.begin(), c.sample.end(), frame.begin());
      int32_t out[4] = {};
      writer.write_bulk(frame.data(), out, 1, 1.0);
      EXPECT_EQ(out[0], c.word);
      EXPECT_EQ(out[1], caller == 1 ? c.word : 0);
      // A device frame of that word reads back as the sample.
      const int32_t words[4] = {c.word, c.word, c.word, c.word};
      Raw back(c.sample.size() * 4, 0xA5);
      reader.read_bulk(words, back.data(), 1, 1.0);
      EXPECT_EQ(Raw(back.begin(), back.begin() + c.sample.size()), c.sample);
    }
  }
}

}  // namespace
}  // namespace cinelark::audioport
