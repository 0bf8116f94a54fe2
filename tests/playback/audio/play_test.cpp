// Movies with sound played by the engine into the WAV output, or with no
// output to be had.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include <cinelark/audio.h>

#include "audiodev/device_helpers.h"
#include "movie/temp_dir.h"
#include "playback/engine/engine_fixture.h"

namespace engine_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using audiotest::Wav;

constexpr int kSide = 8;
constexpr int kFrames = 15;
constexpr double kImageRate = 15.0;
constexpr int kRate = 22050;
constexpr int kPerFrame = kRate / 15;  // 1470 sample frames per image frame
constexpr int kSlope = 16;             // the triangle's step per sample

// A triangle wave from 0 with a period of 4000 samples and a peak of 16000:
// smooth, so any sample lost, repeated or zeroed at a frame join shows as a
// jump far larger than its slope.
int16_t triangle(int i)
{
    const int phase = i % 4000;
    if (phase < 1000)
        return int16_t(kSlope * phase);
    if (phase < 3000)
        return int16_t(16000 - kSlope * (phase - 1000));
    return int16_t(-16000 + kSlope * (phase - 3000));
}

// The least time a play once at the speed can take: its sound or timer
// periods, less the port's queue (about a frame at speed 1) that may still
// be sounding at the stop and one frame's output the device may take at
// once. The machine may make it longer; it cannot make it shorter.
std::chrono::milliseconds shortestPlay(double speed)
{
    return std::chrono::milliseconds(int(1000.0 * (kFrames / speed - 1.0 - 1.0 / speed) / 15.0));
}

// One colour per picture, so that the file holds each picture as a run of
// its frame's pixel.
uint32_t flatPixel(int frame, int, int) { return framePixel(frame, 0, 0); }

// A movie with small pictures and stereo sound at 22050 Hz, the triangle on
// the left and its negative on the right, 16-bit or 8-bit. With a file name
// it is written to that file and opened again from it read-only.
class SoundMovie : public TestMovie {
public:
    explicit SoundMovie(int rate = kRate, int width = 16, const char *file = nullptr)
        : TestMovie(kSide, kSide, kFrames, kImageRate, DM_IMAGE_UNCOMPRESSED, flatPixel, file)
    {
        if (addSound(width, rate, kFrames * rate / 15, triangle) && file)
            reopen(file);
    }
};

// The largest step between neighbouring samples of one channel.
int largestStep(const std::vector<int16_t> &samples, int channels)
{
    int largest = 0;
    for (size_t i = size_t(channels); i < samples.size(); i++)
        largest = std::max(largest, std::abs(samples[i] - samples[i - size_t(channels)]));
    return largest;
}

class SoundPlay : public EngineTest {
protected:
    SoundPlay() : EngineTest(kSide, kSide) {}
    // Binds with the named audio output; the engine reads the choice when
    // the movie's port opens.
    void bind(SoundMovie &movie, const std::string &output, Window window = 0)
    {
        ASSERT_TRUE(movie.ok()) << mvGetErrorStr(mvGetErrno());
        setenv("CINELARK_AUDIO", output.c_str(), 1);
        ASSERT_EQ(mvBindWindow(movie.id(), display_, window ? window : window_), 0)
            << mvGetErrorStr(mvGetErrno());
    }
    // Plays the movie once at the speed, doing `during` once play is under
    // way; the time from play to the stop.
    Clock::duration playOnce(SoundMovie &movie, double speed,
                             const std::function<void(MVid)> &during = nullptr)
    {
        drainEvents();  // a movie played before may have left its stop
        EXPECT_EQ(mvSetPlayLoopMode(movie.id(), MV_LOOP_ONCE), 0);
        EXPECT_EQ(mvSetPlaySpeed(movie.id(), speed), 0);
        const auto start = Clock::now();
        EXPECT_EQ(mvPlay(movie.id()), 0);
        if (during)
            during(movie.id());
        const Collected got = waitFor(MV_EVENT_STOP, 30s);
        EXPECT_EQ(got.count(MV_EVENT_STOP), 1);
        EXPECT_EQ(got.count(MV_EVENT_ERROR), 0);
        return Clock::now() - start;
    }
    // Plays a movie captured into the WAV file and returns the capture.
    Wav capture(double speed, bool enabled, int width, int rate,
                const std::function<void(MVid)> &during = nullptr)
    {
        SoundMovie movie(rate, width);
        bind(movie, "wav:" + wav_);
        if (!enabled) {
            EXPECT_EQ(mvSetEnableAudio(movie.id(), 0), 0);
        }
        elapsed_ = playOnce(movie, speed, during);
        movie.close();  // the output's file is complete once its port closes
        Wav wav;
        EXPECT_TRUE(audiotest::read_wav(wav_, wav));
        return wav;
    }
    TempDir dir_;
    const std::string wav_ = dir_.file("sound.wav");
    Clock::duration elapsed_{};
};

