// Conversions between formats and compressions, run through the program on
// real files: what arrives must be what the library reads from the source.
// Also the command line itself: help, usage errors and the progress line.
#include "tool_run.h"


#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace mvtest {
namespace {

// Largest difference of any colour byte between two frames of 32-bit words.
int largestDifference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    int worst = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (i % 4 != 3)
            worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return a.size() == b.size() ? worst : 256;
}

// Native -> QuickTime -> native keeps every frame (exactly for the lossless
// schemes, within the codec's error for the lossy ones), the audio and the
// rate; the way back copies stored frames, so the last movie decodes exactly
// as the QuickTime one does, and its pictures are the source's.
TEST(Convert, NativeToQuickTimeAndBackInEveryScheme)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.width = 32;
    recipe.height = 16;
    // A QuickTime movie with sound takes its image rate from the sound's
    // length: 6 frames at 15 per second are 8820 frames at 22050 Hz.
    recipe.audioFrames = 8820;
    const std::string source = dir.makeMovie("source.mv", recipe);
    ASSERT_FALSE(source.empty());
    MovieContents original;
    ASSERT_TRUE(readMovie(source, &original));
    ASSERT_EQ(dir.run({"source.mv", "--rgba", "a.rgba"}).status, 0);
    EXPECT_EQ(dir.bytes("a.rgba").size(), size_t(32 * 16 * 4 * 6));
    for (const char *scheme : {DM_IMAGE_UNCOMPRESSED, "JPEG", "Apple Video", "Apple Animation"}) {
        SCOPED_TRACE(scheme);
        Outcome r = dir.run({"source.mv", "middle.mov", "--compression", scheme});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "") << "no progress line when the output is not a terminal";
        r = dir.run({"middle.mov", "back.mv", "--format", "native"});
        ASSERT_EQ(r.status, 0) << r.err;

        MovieContents middle, back;
        ASSERT_TRUE(readMovie(dir.path("middle.mov"), &middle));
        ASSERT_TRUE(readMovie(dir.path("back.mv"), &back));
        EXPECT_EQ(middle.format, MV_FORMAT_QUICKTIME);
        EXPECT_EQ(back.format, MV_FORMAT_NATIVE_3);
        EXPECT_EQ(middle.compression, scheme);
        EXPECT_EQ(back.compression, scheme);
        EXPECT_EQ(back.imageRate, 15.0);
        EXPECT_EQ(back.audio, original.audio);
        EXPECT_EQ(back.audioRate, 22050);
        ASSERT_EQ(back.frames.size(), original.frames.size());
        const bool lossless = std::strcmp(scheme, "JPEG") != 0 && std::strcmp(scheme, "Apple Video") != 0;
        for (size_t f = 0; f < back.frames.size(); ++f) {
            EXPECT_EQ(back.stored[f], middle.stored[f]) << "frame " << f << " was not copied as stored";
            // 5-5-5 colours lose three bits; blocks of four colours more.
            if (back.packing == original.packing) {
                EXPECT_LE(largestDifference(back.frames[f], original.frames[f]), lossless ? 0 : 48) << f;
            }
        }
        if (lossless) {
            ASSERT_EQ(dir.run({"back.mv", "--rgba", "b.rgba"}).status, 0);
            EXPECT_TRUE(dir.bytes("a.rgba") == dir.bytes("b.rgba")) << "the pictures changed on the way";
        }
    }
}

// An .mpg's sound, decoded by the library, is what the sound export writes
// and what native and QuickTime copies of the movie hold.
TEST(Convert, MpgSoundGoesIntoSoundFilesAndEveryFormat)
{
    ToolDir dir;
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
                           "sine=f=300:beep_factor=3:r=44100 -t 1 -f mpeg -c:v mpeg1video -c:a mp2 " +
                           dir.path("clip.mpg")).c_str()),
              0);
    MovieContents source;
    ASSERT_TRUE(readMovie(dir.path("clip.mpg"), &source));
    ASSERT_EQ(source.audioWidth, 16);
    ASSERT_GT(source.audio.size(), 40000u);

    ASSERT_EQ(dir.run({"clip.mpg", "--audio", "clip.wav"}).status, 0);
    mvconvert::Sound wav;
    std::string error;
    ASSERT_TRUE(mvconvert::readSound(dir.path("clip.wav"), &wav, &error)) << error;
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.channels, source.audioChannels);
    ASSERT_EQ(wav.samples.size() * 2, source.audio.size());
    EXPECT_EQ(std::memcmp(wav.samples.data(), source.audio.data(), source.audio.size()), 0);

    for (const char *copy : {"copy.mv", "copy.mov"}) {
        SCOPED_TRACE(copy);
        const Outcome r = dir.run({"clip.mpg", copy, "--compression", "JPEG"});
        ASSERT_EQ(r.status, 0) << r.err;
        MovieContents c;
        ASSERT_TRUE(readMovie(dir.path(copy), &c));
        EXPECT_EQ(c.frames.size(), source.frames.size());
        EXPECT_EQ(c.audioRate, 44100);
        EXPECT_EQ(c.audioChannels, source.audioChannels);
        EXPECT_TRUE(c.audio == source.audio);
    }
}

