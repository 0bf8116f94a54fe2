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

// The inputs of all cases, made once per test program.
class Refused : public testing::TestWithParam<Refusal> {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new ToolDir;
        const ToolDir &d = *dir_;
        MovieRecipe recipe;
        recipe.width = 18;  // not a multiple of 4: no "Apple Video"
        made_ = !d.makeMovie("in.mv", recipe).empty();
        recipe.audioWidth = 0;
        made_ = made_ && !d.makeMovie("silent.mv", recipe).empty();
        recipe.width = recipe.height = 64;
        recipe.frames = 20;
        made_ = made_ && !d.makeMovie("big.mv", recipe).empty();
        d.write("garbage.mv", std::string("MOVI\0\0\0\3 this is not a movie", 29));
        // p: three good pictures; s: the fourth of another size; c: the
        // fourth corrupt; t: the second PPM cut short in its samples.
        made_ = made_ && d.makePictures("p%d.png", 0, 2, 8, 8) && d.makePictures("s%d.png", 0, 2, 8, 8) &&
                d.makePictures("s%d.png", 3, 3, 8, 9) && d.makePictures("c%d.png", 0, 2, 8, 8) &&
                d.makePictures("t%d.ppm", 0, 0, 4, 4);
        d.write("c3.png", "\x89PNG\r\n\x1a\n but nothing more");
        d.write("t1.ppm", "P6\n4 4\n255\nabc");
        made_ = made_ && d.makeSound("low.wav", 4000, 1, 100) && d.makeSound("high.wav", 96000, 2, 100) &&
                d.makeSound("three.wav", 8000, 3, 100);
        d.write("junk.wav", "RIFF....WAVEjunk");
    }
    static void TearDownTestSuite() { delete dir_; }

    static ToolDir *dir_;
    static bool made_;
};

ToolDir *Refused::dir_ = nullptr;
bool Refused::made_ = false;

TEST_P(Refused, ExitsWithMessageAndLeavesNothing)
{
    ASSERT_TRUE(made_);
    const Refusal &t = GetParam();
    const std::vector<std::string> before = dir_->listing();
    const Outcome r = dir_->run(t.args, t.prefix);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(t.file), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(t.reason), std::string::npos) << r.err;
    EXPECT_EQ(dir_->listing(), before);
}

std::vector<std::string> import(const char *pattern, std::vector<std::string> more)
{
    std::vector<std::string> args = {"--from-frames", pattern, "--rate", "10"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Refused,
    testing::Values(
        Refusal{"MissingInput", {"nothere.mv", "out.mv"}, "nothere.mv", "No such file"},
        Refusal{"CorruptInput", {"garbage.mv", "out.mv"}, "garbage.mv", ""},
        Refusal{"UnknownScheme", {"in.mv", "out.mv", "--compression", "Bogus"}, "out.mv",
                "unknown compression scheme \"Bogus\" (known: \"Uncompressed Video\""},
        Refusal{"SchemeQuickTimeCannotCarry", {"in.mv", "out.mov", "--compression", "RLE"}, "out.mov", "cannot carry"},
        Refusal{"SchemeRefusedByLibrary", {"in.mv", "out.mv", "--compression", "Apple Video"}, "out.mv",
                "Bad settings for image track"},
        Refusal{"QualityWithoutParameter", {"in.mv", "out.mv", "--compression", "RLE", "--quality", "50"}, "out.mv",
                "the \"RLE\" scheme has no quality setting"},
        Refusal{"QualityOfOwnCoder", {"in.mv", "out.mv", "--compression", "Apple Animation", "--quality", "50"},
                "out.mv", "the \"Apple Animation\" scheme has no quality setting"},
        // The file size limit stands in for a full disk; the shell ignores
        // the size signal so that the write fails.
        Refusal{"FullDisk", {"big.mv", "out.mv"}, "out.mv", "", "trap '' XFSZ; ulimit -f 64;"},
        Refusal{"ExportMissingAudio", {"silent.mv", "--audio", "a.wav"}, "silent.mv", "no audio track"},
        Refusal{"ExportRangeOutside", {"silent.mv", "--rgba", "x.rgba", "--range", "3:6"}, "silent.mv", "outside"},
        Refusal{"ExportSoundName", {"silent.mv", "--frames", "f%d.png", "--audio", "a.mp3"}, "a.mp3", ".flac"},
        Refusal{"ExportNoDirectory", {"silent.mv", "--frames", "nodir/f%d.png"}, "nodir/f0.png", ""},
        Refusal{"DecodeBenchMissing", {"--decode-bench", "missing.mv"}, "missing.mv", "No such file"},
        Refusal{"ImportSizesDiffer", import("s%d.png", {"m.mv"}), "s3.png", "8x9"},
        Refusal{"ImportCorruptPng", import("c%d.png", {"m.mv"}), "c3.png", "PNG"},
        Refusal{"ImportNoPictures", import("q%d.png", {"m.mv"}), "q%d.png", "no pictures"},
        Refusal{"ImportPpmCutShort", import("t%d.ppm", {"m.mv"}), "t1.ppm", "cut short"},
        Refusal{"ImportRateTooLow", import("p%d.png", {"--audio-in", "low.wav", "m.mv"}), "low.wav", "4000 Hz"},
        Refusal{"ImportRateTooHigh", import("p%d.png", {"--audio-in", "high.wav", "m.mv"}), "high.wav", "96000 Hz"},
        Refusal{"ImportThreeChannels", import("p%d.png", {"--audio-in", "three.wav", "m.mv"}), "three.wav",
                "3 channels"},
        Refusal{"ImportJunkSound", import("p%d.png", {"--audio-in", "junk.wav", "m.mv"}), "junk.wav", ""},
        Refusal{"ImportUnknownScheme", import("p%d.png", {"--compression", "Nope", "m.mv"}), "m.mv",
                "unknown compression"},
        Refusal{"ImportQuickTimeCannotCarry", import("p%d.png", {"--compression", "MVC1", "m.mov"}), "m.mov",
                "cannot carry"},
        Refusal{"ImportQualityWithoutParameter", import("p%d.png", {"--quality", "3", "m.mv"}), "m.mv",
                "the \"Uncompressed Video\" scheme has no quality setting"}),
    [](const testing::TestParamInfo<Refusal> &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvtest
