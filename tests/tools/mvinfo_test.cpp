// Runs the mvinfo program on movie files the test makes, in the mvconvert
// tests' directory, and checks what it prints and its exit status.
#include "../movie/native_bytes.h"
#include "../mvconvert/tool_run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using mvtest::Outcome;
using testrun::occurrences;

void expectParts(const std::string &text, std::initializer_list<std::string> parts)
{
    for (const std::string &part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
}

// Two test movies (a 16 x 8 image track of six frames and an audio track of
// 9000 frames, titled with quotes), an older version one, and files that
// are not movies, described in every form.
TEST(Mvinfo, DescribesMoviesAsTextAndJsonAndReportsFailures)
{
    mvtest::ToolDir dir;
    ASSERT_FALSE(dir.makeMovie("a.mv", mvtest::MovieRecipe{}).empty());
    ASSERT_FALSE(dir.makeMovie("b.mv", mvtest::MovieRecipe{}).empty());
    const auto run = [&](const std::vector<std::string> &args) { return dir.run(args, "", MVINFO_PATH); };

    Outcome r = run({"a.mv"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    expectParts(r.out, {"a.mv: native3\n", "TITLE = \"A \"test\" title\"", "image, length 6\n",
                        "audio, length 9000\n", "DM_IMAGE_WIDTH = 16"});
    EXPECT_EQ(r.out.find("frame 0:"), std::string::npos) << "frames only with --frames";
    r = run({"--frames", "a.mv"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(occurrences(r.out, ": size 512\n"), 6u) << r.out;

    // JSON: one object for one file, an array of them for several.
    r = run({"--json", "--frames", "a.mv"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_EQ(r.out, r.out.substr(0, r.out.rfind('}') + 1) + "\n");
    expectParts(r.out, {"\"file\":\"a.mv\"", "\"format\":\"native3\"", "\"TITLE\":\"A \\\"test\\\" title\"",
                        "\"medium\":\"image\",\"length\":6", "\"frames\":[512,512,512,512,512,512]}"});
    EXPECT_EQ(occurrences(r.out, "\"frames\":"), 1u) << "sound has no stored pictures";
    EXPECT_EQ(occurrences(r.out, "{"), occurrences(r.out, "}"));
    r = run({"--json", "a.mv", "b.mv"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.front(), '[');
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "]\n");
    EXPECT_EQ(occurrences(r.out, "\"file\":"), 2u);
    EXPECT_EQ(occurrences(r.out, "\"frames\":"), 0u);

    // A version 1 header with an empty index and no sound.
    native_bytes::Bytes bytes =
        native_bytes::v12Header({.version = 1, .width = 4, .height = 3, .rate = 10.0, .audio = 0});
    native_bytes::append(bytes, native_bytes::indexRecord(0, 0, 0));
    dir.write("old.mv", std::string(bytes.begin(), bytes.end()));
    r = run({"--json", "old.mv"});
    EXPECT_EQ(r.status, 0) << r.err;
    expectParts(r.out, {"\"format\":\"native1or2\"", "\"DM_IMAGE_WIDTH\":4"});

    // Failures go to standard error, the good file is still described;
    // usage errors exit with 2.
    dir.write("notes.txt", "not a movie at all\n");
    r = run({"missing.mv", "a.mv", "notes.txt"});
    EXPECT_EQ(r.status, 1);
    expectParts(r.err, {"missing.mv: No such file or directory\n",
                        "notes.txt: File is not a movie file or is an unsupported format\n"});
    EXPECT_NE(r.out.find("a.mv: native3"), std::string::npos);
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"--colour", "a.mv"}).status, 2);
    EXPECT_EQ(run({"--help"}).status, 0);
}

}  // namespace