// A native conversion keeps the settings, the user parameter and the 8-bit
// audio; the same scheme copies the stored frames, another one (named in
// any case) recompresses them to the same pixels.
TEST(Convert, KeepsSettingsAndPixelsWhateverTheScheme)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.compression = "RLE";
    recipe.audioWidth = 8;
    recipe.audioChannels = 1;
    recipe.audioFormat = AUDIO_FORMAT_UNSIGNED;
    recipe.audioRate = 8000.0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    MovieContents in;
    ASSERT_TRUE(readMovie(dir.path("in.mv"), &in));
    for (const char *scheme : {"", "rle24", "Apple Animation", "8RGB"}) {
        std::vector<std::string> args = {"in.mv", "out.mv"};
        if (*scheme != '\0')
            args.insert(args.end(), {"--compression", scheme});
        const Outcome r = dir.run(args);
        ASSERT_EQ(r.status, 0) << scheme << ": " << r.err;
        MovieContents out;
        ASSERT_TRUE(readMovie(dir.path("out.mv"), &out));
        EXPECT_EQ(out.title, kTitle);
        EXPECT_EQ(out.comment, "made by the mvconvert tests");
        EXPECT_EQ(out.loopMode, MV_LOOP_SWING);
        EXPECT_EQ(out.loopLimit, 3);
        EXPECT_EQ(out.userValue, kUserValue);
        EXPECT_EQ(out.audio, in.audio);
        EXPECT_EQ(out.audioWidth, 8);
        EXPECT_EQ(out.audioRate, 8000);
        if (*scheme == '\0') {
            EXPECT_EQ(out.compression, "RLE");
            EXPECT_EQ(out.stored, in.stored);
        } else if (std::strcmp(scheme, "8RGB") == 0) {
            // One byte a pixel: 3 bits of red and green, 2 of blue.
            EXPECT_EQ(out.stored[0].size(), size_t(16 * 8));
            EXPECT_LE(largestDifference(out.frames[0], in.frames[0]), 64);
        } else {
            EXPECT_EQ(out.compression, std::strcmp(scheme, "rle24") == 0 ? "RLE24" : scheme);
            EXPECT_NE(out.stored, in.stored);
            EXPECT_EQ(out.frames, in.frames) << scheme;
        }
    }

    // On a terminal the run shows "N of TOTAL frames"; the terminal here is
    // a pseudo-terminal made by script(1), which every Debian system has.
    const Outcome r =
        dir.run({"-qec", std::string(MVCONVERT_PATH) + " in.mv out.mv --compression RLE24", "/dev/null"}, "", "script");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("6 of 6 frames"), std::string::npos) << r.out;
}

TEST(Usage, HelpNamesEveryOptionAndBadOptionsAreUsageErrors)
{
    ToolDir dir;
    Outcome r = dir.run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char *option : {"--format", "--compression", "--quality", "--frames", "--rgba", "--audio ",
                               "--range", "--from-frames", "--rate", "--audio-in", "--decode-bench"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--bogus", "a.mv"}, {"a.mv"}, {"a.mv", "b.mv", "--format", "avi"},
          {"a.mv", "--frames", "f%s.png"}, {"a.mv", "--frames", "f.png"}, {"a.mv", "--frames", "f%d%d.png"},
          {"a.mv", "--rgba", "x", "--range", "5:2"}, {"--from-frames", "p%d.png", "out.mv"},
          {"--from-frames", "p%d.png", "--rate", "0.5", "out.mv"}, {"a.mv", "b.mv", "--quality", "high"},
          {"a.mv", "--rgba", "x", "--quality", "5"}}) {
        r = dir.run(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << args[1] << " " << args.back();
    }
}

}  // namespace
}  // namespace mvtest