TEST_F(SoundPlay, TheCaptureIsTheMoviesSoundAtSpeedOneStretchedWithoutAClickAtOthersResampledAtOddRates)
{
    // 16-bit sound stopped and played again four times, 8-bit sound, sound
    // disabled (silence of the same length), twice and half the speed, then
    // rates far from the standard ones, resampled to the device's rate.
    // Either way the device's clock paced the pictures: the sound's time,
    // played, with no sound played twice.
    const std::function<void(MVid)> stops = [this](MVid movie) {
        for (int i = 0; i < 4; i++) {
            // The thread spends most of each 67 ms frame blocked in its
            // write, so a stop after this long almost always comes during one.
            std::this_thread::sleep_for(90ms);
            ASSERT_EQ(mvStop(movie), 0);
            ASSERT_EQ(waitFor(MV_EVENT_STOP).count(MV_EVENT_STOP), 1);
            ASSERT_EQ(mvPlay(movie), 0);
        }
    };
    const struct {
        double speed;
        int width;
        bool enabled, stopped;
        int rate;
    } cases[] = {{1.0, 16, true, true, kRate},   {1.0, 8, true, false, kRate},
                 {1.0, 16, false, false, kRate}, {2.0, 16, true, false, kRate},
                 {0.5, 16, true, false, kRate},  {1.0, 16, true, false, 5000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "speed " << c.speed << ", " << c.width << " bits"
                                        << (c.enabled ? "" : " disabled") << " at " << c.rate);
        SoundMovie reference(kRate, c.width);
        const Wav wav = capture(c.speed, c.enabled, c.width, c.rate, c.stopped ? stops : nullptr);
        EXPECT_EQ(wav.channels, 2);
        EXPECT_GE(elapsed_, shortestPlay(c.speed));
        if (c.rate != kRate) {
            EXPECT_EQ(wav.rate, 8000);
            // A second of sound at 8000 Hz, less under a sample frame a picture.
            const int frames = int(wav.samples.size() / 2);
            EXPECT_NEAR(frames, 8000, kFrames);
            // At its own pitch: output k is input k x rate / 8000, give or
            // take the frames' rounding.
            for (int k = 0; k < frames; k += 97)
                EXPECT_NEAR(wav.samples[size_t(2 * k)], triangle(k * c.rate / 8000), 12 * kSlope) << k;
            continue;
        }
        EXPECT_EQ(wav.rate, kRate);
        if (c.speed == 1.0) {
            const std::vector<int16_t> silence(reference.sound().size(), 0);
            EXPECT_TRUE(wav.samples == (c.enabled ? reference.sound() : silence));
            continue;
        }
        const int perFrame = int(kPerFrame / c.speed);
        EXPECT_NEAR(double(wav.samples.size() / 2), double(kFrames) * kPerFrame / c.speed, perFrame);
        // Interpolation halves the triangle's step. Decimation doubles it,
        // and a frame of an odd number of samples (the frame boundaries fall
        // where the image times land in samples) leaves one more out at its
        // join; a click would be a jump of hundreds.
        const int allowed = c.speed > 1.0 ? int(kSlope * (c.speed + 1.0)) : kSlope + 1;
        EXPECT_LE(largestStep(wav.samples, 2), allowed);
    }
}

TEST_F(SoundPlay, SpeedChangesDuringPlayJoinWithoutAClick)
{
    // Each change lands in the middle of play, whatever frame it is.
    const Wav wav = capture(1.0, true, 16, kRate, [](MVid movie) {
        for (double speed : {0.5, 2.0, 0.5}) {
            std::this_thread::sleep_for(150ms);
            ASSERT_EQ(mvSetPlaySpeed(movie, speed), 0);
        }
    });
    ASSERT_FALSE(wav.samples.empty());
    EXPECT_LE(largestStep(wav.samples, 2), kSlope * 3);
}

// Values of the given width in bytes, as the file stores them: big-endian.
std::string bigEndian(std::initializer_list<uint32_t> values, int width, int copies = 1)
{
    std::string out;
    for (int n = 0; n < copies; n++)
        for (uint32_t v : values)
            for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
                out.push_back(char(v >> shift & 0xFF));
    return out;
}

