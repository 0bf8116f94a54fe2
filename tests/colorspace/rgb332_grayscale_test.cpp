// The one-byte layouts as sources: every RGB332 code and every grey level,
// as 16 x 16 pictures, so that a wrong row step shows.
#include "colorspace_test_util.h"

namespace cstest {
namespace {

using OneByteSources = SwitchesOff;

Bytes allCodes()
{
    Bytes b(256);
    for (int i = 0; i < 256; ++i)
        b[i] = static_cast<uint8_t>(i);
    return b;
}

// Every code expands to its colour, and luma and chroma come from the
// expanded colour.
TEST_F(OneByteSources, Rgb332ExpandsEveryCode)
{
    const Bytes codes = allCodes();
    std::vector<Rgb> colours;
    for (int c = 0; c < 256; ++c)
        colours.push_back(refExpand332(c));
    // The four blue levels are evenly spread.
    ASSERT_EQ(colours[0x10].b, 170);
    EXPECT_EQ(convert(16, 16, CS_RGB332, codes, CS_RGB), encode(colours, CS_RGB));
    EXPECT_EQ(convert(16, 16, CS_RGB332, codes, CS_RGBX), encode(colours, CS_RGBX));
    EXPECT_EQ(convert(16, 16, CS_RGB332, codes, CS_RGBA), encode(colours, CS_RGBA, 0xFF));
    const std::vector<Yuv> yuv = refYuv(colours);
    EXPECT_EQ(convert(16, 16, CS_RGB332, codes, CS_GRAYSCALE), lumaOf(yuv));
    for (int dst : {CS_YUV, CS_YUV422, CS_YUV422HC})
        EXPECT_EQ(convert(16, 16, CS_RGB332, codes, dst), encode(yuv, dst)) << kLayoutNames[dst];
}

TEST_F(OneByteSources, GreyLevelsBecomeGreyColoursAndLuma)
{
    const Bytes levels = allCodes();
    std::vector<Rgb> greys;
    std::vector<Yuv> lumas;
    for (int g = 0; g < 256; ++g) {
        greys.push_back({g, g, g});
        lumas.push_back({g, 128, 128});
    }
    EXPECT_EQ(convert(16, 16, CS_GRAYSCALE, levels, CS_RGB), encode(greys, CS_RGB));
    // RGBX keeps whatever its X byte held; RGBA takes the level as alpha.
    EXPECT_EQ(convert(16, 16, CS_GRAYSCALE, levels, CS_RGBX, 1024, 0x3C), encode(greys, CS_RGBX, 0x3C));
    EXPECT_EQ(convert(16, 16, CS_GRAYSCALE, levels, CS_RGBA), encode(greys, CS_RGBA, 0, 1));
    // Neutral chroma; and back, luma is the grey level again.
    for (int dst : {CS_YUV, CS_YUV422, CS_YUV422HC}) {
        SCOPED_TRACE(kLayoutNames[dst]);
        const Bytes yuv = convert(16, 16, CS_GRAYSCALE, levels, dst);
        EXPECT_EQ(yuv, encode(lumas, dst));
        EXPECT_EQ(convert(16, 16, dst, yuv, CS_GRAYSCALE), levels);
    }
}

TEST_F(OneByteSources, GreyDithersToRgb332AtEveryPhase)
{
    // Each level on a 4 x 4 tile meets every matrix value once.
    for (int g = 0; g < 256; ++g) {
        const Bytes in(16, static_cast<uint8_t>(g));
        const Bytes out = convert(4, 4, CS_GRAYSCALE, in, CS_RGB332);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                ASSERT_EQ(out[y * 4 + x], refDither({g, g, g}, 3 - y, 3 - x)) << g << " at " << x << ", " << y;
    }
}

}  // namespace
}  // namespace cstest
