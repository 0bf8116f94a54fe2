// Building movies from numbered pictures and sound files: the frames must be
// the pictures, stored bottom row first, and the audio the sound as 16-bit
// samples at its own rate.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mvtest {
namespace {

struct ImportCase {
    const char *pattern;      // pictures, numbered from first
    int first;
    const char *sound;        // its ending chooses the format
    int soundBits;
    int soundRate;
    int soundChannels;
    std::vector<std::string> extra;  // more options
    const char *compression;  // expected in the movie
};

class Import : public testing::TestWithParam<ImportCase> {};

TEST_P(Import, PicturesAndSoundMakeTheMovie)
{
    const ImportCase &c = GetParam();
    constexpr int kWidth = 10, kHeight = 6, kCount = 4, kSoundFrames = 4410;
    ToolDir dir;
    ASSERT_TRUE(dir.makePictures(c.pattern, c.first, c.first + kCount - 1, kWidth, kHeight));
    ASSERT_TRUE(dir.makeSound(c.sound, c.soundRate, c.soundChannels, kSoundFrames, c.soundBits));
    std::vector<std::string> args = {"--from-frames", c.pattern, "--rate", "12.5", "--audio-in", c.sound, "m.mv"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const Outcome r = dir.run(args);
    ASSERT_EQ(r.status, 0) << r.err;

    MovieContents m;
    ASSERT_TRUE(readMovie(dir.path("m.mv"), &m));
    EXPECT_EQ(m.format, MV_FORMAT_NATIVE_3);
    EXPECT_EQ(m.compression, c.compression);
    EXPECT_EQ(m.imageRate, 12.5);
    ASSERT_EQ(m.frames.size(), size_t(kCount));
    for (int n = 0; n < kCount; ++n)
        EXPECT_EQ(m.frames[size_t(n)], storedFromPicture(kWidth, kHeight, testPicture(kWidth, kHeight, c.first + n)))
            << n;
    EXPECT_EQ(m.audioRate, c.soundRate);
    EXPECT_EQ(m.audioChannels, c.soundChannels);
    EXPECT_EQ(m.audioWidth, 16);
    std::vector<int16_t> sound = testSound(kSoundFrames, c.soundChannels);
    if (c.soundBits == 8)
        for (int16_t &s : sound)
            s = int16_t(s & ~0xff);  // what an 8-bit file keeps
    ASSERT_EQ(m.audio.size(), sound.size() * 2);
    EXPECT_EQ(0, std::memcmp(m.audio.data(), sound.data(), m.audio.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, Import,
    testing::Values(ImportCase{"in_%04d.png", 1, "s.wav", 16, 11025, 2, {}, DM_IMAGE_UNCOMPRESSED},
                    ImportCase{"f%d.ppm", 0, "s.aiff", 8, 8000, 1, {"--compression", "RLE24"}, "RLE24"},
                    ImportCase{"g%d.png", 0, "s.flac", 16, 22050, 1, {"--format", "native"}, DM_IMAGE_UNCOMPRESSED}),
    [](const testing::TestParamInfo<ImportCase> &info) { return caseName(info.param.sound); });

}  // namespace
}  // namespace mvtest
