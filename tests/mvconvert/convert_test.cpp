// Conversions between formats and compressions, run through the program on
// real files: what arrives must be what the library reads from the source.
#include "tool_run.h"

#include <cinelark/playback.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace mvtest {
namespace {

// Whether this build can write a movie of the format with that compression
// and read it back: the codecs and the QuickTime writer are separate pieces.
bool canCarry(int format, const char *compression)
{
    mvInitQuickTime();
    std::vector<uint8_t> memory(1 << 16);
    DMparams *p = nullptr;
    dmParamsCreate(&p);
    mvSetMovieDefaults(p, format);
    MVid movie = 0;
    const bool created = mvCreateMem(memory.data(), memory.size(), p, nullptr, &movie) == 0;
    dmParamsDestroy(p);
    if (!created)
        return false;
    dmParamsCreate(&p);
    // QuickTime keeps raw frames as 32-bit words with blue low.
    const bool raw = std::strcmp(compression, DM_IMAGE_UNCOMPRESSED) == 0;
    dmSetImageDefaults(p, 8, 8, raw && format == MV_FORMAT_QUICKTIME ? DM_PACKING_XBGR : DM_PACKING_RGBX);
    dmParamsSetString(p, DM_IMAGE_COMPRESSION, compression);
    MVid image = 0;
    std::vector<uint8_t> frame = storedFrame(8, 8, 0);
    bool ok = mvAddTrack(movie, DM_MEDIUM_IMAGE, p, nullptr, &image) == 0 &&
              mvInsertFrames(image, 0, 1, frame.size(), frame.data()) == 0;
    dmParamsDestroy(p);
    ok = mvClose(movie) == 0 && ok;
    MVid again = 0;
    ok = ok && mvOpenMem(memory.data(), memory.size(), &again) == 0;
    if (again != 0)
        mvClose(again);
    return ok;
}

// Largest difference of any colour byte between two frames of 32-bit words.
int largestDifference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    int worst = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (i % 4 != 3)
            worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return a.size() == b.size() ? worst : 256;
}

class RoundTrip : public testing::TestWithParam<const char *> {};

// Native -> QuickTime -> native keeps every frame (exactly for the lossless
// schemes, within the codec's error for the lossy ones), the audio and the
// rate; the way back copies stored frames, so the last movie decodes exactly
// as the QuickTime one does.
TEST_P(RoundTrip, NativeToQuickTimeAndBack)
{
    const char *scheme = GetParam();
    if (!canCarry(MV_FORMAT_QUICKTIME, scheme) || !canCarry(MV_FORMAT_NATIVE_3, scheme))
        GTEST_SKIP() << "this build cannot write \"" << scheme << "\" in both formats";
    ToolDir dir;
    MovieRecipe recipe;
    recipe.width = 32;
    recipe.height = 16;
    // A QuickTime movie with sound takes its image rate from the sound's
    // length: 6 frames at 15 per second are 8820 frames at 22050 Hz.
    recipe.audioFrames = 8820;
    const std::string source = dir.makeMovie("source.mv", recipe);
    ASSERT_FALSE(source.empty());
    Outcome r = dir.run({"source.mv", "middle.mov", "--compression", scheme});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress line when the output is not a terminal";
    r = dir.run({"middle.mov", "back.mv", "--format", "native"});
    ASSERT_EQ(r.status, 0) << r.err;

    MovieContents original, middle, back;
    ASSERT_TRUE(readMovie(source, &original));
    ASSERT_TRUE(readMovie(dir.path("middle.mov"), &middle));
    ASSERT_TRUE(readMovie(dir.path("back.mv"), &back));
    EXPECT_EQ(middle.format, MV_FORMAT_QUICKTIME);
    EXPECT_EQ(back.format, MV_FORMAT_NATIVE_3);
    EXPECT_EQ(middle.compression, scheme);
    EXPECT_EQ(back.compression, scheme);
    EXPECT_EQ(back.imageRate, 15.0);
    ASSERT_EQ(back.frames.size(), original.frames.size());
    const bool lossless = std::strcmp(scheme, "JPEG") != 0 && std::strcmp(scheme, "Apple Video") != 0;
    for (size_t f = 0; f < back.frames.size(); ++f) {
        EXPECT_EQ(back.stored[f], middle.stored[f]) << "frame " << f << " was not copied as stored";
        if (back.packing == original.packing && lossless) {
            EXPECT_EQ(back.frames[f], original.frames[f]) << "frame " << f;
        } else if (back.packing == original.packing) {
            // 5-5-5 colours lose three bits; blocks of four colours more.
            EXPECT_LE(largestDifference(back.frames[f], original.frames[f]), 48) << "frame " << f;
        }
    }
    EXPECT_EQ(back.audio, original.audio);
    EXPECT_EQ(back.audioRate, 22050);
    // A raw QuickTime track comes back in QuickTime's packing; the pictures
    // the program exports must still be the source's.
    if (lossless) {
        ASSERT_EQ(dir.run({"source.mv", "--rgba", "a.rgba"}).status, 0);
        ASSERT_EQ(dir.run({"back.mv", "--rgba", "b.rgba"}).status, 0);
        std::ifstream a(dir.path("a.rgba"), std::ios::binary), b(dir.path("b.rgba"), std::ios::binary);
        const std::string pa{std::istreambuf_iterator<char>(a), {}}, pb{std::istreambuf_iterator<char>(b), {}};
        EXPECT_EQ(pa.size(), size_t(32 * 16 * 4 * 6));
        EXPECT_TRUE(pa == pb) << "the pictures changed on the way";
    }
}

