// Exports of frames and sound, compared with what the test movie was made
// of (not with the program's own conversion), the decode benchmark, and
// movies built from numbered pictures and sound files: their frames must be
// the pictures, stored bottom row first, and their audio the sound as 16-bit
// samples at its own rate.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mvtest {
namespace {

// Every frame as PNG; frames 2 to 4 as PPM, as raw RGBA and as the sound
// that plays with them, and nothing else. Pictures are top row first.
TEST(Export, PicturesAndSoundOfEveryFrameOrARange)
{
    ToolDir dir;
    MovieRecipe recipe;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    Outcome r = dir.run({"in.mv", "--frames", "pic_%03d.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = dir.run({"in.mv", "--frames", "p%d.ppm", "--rgba", "all.rgba", "--audio", "part.wav", "--range", "2:4"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> names = {"all.rgba",    "in.mv",       "p2.ppm",      "p3.ppm",
                                            "p4.ppm",      "part.wav",    "pic_000.png", "pic_001.png",
                                            "pic_002.png", "pic_003.png", "pic_004.png", "pic_005.png"};
    EXPECT_EQ(dir.listing(), names);

    // At 15 frames per second and 22050 Hz, frames 2 to 4 are audio 2940
    // to 7350, and the last frame's part runs to the end of the audio.
    mvconvert::Sound part, tail;
    std::string error;
    ASSERT_TRUE(mvconvert::readSound(dir.path("part.wav"), &part, &error)) << error;
    ASSERT_EQ(part.samples.size(), size_t(7350 - 2940) * 2);
    EXPECT_EQ(part.samples[0], testSample(2940, 0));
    EXPECT_EQ(part.samples.back(), testSample(7349, 1));
    ASSERT_EQ(dir.run({"in.mv", "--audio", "tail.wav", "--range", "5:5"}).status, 0);
    ASSERT_TRUE(mvconvert::readSound(dir.path("tail.wav"), &tail, &error)) << error;
    EXPECT_EQ(tail.samples.size(), size_t(recipe.audioFrames - 7350) * 2);

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

// The samples in the sound file are the track's, widened to 16 bits.
TEST(Export, SoundFilesHoldTheTracksSamples)
{
    const struct {
        const char *file;
        int width, channels, sampleFormat;
    } cases[] = {{"s.wav", 16, 2, AUDIO_FORMAT_TWOS}, {"s.aiff", 16, 1, AUDIO_FORMAT_TWOS},
                 {"s.flac", 16, 2, AUDIO_FORMAT_TWOS}, {"s8.wav", 8, 1, AUDIO_FORMAT_TWOS},
                 {"u8.aif", 8, 2, AUDIO_FORMAT_UNSIGNED}, {"u16.wav", 16, 1, AUDIO_FORMAT_UNSIGNED}};
    ToolDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        MovieRecipe recipe;
        recipe.audioWidth = c.width;
        recipe.audioChannels = c.channels;
        recipe.audioFormat = c.sampleFormat;
        const std::string movie = std::string(c.file) + ".mv";
        ASSERT_FALSE(dir.makeMovie(movie, recipe).empty());
        const Outcome r = dir.run({movie, "--audio", c.file});
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
                    // Stored as the top byte; an unsigned track stores the
                    // same byte and reads back with its top bit flipped.
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

TEST(Import, PicturesAndSoundMakeTheMovie)
{
    const ImportCase cases[] = {{"in_%04d.png", 1, "s.wav", 16, 11025, 2, {}, DM_IMAGE_UNCOMPRESSED},
                                {"f%d.ppm", 0, "s.aiff", 8, 8000, 1, {"--compression", "RLE24"}, "RLE24"},
                                {"g%d.png", 0, "s.flac", 16, 22050, 1, {"--format", "native"}, DM_IMAGE_UNCOMPRESSED}};
    constexpr int kWidth = 10, kHeight = 6, kCount = 4, kSoundFrames = 4410;
    ToolDir dir;
    for (const ImportCase &c : cases) {
        SCOPED_TRACE(c.sound);
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
            EXPECT_EQ(m.frames[size_t(n)],
                      storedFromPicture(kWidth, kHeight, testPicture(kWidth, kHeight, c.first + n)))
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
}

}  // namespace
}  // namespace mvtest
