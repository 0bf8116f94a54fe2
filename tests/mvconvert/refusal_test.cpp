// Every refusal of the program, one table: each exits with 1, names the file
// and the reason, and leaves nothing behind, neither the output nor its
// temporary name.
#include "tool_run.h"

#include <gtest/gtest.h>

namespace mvtest {
namespace {

struct Refusal {
    const char *name;
    std::vector<std::string> args;
    const char *file;    // named in the message
    const char *reason;  // part of the message
    const char *prefix = "";
};

std::vector<std::string> import(const char *pattern, std::vector<std::string> more)
{
    std::vector<std::string> args = {"--from-frames", pattern, "--rate", "10"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

const Refusal kRefusals[] = {
    {"MissingInput", {"nothere.mv", "out.mv"}, "nothere.mv", "No such file"},
    {"CorruptInput", {"garbage.mv", "out.mv"}, "garbage.mv", ""},
    {"UnknownScheme", {"in.mv", "out.mv", "--compression", "Bogus"}, "out.mv",
        "unknown compression scheme \"Bogus\" (known: \"Uncompressed Video\""},
    {"SchemeQuickTimeCannotCarry", {"in.mv", "out.mov", "--compression", "RLE"}, "out.mov", "cannot carry"},
    {"SchemeRefusedByLibrary", {"in.mv", "out.mv", "--compression", "Apple Video"}, "out.mv",
        "Bad settings for image track"},
    {"QualityWithoutParameter", {"in.mv", "out.mv", "--compression", "RLE", "--quality", "50"}, "out.mv",
        "the \"RLE\" scheme has no quality setting"},
    {"QualityOfOwnCoder", {"in.mv", "out.mv", "--compression", "Apple Animation", "--quality", "50"},
        "out.mv", "the \"Apple Animation\" scheme has no quality setting"},
    // The file size limit stands in for a full disk; the shell ignores
    // the size signal so that the write fails.
    {"FullDisk", {"big.mv", "out.mv"}, "out.mv", "", "trap '' XFSZ; ulimit -f 64;"},
    {"ExportMissingAudio", {"silent.mv", "--audio", "a.wav"}, "silent.mv", "no audio track"},
    {"ExportRangeOutside", {"silent.mv", "--rgba", "x.rgba", "--range", "3:6"}, "silent.mv", "outside"},
    {"ExportSoundName", {"silent.mv", "--frames", "f%d.png", "--audio", "a.mp3"}, "a.mp3", ".flac"},
    {"ExportNoDirectory", {"silent.mv", "--frames", "nodir/f%d.png"}, "nodir/f0.png", ""},
    {"DecodeBenchMissing", {"--decode-bench", "missing.mv"}, "missing.mv", "No such file"},
    {"ImportSizesDiffer", import("s%d.png", {"m.mv"}), "s3.png", "8x9"},
    {"ImportCorruptPng", import("c%d.png", {"m.mv"}), "c3.png", "PNG"},
    {"ImportNoPictures", import("q%d.png", {"m.mv"}), "q%d.png", "no pictures"},
    {"ImportPpmCutShort", import("t%d.ppm", {"m.mv"}), "t1.ppm", "cut short"},
    {"ImportRateTooLow", import("p%d.png", {"--audio-in", "low.wav", "m.mv"}), "low.wav", "4000 Hz"},
    {"ImportRateTooHigh", import("p%d.png", {"--audio-in", "high.wav", "m.mv"}), "high.wav", "96000 Hz"},
    {"ImportThreeChannels", import("p%d.png", {"--audio-in", "three.wav", "m.mv"}), "three.wav",
        "3 channels"},
    {"ImportJunkSound", import("p%d.png", {"--audio-in", "junk.wav", "m.mv"}), "junk.wav", ""},
    // Import and conversion choose the output scheme alike: one row for
    // import's refusal, the others above.
    {"ImportUnknownScheme", import("p%d.png", {"--compression", "Nope", "m.mv"}), "m.mv",
        "unknown compression"},
};

// The inputs of all cases are made once.
TEST(Refused, ExitsWithMessageAndLeavesNothing)
{
    ToolDir d;
    MovieRecipe recipe;
    recipe.width = 18;  // not a multiple of 4: no "Apple Video"
    ASSERT_FALSE(d.makeMovie("in.mv", recipe).empty());
    recipe.audioWidth = 0;
    ASSERT_FALSE(d.makeMovie("silent.mv", recipe).empty());
    recipe.width = recipe.height = 64;
    recipe.frames = 20;
    ASSERT_FALSE(d.makeMovie("big.mv", recipe).empty());
    d.write("garbage.mv", std::string("MOVI\0\0\0\3 this is not a movie", 29));
    // p: three good pictures; s: the fourth of another size; c: the
    // fourth corrupt; t: the second PPM cut short in its samples.
    ASSERT_TRUE(d.makePictures("p%d.png", 0, 2, 8, 8) && d.makePictures("s%d.png", 0, 2, 8, 8) &&
                d.makePictures("s%d.png", 3, 3, 8, 9) && d.makePictures("c%d.png", 0, 2, 8, 8) &&
                d.makePictures("t%d.ppm", 0, 0, 4, 4));
    d.write("c3.png", "\x89PNG\r\n\x1a\n but nothing more");
    d.write("t1.ppm", "P6\n4 4\n255\nabc");
    ASSERT_TRUE(d.makeSound("low.wav", 4000, 1, 100) && d.makeSound("high.wav", 96000, 2, 100) &&
                d.makeSound("three.wav", 8000, 3, 100));
    d.write("junk.wav", "RIFF....WAVEjunk");
    const std::vector<std::string> before = d.listing();
    for (const Refusal &t : kRefusals) {
        SCOPED_TRACE(t.name);
        const Outcome r = d.run(t.args, t.prefix);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(t.file), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(t.reason), std::string::npos) << r.err;
        EXPECT_EQ(d.listing(), before);
    }
}

}  // namespace
}  // namespace mvtest