// The movie's file loses the sound of its last eight frames while it is
// bound, so each of those frames fails to read as it comes to play. Each
// failure is an error event; play goes on at the sound's pace to the end,
// the failed frames still last their time in sound, and the sound read
// before the damage is captured whole. Play starts at the first frame
// from which every picture lies before the cut (the file keeps some
// pictures after the sound), so that only the sound fails.
TEST_F(SoundPlay, SoundThatFailsToReadDuringPlayIsAnErrorAndPlayGoesOn)
{
    const std::string file = dir_.file("cut.mv");
    constexpr int kWhole = 7;  // frames whose sound survives the cut
    SoundMovie reference, movie(kRate, 16, file.c_str());
    bind(movie, "wav:" + wav_);
    const std::vector<uint8_t> stored = TempDir::read(file);
    const std::string bytes(stored.begin(), stored.end());
    // The sound is one run of samples; its first stereo pairs (0, 0),
    // (16, -16) find where it starts.
    const size_t start = bytes.find(bigEndian({0, 0, 16, 0xFFF0}, 2));
    ASSERT_NE(start, std::string::npos);
    const size_t cut = start + size_t(kWhole) * kPerFrame * 4;
    ASSERT_LT(cut, bytes.size());
    // Each picture is 64 copies of its frame's pixel.
    int from = 0;
    for (int f = 0; f < kFrames; f++) {
        const size_t at = bytes.find(bigEndian({framePixel(f, 0, 0)}, 4, kSide * kSide));
        ASSERT_NE(at, std::string::npos) << f;
        if (at + kSide * kSide * 4 > cut)
            from = f + 1;
    }
    ASSERT_LT(from, kWhole);
    ASSERT_EQ(truncate(file.c_str(), off_t(cut)), 0);

    ASSERT_EQ(mvSetCurrentFrame(movie.id(), from), 0);
    ASSERT_EQ(mvSetPlayLoopMode(movie.id(), MV_LOOP_ONCE), 0);
    const auto playStart = Clock::now();
    ASSERT_EQ(mvPlay(movie.id()), 0);
    Collected got = waitFor(MV_EVENT_STOP, 30s);
    const auto elapsed = Clock::now() - playStart;
    // The last frame's error may be reported just after the stop.
    for (const MVevent &e : collect(200ms).events)
        got.events.push_back(e);
    EXPECT_GE(elapsed, std::chrono::milliseconds(1000 * (kFrames - from - 2) / 15));
    ASSERT_EQ(got.count(MV_EVENT_STOP), 1);
    EXPECT_EQ(got.first(MV_EVENT_STOP)->frame, kFrames - 1);
    const auto closing = Clock::now();
    movie.close();
    EXPECT_LT(Clock::now() - closing, 5s);
    // Failures that come faster than the main thread reports them share
    // one event. An event names the picture last read, which may trail the
    // sound, so only its number is checked: the file ended early.
    EXPECT_GE(got.count(MV_EVENT_ERROR), 1);
    EXPECT_LE(got.count(MV_EVENT_ERROR), kFrames - kWhole);
    for (const MVevent &e : got.events)
        if (e.type == MV_EVENT_ERROR) {
            EXPECT_EQ(e.value, EIO);
        }
    Wav wav;
    ASSERT_TRUE(audiotest::read_wav(wav_, wav));
    ASSERT_EQ(wav.samples.size(), size_t(kFrames - from) * kPerFrame * 2);
    const auto first = reference.sound().begin() + long(from) * kPerFrame * 2;
    EXPECT_TRUE(std::equal(first, first + long(kWhole - from) * kPerFrame * 2, wav.samples.begin()));
}

TEST_F(SoundPlay, WithoutAFittingOutputTheTimerPacesTheMovieSilently)
{
    SoundMovie movie;
    bind(movie, "wav:/nonexistent-cinelark-dir/sound.wav");
    EXPECT_GE(playOnce(movie, 1.0), shortestPlay(1.0));
    EXPECT_EQ(mvGetCurrentFrame(movie.id()), kFrames - 1);
}