INSTANTIATE_TEST_SUITE_P(Schemes, RoundTrip,
                         testing::Values(DM_IMAGE_UNCOMPRESSED, "JPEG", "Apple Video", "Apple Animation"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             std::string name;
                             for (const char *c = info.param; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });

TEST(Convert, KeepsSettingsAudioAndStoredFrames)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.compression = "RLE";
    recipe.audioWidth = 8;
    recipe.audioChannels = 1;
    recipe.audioFormat = AUDIO_FORMAT_UNSIGNED;
    recipe.audioRate = 8000.0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    const Outcome r = dir.run({"in.mv", "out.mv"});
    ASSERT_EQ(r.status, 0) << r.err;
    MovieContents in, out;
    ASSERT_TRUE(readMovie(dir.path("in.mv"), &in));
    ASSERT_TRUE(readMovie(dir.path("out.mv"), &out));
    EXPECT_EQ(out.title, "A test title");
    EXPECT_EQ(out.comment, "made by the mvconvert tests");
    EXPECT_EQ(out.loopMode, MV_LOOP_SWING);
    EXPECT_EQ(out.loopLimit, 3);
    EXPECT_EQ(out.compression, "RLE");
    EXPECT_EQ(out.stored, in.stored);
    EXPECT_EQ(out.frames, in.frames);
    EXPECT_EQ(out.audio, in.audio);
    EXPECT_EQ(out.audioWidth, 8);
    EXPECT_EQ(out.audioRate, 8000);
}

// Changing the scheme recompresses; lossless schemes give the same pixels.
TEST(Convert, RecompressesLosslesslyBetweenSchemes)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    for (const char *scheme : {"RLE24", "Apple Animation"}) {
        const Outcome r = dir.run({"in.mv", "out.mv", "--compression", scheme});
        ASSERT_EQ(r.status, 0) << scheme << ": " << r.err;
        MovieContents in, out;
        ASSERT_TRUE(readMovie(dir.path("in.mv"), &in));
        ASSERT_TRUE(readMovie(dir.path("out.mv"), &out));
        EXPECT_EQ(out.compression, scheme);
        EXPECT_NE(out.stored, in.stored);
        EXPECT_EQ(out.frames, in.frames) << scheme;
    }
}

