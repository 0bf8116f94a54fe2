// The audio thread's arithmetic and resamplers, without a display: the port's
// queue size and output rate, the output length at a speed, and the four
// resamplers, the 8- and 16-bit ones on the same cases.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "audio_playback.h"

namespace {

TEST(AudioSetUp, QueueHoldsAFrameAndTwoWithinThePerChannelBounds)
{
    struct Case {
        int32_t samplesPerFrame, channels, queue;
    } cases[] = {
        {2940, 2, 2942},         // 22050 Hz stereo at 15 frame/s
        {267, 1, 510},           // 8000 Hz mono at 30 frame/s: raised
        {1018, 2, 1020},         // exactly the minimum of two channels
        {500000, 2, 262000},     // a very long frame: lowered
        {std::numeric_limits<int32_t>::max(), 1, 131000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(__mvPB_AudioQueueSize(c.samplesPerFrame, c.channels), c.queue)
            << c.samplesPerFrame << " x" << c.channels;
}

TEST(AudioSetUp, DeviceRateIsTheNearestStandardRate)
{
    const std::pair<int32_t, int32_t> cases[] = {
        {5000, 8000},   {9391, 8000},   {9392, 11025},  {11127, 11025}, {13283, 16000},
        {22050, 22050}, {26563, 22050}, {26564, 32000}, {44056, 44100}, {46009, 44100},
        {46010, 48000}, {50000, 48000},
    };
    for (auto [rate, standard] : cases)
        EXPECT_EQ(__mvPB_StandardAudioRate(rate), standard) << rate;
}

TEST(AudioSetUp, OutputLengthScalesByTheSpeedsMagnitude)
{
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, 1.0), 1470);
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, 0.5), 2940);
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, 2.0), 735);
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, -0.5), 2940);
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1471, 2.0), 735);  // truncated
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, 1e-9), -1);  // beyond any count
}

// The resamplers of both widths run the same cases; values stay within the
// 8-bit range.
template <typename Sample>
struct Resamplers;

template <>
struct Resamplers<int16_t> {
    static constexpr auto interpolate = __mvInterpolate16Poly1;
    static constexpr auto decimate = __mvDecimate16Poly1;
};

template <>
struct Resamplers<int8_t> {
    static constexpr auto interpolate = __mvInterpolate8Poly1;
    static constexpr auto decimate = __mvDecimate8Poly1;
};

template <typename Sample>
class Resample : public ::testing::Test {
protected:
    using R = Resamplers<Sample>;
    // Runs a resampler into an output of exactly outCount frames, so that
    // the sanitizer sees any write past it.
    static std::vector<int> interpolate(const std::vector<int> &in, int channels, int outCount,
                                        std::vector<Sample> &state, float step)
    {
        const std::vector<Sample> from(in.begin(), in.end());
        std::vector<Sample> to(size_t(outCount) * channels);
        R::interpolate(from.data(), to.data(), int32_t(in.size()) / channels, outCount, channels,
                       state.data(), step);
        return {to.begin(), to.end()};
    }
    static std::vector<int> decimate(const std::vector<int> &in, int channels, int outCount,
                                     float step)
    {
        const std::vector<Sample> from(in.begin(), in.end());
        std::vector<Sample> to(size_t(outCount) * channels);
        R::decimate(from.data(), to.data(), int32_t(in.size()) / channels, outCount, channels,
                    step);
        return {to.begin(), to.end()};
    }
};

using Widths = ::testing::Types<int16_t, int8_t>;
TYPED_TEST_SUITE(Resample, Widths);

TYPED_TEST(Resample, InterpolationStartsFromThePreviousFrameAndJoinsTheNext)
{
    std::vector<TypeParam> state = {0};
    EXPECT_EQ(this->interpolate({10, 20, 30}, 1, 6, state, 0.5f),
              (std::vector<int>{0, 5, 10, 15, 20, 25}));
    EXPECT_EQ(state[0], 30);
    // The next frame begins with the sample the last one ended on.
    EXPECT_EQ(this->interpolate({40, 50}, 1, 4, state, 0.5f), (std::vector<int>{30, 35, 40, 45}));
    EXPECT_EQ(state[0], 50);
    // A quarter step, falling: the fractions truncate toward zero.
    EXPECT_EQ(this->interpolate({43, 40}, 1, 8, state, 0.25f),
              (std::vector<int>{50, 49, 47, 45, 43, 43, 42, 41}));
}

TYPED_TEST(Resample, InterpolationKeepsEachChannelApart)
{
    std::vector<TypeParam> state = {-8, 100};
    // Left rises, right falls; each starts from its own previous sample.
    EXPECT_EQ(this->interpolate({0, 90, 8, 80}, 2, 4, state, 0.5f),
              (std::vector<int>{-8, 100, -4, 95, 0, 90, 4, 85}));
    EXPECT_EQ(state, (std::vector<TypeParam>{8, 80}));
}

TYPED_TEST(Resample, DecimationTakesEveryStepthSampleInterpolated)
{
    EXPECT_EQ(this->decimate({0, 10, 20, 30, 40, 50}, 1, 4, 1.5f),
              (std::vector<int>{0, 15, 30, 45}));
    // Stereo at speed 2: the even sample frames of each channel.
    EXPECT_EQ(this->decimate({1, -1, 2, -2, 3, -3, 4, -4}, 2, 2, 2.0f),
              (std::vector<int>{1, -1, 3, -3}));
    // Four channels are accepted too.
    EXPECT_EQ(this->decimate({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 4, 1, 3.0f),
              (std::vector<int>{1, 2, 3, 4}));
    // A caller asking for more than the frame holds reads no further than
    // its last sample.
    EXPECT_EQ(this->decimate({0, 10, 20}, 1, 4, 1.0f), (std::vector<int>{0, 10, 20, 20}));
}

TYPED_TEST(Resample, EmptyFramesLeaveTheJoinAlone)
{
    std::vector<TypeParam> state = {7};
    EXPECT_TRUE(this->interpolate({}, 1, 0, state, 0.5f).empty());
    EXPECT_EQ(state[0], 7);
}

TEST(Resample16, SwingsAcrossTheWholeRangeDoNotWrap)
{
    const std::vector<int16_t> in = {32767, -32768};
    std::vector<int16_t> out(8);
    int16_t state[1] = {-32768};
    __mvInterpolate16Poly1(in.data(), out.data(), 2, 8, 1, state, 0.25f);
    EXPECT_EQ(out, (std::vector<int16_t>{-32768, -16385, -1, 16383, 32767, 16384, 0, -16384}));
    std::vector<int16_t> fast(2);
    const std::vector<int16_t> edge = {-32768, 32767, -32768};
    __mvDecimate16Poly1(edge.data(), fast.data(), 3, 2, 1, 1.5f);
    EXPECT_EQ(fast, (std::vector<int16_t>{-32768, 0}));
}

}  // namespace