TEST_F(SoundPlay, ThePrimaryAudioMovieKeepsTheDevicesRate)
{
    const auto deviceRate = [] {
        long pairs[2] = {AL_PARAM_OUTPUT_RATE, 0};
        return ALgetparams(AL_DEFAULT_DEVICE, pairs, 2) == 0 ? pairs[1] : -1;
    };
    const Window second = makeWindow(kSide, kSide);
    SoundMovie first(kRate), other(11127);
    bind(first, "null");
    ASSERT_EQ(mvSetPrimaryAudio(first.id()), 0);
    bind(other, "null", second);
    EXPECT_EQ(deviceRate(), kRate);
    // Once the primary movie is closed, the next movie sets its own rate.
    first.close();
    other.close();
    SoundMovie third(11127);
    bind(third, "null");
    EXPECT_EQ(deviceRate(), 11025);
}

TEST_F(SoundPlay, PlayStoppedAtAnyMomentStaysStoppedAndASlowWriteClosesPromptly)
{
    SoundMovie movie;
    bind(movie, "null");
    // Frames of 1.7 ms of sound: a stop meets the thread in every part of
    // its round. One that waits for a write to a full queue waits for a
    // device period (10 ms) at most, which bounds the rounds here.
    ASSERT_EQ(mvSetPlaySpeed(movie.id(), 40.0), 0);
    ASSERT_EQ(mvSetPlayLoopMode(movie.id(), MV_LOOP_REPEAT), 0);
    stressPlayAndStop(movie.id(), 300);
    // One frame slowed to a quarter lasts 270 ms; a close during its write
    // waits for at most the write.
    ASSERT_EQ(mvSetPlaySpeed(movie.id(), 0.25), 0);
    ASSERT_EQ(mvPlay(movie.id()), 0);
    std::this_thread::sleep_for(300ms);
    const auto start = Clock::now();
    movie.close();
    EXPECT_LT(Clock::now() - start, 5s);
}

// An .mpg whose picture flashes white exactly when its sound clicks, at 0.6
// seconds: the capture holds the click at the flash frame's time, and the
// screen shows the flash within a frame of the click's time from the start
// of play.
TEST_F(SoundPlay, MpgFlashAndClickComeTogether)
{
    constexpr int kSize = 32, kFlash = 15;
    constexpr double kFrameTime = 1.0 / 25;
    const std::string file = dir_.file("flash.mpg");
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i 'color=c=black:s=32x32:r=25:d=1,drawbox=c=white:t=fill:"
                           "enable=eq(n\\,15)' -f lavfi -i 'aevalsrc=if(between(t\\,0.6\\,0.61)\\,0.8\\,0):s=44100:d=1' "
                           "-f mpeg -c:v mpeg1video -g 5 -c:a mp2 " + file)
                              .c_str()),
              0);
    MVid movie = 0;
    ASSERT_EQ(mvOpenFile(file.c_str(), 0, &movie), 0) << mvGetErrorStr(mvGetErrno());
    const Window window = makeWindow(kSize, kSize);
    setenv("CINELARK_AUDIO", ("wav:" + wav_).c_str(), 1);
    ASSERT_EQ(mvBindWindow(movie, display_, window), 0) << mvGetErrorStr(mvGetErrno());
    ASSERT_EQ(mvSetPlayLoopMode(movie, MV_LOOP_ONCE), 0);
    const auto start = Clock::now();
    ASSERT_EQ(mvPlay(movie), 0);
    Clock::duration flash{};
    while (Clock::now() - start < 5s && flash == Clock::duration{}) {
        if ((windowPixel(window, kSize / 2, kSize / 2) & 0xFF) > 0xC0)
            flash = Clock::now() - start;
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(waitFor(MV_EVENT_STOP, 30s).count(MV_EVENT_STOP), 1);
    mvClose(movie);
    Wav wav;
    ASSERT_TRUE(audiotest::read_wav(wav_, wav));
    ASSERT_EQ(wav.rate, 44100);
    size_t click = 0;
    while (click < wav.samples.size() && std::abs(wav.samples[click]) < 8000)
        ++click;
    const double clickTime = double(click / size_t(wav.channels)) / wav.rate;
    EXPECT_NEAR(clickTime, kFlash * kFrameTime, 0.001);
    // A frame's picture comes up once the sound of the frame before has gone
    // into the port's queue of about a frame, so it leads by up to a frame
    // and a device period; the screen is read back every few ms.
    constexpr double kDevicePeriod = 0.010;
    const double shown = std::chrono::duration<double>(flash).count();
    EXPECT_GT(shown, clickTime - kFrameTime - kDevicePeriod);
    EXPECT_LT(shown, clickTime + kFrameTime + kDevicePeriod);
}

}  // namespace
}  // namespace engine_test
