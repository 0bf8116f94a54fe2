// Properties every converter and every variant must have, checked over the
// whole 8 x 8 table and the fast and zoom variants: the flip switch mirrors
// the output, nothing is written past the destination, the source is not
// touched, and an odd width in a 4:2:2 layout leaves the last pixel of every
// destination row alone.
#include <string>

#include "colorspace_test_util.h"

namespace cstest {
namespace {

struct Case {
    int src, dst;
    int fast, zoom;
    int widthScale, heightScale;  // output size relative to the input
    std::string name;
};

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (int s = 0; s < 8; ++s)
        for (int d = 0; d < 8; ++d)
            if (s != d)
                cases.push_back({s, d, 0, 1, 1, 1, std::string(kLayoutNames[s]) + "To" + kLayoutNames[d]});
    const std::pair<int, const char*> yuvSources[] = {{CS_YUV, "YUV"}, {CS_YUV422, "YUV422"}, {CS_YUV422HC, "YUV422HC"}};
    for (const auto& [src, name] : yuvSources) {
        const std::string n = name;
        cases.push_back({src, CS_RGBX, 1, 1, 1, 1, "Fast" + n + "ToRGBX"});
        cases.push_back({src, CS_RGBX, 0, 2, 2, 2, "FastZoom2" + n + "ToRGBX"});
        cases.push_back({src, CS_RGBX, 0, 3, 2, 2, "FastZoom2" + n + "ToRGBX_3"});
        cases.push_back({src, CS_RGBX, 0, 4, 2, 4, "FastZoomX2Y4" + n + "ToRGBX"});
    }
    cases.push_back({CS_YUV422HC, CS_RGBX, 0, 5, 2, 4, "FastZoomX2Y4YUV422HCToRGBXInt"});
    cases.push_back({CS_YUV422, CS_RGBX, 0, 5, 2, 4, "FastZoomX2Y4YUV422ToRGBX_5"});
    cases.push_back({CS_YUV422HC, CS_RGB332, 1, 1, 1, 1, "FastYUV422HCToRGB332"});
    cases.push_back({CS_YUV422HC, CS_RGB332, 0, 2, 2, 2, "FastZoom2YUV422HCToRGB332"});
    return cases;
}

class EveryConverter : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        csFlipVertically(0);
        csFast(GetParam().fast);
        csZoom(GetParam().zoom, GetParam().zoom);
    }
    void TearDown() override
    {
        csFlipVertically(0);
        csFast(0);
        csZoom(1, 1);
    }

    // Output of a w x h conversion followed by `guard` canary bytes.
    Bytes run(int w, int h, const Bytes& in, std::size_t guard = 0) const
    {
        const Case& c = GetParam();
        return convert(w, h, c.src, in, c.dst, outBytes(w, h) + guard, 0xCD);
    }
    std::size_t outBytes(int w, int h) const
    {
        const Case& c = GetParam();
        return pictureBytes(w * c.widthScale, h * c.heightScale, c.dst);
    }
};

TEST_P(EveryConverter, FlipMirrorsTheRows)
{
    const Case& c = GetParam();
    const int w = 6, h = 5;
    const Bytes in = noise(pictureBytes(w, h, c.src), 42);
    const Bytes straight = run(w, h, in);
    csFlipVertically(1);
    const Bytes flipped = run(w, h, in);
    // YUV422HC to YUV422 is one block move by design and never mirrors.
    if (c.src == CS_YUV422HC && c.dst == CS_YUV422) {
        EXPECT_EQ(flipped, straight);
        return;
    }
    const int outRows = h * c.heightScale;
    const std::size_t row = outBytes(w, h) / outRows;
    for (int y = 0; y < outRows; ++y)
        EXPECT_TRUE(std::equal(straight.begin() + y * row, straight.begin() + (y + 1) * row,
                               flipped.begin() + (outRows - 1 - y) * row))
            << "output row " << y;
}

TEST_P(EveryConverter, WritesInsideTheDestinationAndReadsOnly)
{
    const int sizes[][2] = {{1, 1}, {2, 1}, {3, 3}, {7, 2}, {16, 3}, {33, 4}};
    for (const auto& [w, h] : sizes) {
        const Bytes in = noise(pictureBytes(w, h, GetParam().src), 7 * w + h);
        const Bytes copy = in;
        const Bytes out = run(w, h, in, 64);
        EXPECT_EQ(in, copy);
        EXPECT_TRUE(std::all_of(out.end() - 64, out.end(), [](uint8_t b) { return b == 0xCD; }))
            << w << " x " << h;
    }
}

// Conversions with exactly one 4:2:2 side: the pairs decide which pixels
// exist (4:2:2 to 4:2:2 moves bytes and is covered with the YUV tests).
std::vector<Case> casesWithOne422Side()
{
    std::vector<Case> cases;
    for (const Case& c : allCases()) {
        const bool src422 = c.src == CS_YUV422 || c.src == CS_YUV422HC;
        const bool dst422 = c.dst == CS_YUV422 || c.dst == CS_YUV422HC;
        if (src422 != dst422)
            cases.push_back(c);
    }
    return cases;
}

using With422Side = EveryConverter;

TEST_P(With422Side, OddWidthLeavesTheLastPixelOfEachRow)
{
    const Case& c = GetParam();
    const int w = 5, h = 3;
    const Bytes in = noise(pictureBytes(w, h, c.src), 9);
    const int outW = w * c.widthScale;
    const int outH = h * c.heightScale;
    const std::size_t bpp = kBpp[c.dst];
    // Two fills tell written bytes from untouched ones.
    const Bytes a = convert(w, h, c.src, in, c.dst, outBytes(w, h), 0x00);
    const Bytes b = convert(w, h, c.src, in, c.dst, outBytes(w, h), 0xFF);
    // The odd source pixel owns one output pixel, two when rows are doubled.
    const int untouched = c.widthScale;
    for (int y = 0; y < outH; ++y) {
        for (int x = 0; x < outW; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * outW + x) * bpp;
            const bool written = std::equal(a.begin() + at, a.begin() + at + bpp, b.begin() + at);
            EXPECT_EQ(written, x < outW - untouched) << "row " << y << " pixel " << x;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Colorspace, With422Side, ::testing::ValuesIn(casesWithOne422Side()),
                         [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(Colorspace, EveryConverter, ::testing::ValuesIn(allCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace cstest
