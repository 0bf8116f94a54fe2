// Exports of frames and sound, compared with what the test movie was made
// of (not with the program's own conversion), and the decode benchmark.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mvtest {
namespace {

// Every frame as PNG; frames 2 to 4 as PPM and as raw RGBA, and nothing else.
TEST(Export, PicturesAreTopRowFirstInEveryForm)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    Outcome r = dir.run({"in.mv", "--frames", "pic_%03d.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = dir.run({"in.mv", "--frames", "p%d.ppm", "--rgba", "all.rgba", "--range", "2:4"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> names = {"all.rgba",    "in.mv",       "p2.ppm",      "p3.ppm",
                                            "p4.ppm",      "pic_000.png", "pic_001.png", "pic_002.png",
                                            "pic_003.png", "pic_004.png", "pic_005.png"};
    EXPECT_EQ(dir.listing(), names);

    const std::vector<uint8_t> raw = dir.bytes("all.rgba");
    const size_t frameSize = size_t(recipe.width) * size_t(recipe.height) * 4;
    ASSERT_EQ(raw.size(), 3 * frameSize);
    for (int f = 0; f < recipe.frames; ++f) {
        const std::vector<uint8_t> want = testPicture(recipe.width, recipe.height, f);
        mvconvert::Picture png;
        std::string error;
        char name[32];
        std::snprintf(name, sizeof name, "pic_%03d.png", f);
        ASSERT_TRUE(mvconvert::readPicture(dir.path(name), &png, &error)) << name << ": " << error;
        EXPECT_EQ(png.width, recipe.width);
        EXPECT_EQ(png.height, recipe.height);
        EXPECT_EQ(png.rgba, want) << name;
        if (f < 2 || f > 4)
            continue;
        EXPECT_TRUE(std::equal(want.begin(), want.end(), raw.begin() + long(size_t(f - 2) * frameSize))) << f;
        const std::vector<uint8_t> ppm = dir.bytes("p" + std::to_string(f) + ".ppm");
        const std::string header = "P6\n16 8\n255\n";
        ASSERT_EQ(ppm.size(), header.size() + frameSize / 4 * 3);
        EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + long(header.size())), header);
        for (size_t i = 0; i < frameSize / 4; ++i)
            ASSERT_EQ(0, std::memcmp(&ppm[header.size() + i * 3], &want[i * 4], 3)) << "pixel " << i;
    }
}

struct SoundCase {
    const char *file;
    int width;
    int channels;
    int sampleFormat;
};

class AudioExport : public testing::TestWithParam<SoundCase> {};

// The samples in the sound file are the track's, widened to 16 bits.
TEST_P(AudioExport, SamplesMatchTheTrack)
{
    const SoundCase &c = GetParam();
    ToolDir dir;
    MovieRecipe recipe;
    recipe.audioWidth = c.width;
    recipe.audioChannels = c.channels;
    recipe.audioFormat = c.sampleFormat;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    const Outcome r = dir.run({"in.mv", "--audio", c.file});
    ASSERT_EQ(r.status, 0) << r.err;
    mvconvert::Sound sound;
    std::string error;
    ASSERT_TRUE(mvconvert::readSound(dir.path(c.file), &sound, &error)) << error;
    EXPECT_EQ(sound.rate, 22050);
    EXPECT_EQ(sound.channels, c.channels);
    const std::vector<int16_t> &samples = sound.samples;
    ASSERT_EQ(samples.size(), size_t(recipe.audioFrames) * size_t(c.channels));
    for (int f = 0; f < recipe.audioFrames; ++f)
        for (int ch = 0; ch < c.channels; ++ch) {
            int16_t want = testSample(f, ch);
            if (c.width == 8) {
                // Stored as the top byte; an unsigned track stores the same
                // byte and reads back with its top bit flipped.
                uint8_t byte = uint8_t(want >> 8);
                if (c.sampleFormat == AUDIO_FORMAT_UNSIGNED)
                    byte ^= 0x80;
                want = int16_t(uint16_t(byte) << 8);
            } else if (c.sampleFormat == AUDIO_FORMAT_UNSIGNED) {
                want = int16_t(uint16_t(want) ^ 0x8000);
            }
            ASSERT_EQ(samples[size_t(f) * size_t(c.channels) + size_t(ch)], want) << f << ":" << ch;
        }
}

INSTANTIATE_TEST_SUITE_P(Files, AudioExport,
                         testing::Values(SoundCase{"s.wav", 16, 2, AUDIO_FORMAT_TWOS},
                                         SoundCase{"s.aiff", 16, 1, AUDIO_FORMAT_TWOS},
                                         SoundCase{"s.flac", 16, 2, AUDIO_FORMAT_TWOS},
                                         SoundCase{"s8.wav", 8, 1, AUDIO_FORMAT_TWOS},
                                         SoundCase{"u8.aif", 8, 2, AUDIO_FORMAT_UNSIGNED},
                                         SoundCase{"u16.wav", 16, 1, AUDIO_FORMAT_UNSIGNED}),
                         [](const testing::TestParamInfo<SoundCase> &info) { return caseName(info.param.file); });

// With a range, the sound is the part that plays with those frames: at 15
// frames per second and 22050 Hz, frames 2 to 3 are audio 2940 to 5880, and
// the last frame's part runs to the end of the audio.
TEST(Export, AudioRangeFollowsTheImageFrames)
{
    ToolDir dir;
    MovieRecipe recipe;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    ASSERT_EQ(dir.run({"in.mv", "--audio", "part.wav", "--range", "2:3"}).status, 0);
    mvconvert::Sound part, tail;
    std::string error;
    ASSERT_TRUE(mvconvert::readSound(dir.path("part.wav"), &part, &error)) << error;
    ASSERT_EQ(part.samples.size(), size_t(5880 - 2940) * 2);
    EXPECT_EQ(part.samples[0], testSample(2940, 0));
    EXPECT_EQ(part.samples.back(), testSample(5879, 1));
    ASSERT_EQ(dir.run({"in.mv", "--audio", "tail.wav", "--range", "5:5"}).status, 0);
    ASSERT_TRUE(mvconvert::readSound(dir.path("tail.wav"), &tail, &error)) << error;
    EXPECT_EQ(tail.samples.size(), size_t(recipe.audioFrames - 7350) * 2);
}

// A grey movie: the grey level is the stored red byte, in every colour
// byte; and the decode benchmark reports on it.
TEST(Export, GreyFramesBecomeGreyPicturesAndTheBenchmarkReports)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.packing = DM_PACKING_GRAY;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    ASSERT_EQ(dir.run({"in.mv", "--rgba", "g.rgba", "--range", "0:0"}).status, 0);
    const std::vector<uint8_t> raw = dir.bytes("g.rgba");
    const std::vector<uint8_t> colour = testPicture(recipe.width, recipe.height, 0);
    ASSERT_EQ(raw.size(), colour.size());
    for (size_t i = 0; i < raw.size(); i += 4) {
        const uint8_t want[4] = {colour[i], colour[i], colour[i], 255};
        ASSERT_EQ(0, std::memcmp(&raw[i], want, 4)) << "pixel " << i / 4;
    }

    const Outcome r = dir.run({"--decode-bench", "in.mv"});
    ASSERT_EQ(r.status, 0) << r.err;
    int frames = 0;
    double seconds = -1, fps = -1;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "%d frames in %lf seconds: %lf frames per second", &frames, &seconds, &fps),
              3)
        << r.out;
    EXPECT_EQ(frames, 6);
    EXPECT_GE(seconds, 0.0);
    EXPECT_GE(fps, 0.0);
}

}  // namespace
}  // namespace mvtest