// A QuickTime raw track keeps 32-bit words with blue low and the top row
// first; the colours and rows must survive the repacking both ways.
TEST(Convert, RepacksRawFramesForQuickTime)
{
    if (!canCarry(MV_FORMAT_QUICKTIME, DM_IMAGE_UNCOMPRESSED))
        GTEST_SKIP() << "this build writes no QuickTime files";
    ToolDir dir;
    MovieRecipe recipe;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    ASSERT_EQ(dir.run({"in.mv", "out.mov"}).status, 0);
    MovieContents qt;
    ASSERT_TRUE(readMovie(dir.path("out.mov"), &qt));
    ASSERT_EQ(qt.packing, DM_PACKING_XBGR);
    ASSERT_EQ(qt.frames.size(), 6u);
    // Stored row 0 of the source (green 0) is its bottom row: the last row
    // of the QuickTime frame. Its pixel x = 15 is full red: blue-low word.
    const std::vector<uint8_t> &f = qt.frames[0];
    uint32_t word;
    std::memcpy(&word, &f[((7u * 16u) + 15u) * 4u], 4);
    EXPECT_EQ(word & 0xffffffu, 0xff0000u);
    std::memcpy(&word, &f[0], 4);
    EXPECT_EQ(word & 0xffffffu, 0x00ff00u) << "top row of the picture: full green, no red";
}

struct Refusal {
    const char *name;
    std::vector<std::string> args;
    const char *file;    // named in the message
    const char *reason;  // part of the message
};

class ConvertRefusal : public testing::TestWithParam<Refusal> {};

// Each refusal exits with 1, names the file and the reason, and leaves no
// output, temporary or final, behind.
TEST_P(ConvertRefusal, ExitsWithMessageAndLeavesNothing)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.width = 18;  // not a multiple of 4: no "Apple Video"
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    {
        std::FILE *f = std::fopen(dir.path("garbage.mv").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("MOVI\0\0\0\3 this is not a movie", f);
        std::fclose(f);
    }
    const std::vector<std::string> before = dir.listing();
    const Refusal &t = GetParam();
    const Outcome r = dir.run(t.args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(t.file), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(t.reason), std::string::npos) << r.err;
    EXPECT_EQ(dir.listing(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ConvertRefusal,
    testing::Values(
        Refusal{"MissingInput", {"nothere.mv", "out.mv"}, "nothere.mv", "No such file"},
        Refusal{"CorruptInput", {"garbage.mv", "out.mv"}, "garbage.mv", ""},
        Refusal{"UnknownScheme", {"in.mv", "out.mv", "--compression", "Bogus"}, "out.mv", "unknown compression"},
        Refusal{"SchemeQuickTimeCannotCarry", {"in.mv", "out.mov", "--compression", "RLE"}, "out.mov",
                "cannot carry"},
        Refusal{"SchemeRefusedByLibrary", {"in.mv", "out.mv", "--compression", "Apple Video"}, "out.mv",
                "Bad settings for image track"},
        Refusal{"Quality", {"in.mv", "out.mv", "--quality", "50"}, "out.mv", "--quality"}),
    [](const testing::TestParamInfo<Refusal> &info) { return std::string(info.param.name); });

// A write that runs out of room fails cleanly; the limit stands in for a
// full disk (the shell ignores the size signal so that the write fails).
TEST(Convert, FullDiskLeavesNoFile)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.width = 64;
    recipe.height = 64;
    recipe.frames = 20;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    const std::vector<std::string> before = dir.listing();
    const Outcome r = dir.run({"in.mv", "out.mv"}, "trap '' XFSZ; ulimit -f 64;");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("out.mv"), std::string::npos) << r.err;
    EXPECT_EQ(dir.listing(), before);
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
          {"--from-frames", "p%d.png", "--rate", "0.5", "out.mv"}}) {
        r = dir.run(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << args[1];
    }
}

}  // namespace
}  // namespace mvtest

namespace mvtest {
namespace {

// On a terminal the run shows "N of TOTAL frames"; the terminal here is a
// pseudo-terminal made by script(1), which every Debian system has.
TEST(Progress, ShownOnATerminalOnly)
{
    if (std::system("command -v script >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "script(1) is not installed";
    ToolDir dir;
    MovieRecipe recipe;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    const std::string command = "cd '" + dir.path("") + "' && script -qec '" + std::string(MVCONVERT_PATH) +
                                " in.mv out.mv --compression RLE' /dev/null > tty.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir.path("tty.txt"), std::ios::binary);
    const std::string shown{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(shown.find("6 of 6 frames"), std::string::npos) << shown;

    const Outcome r = dir.run({"in.mv", "again.mv", "--compression", "RLE"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace mvtest
