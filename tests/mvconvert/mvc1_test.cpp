// "MVC1" through the program: recompression into native version 3 movies,
// colour and grey, that read back near the source pictures, and the export
// of version 1 and 2 movies whose frames are MVC1 blocks (image code 1).
#include "tool_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "../movie/native_bytes.h"

namespace mvtest {
namespace {

// Mean difference of the colour bytes of two RGBA pictures.
double meanDifference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    long total = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (i % 4 != 3)
            total += std::abs(int(a[i]) - int(b[i]));
    return a.size() == b.size() ? double(total) / double(a.size() / 4 * 3) : 256.0;
}

class Mvc1Convert : public testing::TestWithParam<int> {};

TEST_P(Mvc1Convert, WritesVersionThreeMoviesThatReadBack)
{
    ToolDir dir;
    MovieRecipe recipe;
    recipe.packing = GetParam();
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    Outcome r = dir.run({"in.mv", "out.mv", "--compression", "mvc1"});
    ASSERT_EQ(r.status, 0) << r.err;
    MovieContents in, out;
    ASSERT_TRUE(readMovie(dir.path("in.mv"), &in));
    ASSERT_TRUE(readMovie(dir.path("out.mv"), &out));
    EXPECT_EQ(out.format, MV_FORMAT_NATIVE_3);
    EXPECT_EQ(out.compression, "MVC1");
    EXPECT_EQ(out.audio, in.audio);
    ASSERT_EQ(out.stored.size(), size_t(recipe.frames));
    const size_t blocks = 4 * 2;
    const size_t two = recipe.packing == DM_PACKING_GRAY ? 4 : 6, eight = recipe.packing == DM_PACKING_GRAY ? 10 : 18;
    for (const auto &stored : out.stored) {
        EXPECT_GE(stored.size(), two * blocks);
        EXPECT_LE(stored.size(), eight * blocks);
    }
    ASSERT_EQ(dir.run({"out.mv", "--rgba", "out.rgba"}).status, 0);
    const std::vector<uint8_t> raw = dir.bytes("out.rgba");
    const size_t frameBytes = size_t(recipe.width * recipe.height * 4);
    ASSERT_EQ(raw.size(), frameBytes * size_t(recipe.frames));
    for (int f = 0; f < recipe.frames; ++f) {
        std::vector<uint8_t> want = testPicture(recipe.width, recipe.height, f);
        if (recipe.packing == DM_PACKING_GRAY)
            for (size_t i = 0; i < want.size(); i += 4)
                want[i + 1] = want[i + 2] = want[i];  // the grey level is the red byte
        const std::vector<uint8_t> got(raw.begin() + long(f * frameBytes), raw.begin() + long((f + 1) * frameBytes));
        EXPECT_LE(meanDifference(got, want), 12.0) << "frame " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Packings, Mvc1Convert, testing::Values(DM_PACKING_RGBX, DM_PACKING_GRAY));

// An 8 x 6 movie of one frame: four two-colour blocks whose masks are 0, so
// each is its second colour: the two-row band at the top first.
class Mvc1Export : public testing::TestWithParam<int> {};

TEST_P(Mvc1Export, OlderVersionFramesBecomePictures)
{
    using namespace native_bytes;
    V12Header h;
    h.version = uint16_t(GetParam());
    h.width = 8;
    h.height = 6;
    h.audio = 0;
    h.indexCount = 1;
    h.compression = 1;
    Bytes file = v12Header(h);
    append(file, indexRecord(592 + 20, 0, 24));
    for (uint16_t colour : {0x7C00, 0x03E0, 0x001F, 0x7FFF}) {
        put16(file, 0);
        put16(file, 0);
        put16(file, colour);
    }
    ToolDir dir;
    dir.write("old.mv", std::string(file.begin(), file.end()));
    Outcome r = dir.run({"old.mv", "--frames", "f%d.ppm"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> ppm = dir.bytes("f0.ppm");
    const std::string header = "P6\n8 6\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + 8 * 6 * 3);
    auto pixel = [&](int x, int y) {
        const uint8_t *p = &ppm[header.size() + size_t(y * 8 + x) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<int>{248, 0, 0}));
    EXPECT_EQ(pixel(5, 1), (std::vector<int>{0, 248, 0}));
    EXPECT_EQ(pixel(3, 2), (std::vector<int>{0, 0, 248}));
    EXPECT_EQ(pixel(7, 5), (std::vector<int>{248, 248, 248}));
}

INSTANTIATE_TEST_SUITE_P(Versions, Mvc1Export, testing::Values(1, 2));

}  // namespace
}  // namespace mvtest
