// Runs the mvinfo program on movie files the test makes and checks what it
// prints and its exit status.
#include <cinelark/movie.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class MvinfoTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/mvinfo_testXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string &name) const { return dir_ + "/" + name; }

    Outcome run(const std::string &arguments) const
    {
        Outcome r;
        const std::string out = path("stdout"), err = path("stderr");
        const std::string command = std::string(MVINFO_PATH) + " " + arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    // A version 3 movie with a 2 x 1 image track of three frames and an
    // 8-bit audio track of ten frames, titled.
    std::string makeMovie(const std::string &name) const
    {
        const std::string file = path(name);
        DMparams *p = nullptr;
        dmParamsCreate(&p);
        mvSetMovieDefaults(p, MV_FORMAT_NATIVE_3);
        dmParamsSetString(p, "TITLE", "Say \"hi\"");
        MVid movie = 0;
        EXPECT_EQ(mvCreateFile(file.c_str(), p, nullptr, &movie), 0);
        dmParamsDestroy(p);

        dmParamsCreate(&p);
        dmSetImageDefaults(p, 2, 1, DM_PACKING_RGBX);
        MVid image = 0;
        EXPECT_EQ(mvAddTrack(movie, DM_MEDIUM_IMAGE, p, nullptr, &image), 0);
        dmParamsDestroy(p);
        std::vector<uint8_t> pixels(3 * 8, 7);
        EXPECT_EQ(mvInsertFrames(image, 0, 3, pixels.size(), pixels.data()), 0);

        dmParamsCreate(&p);
        dmSetAudioDefaults(p, 8, 8000.0, 1);
        MVid audio = 0;
        EXPECT_EQ(mvAddTrack(movie, DM_MEDIUM_AUDIO, p, nullptr, &audio), 0);
        dmParamsDestroy(p);
        std::vector<uint8_t> samples(10, 1);
        EXPECT_EQ(mvInsertFrames(audio, 0, 10, samples.size(), samples.data()), 0);
        EXPECT_EQ(mvClose(movie), 0) << mvGetErrorStr(mvGetErrno());
        return file;
    }

    std::string dir_;
};

size_t occurrences(const std::string &text, const std::string &part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST_F(MvinfoTest, TextListsFormatParametersTracksAndFrames)
{
    const std::string file = makeMovie("a.mv");
    const Outcome r = run(file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find(file + ": native3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("TITLE = \"Say \"hi\"\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("image, length 3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("audio, length 10\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DM_IMAGE_WIDTH = 2"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("frame 0:"), std::string::npos) << "frames only with --frames";

    const Outcome frames = run("--frames " + file);
    EXPECT_EQ(frames.status, 0) << frames.err;
    EXPECT_EQ(occurrences(frames.out, ": size 8\n"), 3u) << frames.out;
}

TEST_F(MvinfoTest, JsonIsOneObjectPerFileAndAnArrayOfSeveral)
{
    const std::string a = makeMovie("a.mv"), b = makeMovie("b.mv");
    const Outcome r = run("--json --frames " + a);
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_EQ(r.out, r.out.substr(0, r.out.rfind('}') + 1) + "\n");
    EXPECT_NE(r.out.find("\"file\":\"" + a + "\""), std::string::npos);
    EXPECT_NE(r.out.find("\"format\":\"native3\""), std::string::npos);
    EXPECT_NE(r.out.find("\"TITLE\":\"Say \\\"hi\\\"\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"medium\":\"image\",\"length\":3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"frames\":[8,8,8]}"), std::string::npos) << r.out;
    EXPECT_EQ(occurrences(r.out, "\"frames\":"), 1u) << "sound has no stored pictures";
    EXPECT_EQ(occurrences(r.out, "{"), occurrences(r.out, "}"));

    const Outcome both = run("--json " + a + " " + b);
    EXPECT_EQ(both.status, 0) << both.err;
    ASSERT_FALSE(both.out.empty());
    EXPECT_EQ(both.out.front(), '[');
    EXPECT_EQ(both.out.substr(both.out.size() - 2), "]\n");
    EXPECT_EQ(occurrences(both.out, "\"file\":"), 2u);
    EXPECT_EQ(occurrences(both.out, "\"frames\":"), 0u);
}

TEST_F(MvinfoTest, FailuresGoToStandardErrorAndSetTheStatus)
{
    const std::string good = makeMovie("a.mv");
    const std::string missing = path("missing.mv");
    const std::string text = path("notes.txt");
    std::ofstream(text) << "not a movie at all\n";
    const Outcome r = run(missing + " " + good + " " + text);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(missing + ": No such file or directory\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(text + ": File is not a movie file or is an unsupported format\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find(good + ": native3"), std::string::npos) << "the good file is still described";
}

TEST_F(MvinfoTest, OlderVersionsAreNamedTogether)
{
    // A version 1 header with an empty index and no sound.
    std::vector<uint8_t> bytes(592 + 20, 0);
    const uint8_t head[] = {'M', 'O', 'V', 'I', 0, 1, 0, 4, 0, 3};
    std::copy(std::begin(head), std::end(head), bytes.begin());
    const double rate = 10.0;
    uint64_t bits;
    std::memcpy(&bits, &rate, 8);
    for (int i = 0; i < 8; ++i)
        bytes[16 + i] = uint8_t(bits >> (56 - 8 * i));
    bytes[35] = 2;  // uncompressed
    const std::string file = path("old.mv");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), long(bytes.size()));
    const Outcome r = run("--json " + file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"format\":\"native1or2\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"DM_IMAGE_WIDTH\":4"), std::string::npos) << r.out;
}

TEST_F(MvinfoTest, UsageErrors)
{
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("--colour a.mv").status, 2);
    EXPECT_EQ(run("--help").status, 0);
}

}  // namespace
