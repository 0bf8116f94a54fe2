// Building movies from pictures and sound files, and the refusals of
// pictures and sound the movie library cannot take.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cstdio>
#include <cstring>

namespace mvtest {
namespace {

// A picture whose every pixel differs by position and number.
std::vector<uint8_t> testPicture(int width, int height, int n)
{
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            p[0] = uint8_t(x * 13 + n);
            p[1] = uint8_t(y * 29);
            p[2] = uint8_t(n * 50);
            p[3] = 255;
        }
    return rgba;
}

void writePpm(const std::string &file, int width, int height, const std::vector<uint8_t> &rgba)
{
    std::FILE *f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "P6\n# made by a test\n%d %d\n255\n", width, height);
    for (size_t i = 0; i < rgba.size(); i += 4)
        std::fwrite(&rgba[i], 1, 3, f);
    std::fclose(f);
}

// The stored 1001 frame of a top-row-first picture: rows reversed, words
// with red low.
std::vector<uint8_t> storedFromPicture(int width, int height, const std::vector<uint8_t> &rgba)
{
    std::vector<uint8_t> stored(rgba.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t *p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            const uint32_t word = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
            std::memcpy(&stored[(size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4], &word, 4);
        }
    return stored;
}

std::vector<int16_t> testSound(int frames, int channels)
{
    std::vector<int16_t> s(size_t(frames) * size_t(channels));
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            s[size_t(f) * size_t(channels) + size_t(c)] = testSample(f, c);
    return s;
}

TEST(Import, PngPicturesAndWavMakeAMovie)
{
    ToolDir dir;
    for (int n = 1; n <= 4; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "in_%04d.png", n);
        ASSERT_TRUE(writePng(dir.path(name), 10, 6, testPicture(10, 6, n)));
    }
    const std::vector<int16_t> sound = testSound(4410, 2);
    ASSERT_TRUE(writeSound(dir.path("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 2, sound));
    const Outcome r = dir.run({"--from-frames", "in_%04d.png", "--rate", "12.5", "--audio-in", "s.wav", "m.mv"});
    ASSERT_EQ(r.status, 0) << r.err;
    MovieContents m;
    ASSERT_TRUE(readMovie(dir.path("m.mv"), &m));
    EXPECT_EQ(m.format, MV_FORMAT_NATIVE_3);
    EXPECT_EQ(m.compression, DM_IMAGE_UNCOMPRESSED);
    EXPECT_EQ(m.imageRate, 12.5);
    ASSERT_EQ(m.frames.size(), 4u) << "numbering starts at 1 when there is no 0";
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(m.frames[size_t(n - 1)], storedFromPicture(10, 6, testPicture(10, 6, n))) << n;
    EXPECT_EQ(m.audioRate, 11025);
    EXPECT_EQ(m.audioChannels, 2);
    EXPECT_EQ(m.audioWidth, 16);
    ASSERT_EQ(m.audio.size(), sound.size() * 2);
    EXPECT_EQ(0, std::memcmp(m.audio.data(), sound.data(), m.audio.size()));
}

// PPM pictures and an 8-bit AIFF into a compressed movie; the sound becomes
// 16-bit, and the pictures survive the lossless scheme exactly.
TEST(Import, PpmPicturesAndAiffIntoRle)
{
    ToolDir dir;
    for (int n = 0; n < 3; ++n)
        writePpm(dir.path("f" + std::to_string(n) + ".ppm"), 7, 5, testPicture(7, 5, n));
    std::vector<int16_t> sound = testSound(1000, 1);
    for (int16_t &s : sound)
        s = int16_t(s & ~0xff);  // exact in 8 bits
    ASSERT_TRUE(writeSound(dir.path("s.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 8000, 1, sound));
    const Outcome r = dir.run({"--from-frames", "f%d.ppm", "--rate", "5", "--audio-in", "s.aiff",
                               "--compression", "RLE24", "m.mv"});
    ASSERT_EQ(r.status, 0) << r.err;
    MovieContents m;
    ASSERT_TRUE(readMovie(dir.path("m.mv"), &m));
    EXPECT_EQ(m.compression, "RLE24");
    ASSERT_EQ(m.frames.size(), 3u);
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(m.frames[size_t(n)], storedFromPicture(7, 5, testPicture(7, 5, n))) << n;
    EXPECT_EQ(m.audioWidth, 16);
    ASSERT_EQ(m.audio.size(), sound.size() * 2);
    EXPECT_EQ(0, std::memcmp(m.audio.data(), sound.data(), m.audio.size()));
}

// Imported pictures, exported again, come back unchanged.
TEST(Import, ExportGivesThePicturesBack)
{
    ToolDir dir;
    for (int n = 0; n < 2; ++n)
        ASSERT_TRUE(writePng(dir.path("a" + std::to_string(n) + ".png"), 9, 4, testPicture(9, 4, n)));
    ASSERT_EQ(dir.run({"--from-frames", "a%d.png", "--rate", "10", "m.mv"}).status, 0);
    ASSERT_EQ(dir.run({"m.mv", "--frames", "b%d.png"}).status, 0);
    for (int n = 0; n < 2; ++n) {
        int w = 0, h = 0;
        std::vector<uint8_t> rgba;
        ASSERT_TRUE(readPng(dir.path("b" + std::to_string(n) + ".png"), &w, &h, &rgba));
        EXPECT_EQ(rgba, testPicture(9, 4, n));
    }
}

class ImportRefusal : public testing::Test {
protected:
    void SetUp() override
    {
        for (int n = 0; n < 3; ++n)
            ASSERT_TRUE(writePng(dir.path("p" + std::to_string(n) + ".png"), 8, 8, testPicture(8, 8, n)));
    }

    void expectRefused(const std::vector<std::string> &args, const std::string &file, const std::string &reason)
    {
        const std::vector<std::string> before = dir.listing();
        const Outcome r = dir.run(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_EQ(dir.listing(), before) << "something was left behind";
    }

    ToolDir dir;
};

TEST_F(ImportRefusal, PicturesOfDifferentSizes)
{
    ASSERT_TRUE(writePng(dir.path("p3.png"), 8, 9, testPicture(8, 9, 3)));
    expectRefused({"--from-frames", "p%d.png", "--rate", "10", "m.mv"}, "p3.png", "8x9");
}

TEST_F(ImportRefusal, CorruptOrMissingPictures)
{
    std::FILE *f = std::fopen(dir.path("p3.png").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("\x89PNG\r\n\x1a\n but nothing more", f);
    std::fclose(f);
    expectRefused({"--from-frames", "p%d.png", "--rate", "10", "m.mv"}, "p3.png", "PNG");
    expectRefused({"--from-frames", "q%d.png", "--rate", "10", "m.mv"}, "q%d.png", "no pictures");
    writePpm(dir.path("t0.ppm"), 4, 4, testPicture(4, 4, 0));
    // A PPM cut short in its samples.
    f = std::fopen(dir.path("t1.ppm").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("P6\n4 4\n255\nabc", f);
    std::fclose(f);
    expectRefused({"--from-frames", "t%d.ppm", "--rate", "10", "m.mv"}, "t1.ppm", "cut short");
}

TEST_F(ImportRefusal, SoundTheLibraryCannotTake)
{
    ASSERT_TRUE(writeSound(dir.path("low.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 4000, 1, testSound(100, 1)));
    expectRefused({"--from-frames", "p%d.png", "--rate", "10", "--audio-in", "low.wav", "m.mv"}, "low.wav",
                  "4000 Hz");
    ASSERT_TRUE(writeSound(dir.path("high.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 96000, 2, testSound(100, 2)));
    expectRefused({"--from-frames", "p%d.png", "--rate", "10", "--audio-in", "high.wav", "m.mv"}, "high.wav",
                  "96000 Hz");
    ASSERT_TRUE(writeSound(dir.path("three.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 3, testSound(100, 3)));
    expectRefused({"--from-frames", "p%d.png", "--rate", "10", "--audio-in", "three.wav", "m.mv"}, "three.wav",
                  "3 channels");
    std::FILE *f = std::fopen(dir.path("junk.wav").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("RIFF....WAVEjunk", f);
    std::fclose(f);
    expectRefused({"--from-frames", "p%d.png", "--rate", "10", "--audio-in", "junk.wav", "m.mv"}, "junk.wav", "");
}

TEST_F(ImportRefusal, SchemesAndFormats)
{
    expectRefused({"--from-frames", "p%d.png", "--rate", "10", "--compression", "Nope", "m.mv"}, "m.mv",
                  "unknown compression");
    expectRefused({"--from-frames", "p%d.png", "--rate", "10", "--compression", "MVC1", "m.mov"}, "m.mov",
                  "cannot carry");
}

}  // namespace
}  // namespace mvtest
