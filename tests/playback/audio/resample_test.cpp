// The audio thread's arithmetic and resamplers, without a display.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "audio_playback.h"

namespace {

// The port's queue holds a frame and two more samples, within per-channel
// bounds; the device runs at the nearest standard rate; a frame's output
// length scales by the speed's magnitude.
TEST(AudioSetUp, QueueSizeDeviceRateAndOutputLength)
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

    const std::pair<int32_t, int32_t> rates[] = {
        {5000, 8000},   {9391, 8000},   {9392, 11025},  {11127, 11025}, {13283, 16000},
        {22050, 22050}, {26563, 22050}, {26564, 32000}, {44056, 44100}, {46009, 44100},
        {46010, 48000}, {50000, 48000},
    };
    for (auto [rate, standard] : rates)
        EXPECT_EQ(__mvPB_StandardAudioRate(rate), standard) << rate;

    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, 1.0), 1470);
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, 0.5), 2940);
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, 2.0), 735);
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, -0.5), 2940);
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1471, 2.0), 735);  // truncated
    EXPECT_EQ(__mvPB_CalcSamplesFromSpeed(1470, 1e-9), -1);  // beyond any count
}

// Runs a resampler into an output of exactly outCount frames, so that the
// sanitizer sees any write past it; the rest of its arguments follow.
template <typename Sample, typename... Rest>
std::vector<int> run(void (*resample)(const Sample *, Sample *, int32_t, int32_t, int32_t, Rest...),
                     const std::vector<int> &in, int channels, int outCount, Rest... rest)
{
    const std::vector<Sample> from(in.begin(), in.end());
    std::vector<Sample> to(size_t(outCount) * channels);
    resample(from.data(), to.data(), int32_t(in.size()) / channels, outCount, channels, rest...);
    return {to.begin(), to.end()};
}

// The resamplers of both widths run the same cases; values stay within the
// 8-bit range.
template <typename Sample>
void expectResamples(
    void (*interpolate)(const Sample *, Sample *, int32_t, int32_t, int32_t, Sample *, float),
    void (*decimate)(const Sample *, Sample *, int32_t, int32_t, int32_t, float))
{
    // Interpolation starts from the sample the frame before ended on.
    std::vector<Sample> state = {0};
    EXPECT_EQ(run(interpolate, {10, 20, 30}, 1, 6, state.data(), 0.5f),
              (std::vector<int>{0, 5, 10, 15, 20, 25}));
    EXPECT_EQ(state[0], 30);
    EXPECT_EQ(run(interpolate, {40, 50}, 1, 4, state.data(), 0.5f), (std::vector<int>{30, 35, 40, 45}));
    EXPECT_EQ(state[0], 50);
    // A quarter step, falling: the fractions truncate toward zero.
    EXPECT_EQ(run(interpolate, {43, 40}, 1, 8, state.data(), 0.25f),
              (std::vector<int>{50, 49, 47, 45, 43, 43, 42, 41}));
    // An empty frame leaves the join alone.
    EXPECT_TRUE(run(interpolate, {}, 1, 0, state.data(), 0.5f).empty());
    EXPECT_EQ(state[0], 40);
    // Each channel apart: left rises, right falls, each from its own sample.
    state = {-8, 100};
    EXPECT_EQ(run(interpolate, {0, 90, 8, 80}, 2, 4, state.data(), 0.5f),
              (std::vector<int>{-8, 100, -4, 95, 0, 90, 4, 85}));
    EXPECT_EQ(state, (std::vector<Sample>{8, 80}));

    // Decimation takes every step-th sample, interpolated.
    EXPECT_EQ(run(decimate, {0, 10, 20, 30, 40, 50}, 1, 4, 1.5f), (std::vector<int>{0, 15, 30, 45}));
    // Stereo at speed 2: the even sample frames of each channel.
    EXPECT_EQ(run(decimate, {1, -1, 2, -2, 3, -3, 4, -4}, 2, 2, 2.0f),
              (std::vector<int>{1, -1, 3, -3}));
    // Four channels are accepted too.
    EXPECT_EQ(run(decimate, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 4, 1, 3.0f),
              (std::vector<int>{1, 2, 3, 4}));
    // A caller asking for more than the frame holds reads no further than
    // its last sample.
    EXPECT_EQ(run(decimate, {0, 10, 20}, 1, 4, 1.0f), (std::vector<int>{0, 10, 20, 20}));
}

TEST(Resample, BothWidthsInterpolateAndDecimateAlike)
{
    {
        SCOPED_TRACE("16 bits");
        expectResamples<int16_t>(__mvInterpolate16Poly1, __mvDecimate16Poly1);
    }
    SCOPED_TRACE("8 bits");
    expectResamples<int8_t>(__mvInterpolate8Poly1, __mvDecimate8Poly1);
}

}  // namespace
