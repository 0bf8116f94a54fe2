// Exports of frames and sound, compared with what the library reads from
// the movie. The expected pictures are worked out from how the test movie's
// frames were made, not from the program's own conversion.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace mvtest {
namespace {

// The RGBA picture, top row first, of stored frame f of a 1001 movie: the
// stored rows are bottom row first, so picture row y is stored row h-1-y.
std::vector<uint8_t> expectedPicture(int width, int height, int f)
{
    const std::vector<uint8_t> stored = storedFrame(width, height, f);
    std::vector<uint8_t> rgba(stored.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t from = (size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4;
            const size_t to = (size_t(y) * size_t(width) + size_t(x)) * 4;
            uint32_t word;
            std::memcpy(&word, &stored[from], 4);
            rgba[to] = uint8_t(word);
            rgba[to + 1] = uint8_t(word >> 8);
            rgba[to + 2] = uint8_t(word >> 16);
            rgba[to + 3] = 255;
        }
    return rgba;
}

std::vector<uint8_t> fileBytes(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Export, PngFramesAreTopRowFirst)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    const Outcome r = dir.run({"in.mv", "--frames", "pic_%03d.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int f = 0; f < recipe.frames; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "pic_%03d.png", f);
        int w = 0, h = 0;
        std::vector<uint8_t> rgba;
        ASSERT_TRUE(readPng(dir.path(name), &w, &h, &rgba)) << name;
        EXPECT_EQ(w, recipe.width);
        EXPECT_EQ(h, recipe.height);
        EXPECT_EQ(rgba, expectedPicture(recipe.width, recipe.height, f)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("pic_006.png")));
}

TEST(Export, RangeOfPpmPicturesAndRawRgba)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    const Outcome r = dir.run({"in.mv", "--frames", "p%d.ppm", "--rgba", "all.rgba", "--range", "2:4"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> expectedNames = {"all.rgba", "in.mv", "p2.ppm", "p3.ppm", "p4.ppm"};
    EXPECT_EQ(dir.listing(), expectedNames);

    std::vector<uint8_t> raw = fileBytes(dir.path("all.rgba"));
    const size_t frameSize = size_t(recipe.width) * size_t(recipe.height) * 4;
    ASSERT_EQ(raw.size(), 3 * frameSize);
    for (int f = 2; f <= 4; ++f) {
        const std::vector<uint8_t> want = expectedPicture(recipe.width, recipe.height, f);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), raw.begin() + long(size_t(f - 2) * frameSize)))
            << "frame " << f;
        const std::vector<uint8_t> ppm = fileBytes(dir.path("p" + std::to_string(f) + ".ppm"));
        const std::string header = "P6\n16 8\n255\n";
        ASSERT_EQ(ppm.size(), header.size() + frameSize / 4 * 3);
        EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + long(header.size())), header);
        for (size_t i = 0; i < frameSize / 4; ++i)
            ASSERT_EQ(0, std::memcmp(&ppm[header.size() + i * 3], &want[i * 4], 3)) << "pixel " << i;
    }
}

TEST(Export, GreyFramesBecomeGreyPictures)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.packing = DM_PACKING_GRAY;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    ASSERT_EQ(dir.run({"in.mv", "--rgba", "g.rgba", "--range", "0:0"}).status, 0);
    const std::vector<uint8_t> raw = fileBytes(dir.path("g.rgba"));
    const std::vector<uint8_t> colour = expectedPicture(recipe.width, recipe.height, 0);
    ASSERT_EQ(raw.size(), colour.size());
    for (size_t i = 0; i < raw.size(); i += 4) {
        // The grey level is the stored red byte, in every colour byte.
        EXPECT_EQ(raw[i], colour[i]);
        EXPECT_EQ(raw[i + 1], colour[i]);
        EXPECT_EQ(raw[i + 2], colour[i]);
        EXPECT_EQ(raw[i + 3], 255);
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
    int rate = 0, channels = 0;
    std::vector<int16_t> samples;
    ASSERT_TRUE(readSound(dir.path(c.file), &rate, &channels, &samples));
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(channels, c.channels);
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
                         [](const testing::TestParamInfo<SoundCase> &info) {
                             std::string name;
                             for (const char *c = info.param.file; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

// With a range, the sound is the part that plays with those frames: at 15
// frames per second and 22050 Hz, frames 2 to 3 are audio 2940 to 5880.
TEST(Export, AudioRangeFollowsTheImageFrames)
{
    ToolDir dir;
    MovieRecipe recipe;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    ASSERT_EQ(dir.run({"in.mv", "--audio", "part.wav", "--range", "2:3"}).status, 0);
    int rate = 0, channels = 0;
    std::vector<int16_t> samples;
    ASSERT_TRUE(readSound(dir.path("part.wav"), &rate, &channels, &samples));
    ASSERT_EQ(samples.size(), size_t(5880 - 2940) * 2);
    EXPECT_EQ(samples[0], testSample(2940, 0));
    EXPECT_EQ(samples.back(), testSample(5879, 1));
    // The last frame's range runs to the end of the audio.
    ASSERT_EQ(dir.run({"in.mv", "--audio", "tail.wav", "--range", "5:5"}).status, 0);
    ASSERT_TRUE(readSound(dir.path("tail.wav"), &rate, &channels, &samples));
    EXPECT_EQ(samples.size(), size_t(recipe.audioFrames - 7350) * 2);
}

TEST(Export, RefusalsLeaveNothingBehind)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    const std::vector<std::string> before = dir.listing();
    struct Case {
        std::vector<std::string> args;
        const char *text;
    };
    for (const Case &c : {Case{{"in.mv", "--audio", "a.wav"}, "no audio track"},
                          Case{{"in.mv", "--rgba", "x.rgba", "--range", "3:6"}, "outside"},
                          Case{{"in.mv", "--frames", "f%d.png", "--audio", "a.mp3"}, "a.mp3"},
                          Case{{"in.mv", "--frames", "nodir/f%d.png"}, "nodir/f0.png"}}) {
        const Outcome r = dir.run(c.args);
        EXPECT_EQ(r.status, 1) << c.args[2];
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
        EXPECT_EQ(dir.listing(), before) << c.args[2];
    }
}

TEST(DecodeBench, ReportsFramesSecondsAndRate)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.compression = "RLE";
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    Outcome r = dir.run({"--decode-bench", "in.mv"});
    ASSERT_EQ(r.status, 0) << r.err;
    int frames = 0;
    double seconds = -1, fps = -1;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "%d frames in %lf seconds: %lf frames per second", &frames,
                          &seconds, &fps),
              3)
        << r.out;
    EXPECT_EQ(frames, 6);
    EXPECT_GE(seconds, 0.0);
    EXPECT_GE(fps, 0.0);
    r = dir.run({"--decode-bench", "missing.mv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.mv"), std::string::npos);
}

}  // namespace
}  // namespace mvtest
