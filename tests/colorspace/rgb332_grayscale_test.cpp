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
    const Bytes rgb = convert(16, 16, CS_RGB332, codes, CS_RGB);
    const Bytes rgbx = convert(16, 16, CS_RGB332, codes, CS_RGBX);
    const Bytes rgba = convert(16, 16, CS_RGB332, codes, CS_RGBA);
    const Bytes grey = convert(16, 16, CS_RGB332, codes, CS_GRAYSCALE);
    const Bytes yuv = convert(16, 16, CS_RGB332, codes, CS_YUV);
    const Bytes pairs = convert(16, 16, CS_RGB332, codes, CS_YUV422);
    EXPECT_EQ(convert(16, 16, CS_RGB332, codes, CS_YUV422HC), pairs);
    for (int c = 0; c < 256; ++c) {
        const Rgb e = refExpand332(c);
        SCOPED_TRACE(c);
        EXPECT_EQ(pixelOf(rgb, CS_RGB, c), e);
        EXPECT_EQ(wordAt(rgbx, c), word(e));
        EXPECT_EQ(wordAt(rgba, c), word(e) | 0xFF000000u);
        EXPECT_EQ(grey[c], refLuma(e.r, e.g, e.b));
        EXPECT_EQ(Bytes(yuv.begin() + 3 * c, yuv.begin() + 3 * c + 3), refYuvBytes(e));
        EXPECT_EQ((Bytes{pairs[2 * c], pairs[2 * c + 1]}), refPairBytes(e, refExpand332(c & ~1), c % 2 == 1));
    }
    // The four blue levels are evenly spread.
    EXPECT_EQ(wordAt(rgbx, 0x10) >> 16, 170u);
}

TEST_F(OneByteSources, GreyReplicatesIntoColours)
{
    const Bytes levels = allCodes();
    const Bytes rgb = convert(16, 16, CS_GRAYSCALE, levels, CS_RGB);
    const Bytes rgbx = convert(16, 16, CS_GRAYSCALE, levels, CS_RGBX, 1024, 0x3C);
    const Bytes rgba = convert(16, 16, CS_GRAYSCALE, levels, CS_RGBA);
    for (uint32_t g = 0; g < 256; ++g) {
        EXPECT_EQ((Rgb{rgb[3 * g + 2], rgb[3 * g + 1], rgb[3 * g]}), (Rgb{int(g), int(g), int(g)}));
        // RGBX keeps whatever its X byte held; RGBA takes the level as alpha.
        EXPECT_EQ(wordAt(rgbx, g), 0x3C000000u | g * 0x010101u);
        EXPECT_EQ(wordAt(rgba, g), g * 0x01010101u);
    }
}

TEST_F(OneByteSources, GreyBecomesLumaWithNeutralChroma)
{
    const Bytes levels = allCodes();
    const Bytes yuv = convert(16, 16, CS_GRAYSCALE, levels, CS_YUV);
    for (int g = 0; g < 256; ++g)
        EXPECT_EQ((Bytes{yuv[3 * g], yuv[3 * g + 1], yuv[3 * g + 2]}), (Bytes{128, uint8_t(g), 128}));
    for (int dst : {CS_YUV422, CS_YUV422HC}) {
        const Bytes pairs = convert(16, 16, CS_GRAYSCALE, levels, dst);
        for (int g = 0; g < 256; g += 2)
            EXPECT_EQ((Bytes{pairs[2 * g], pairs[2 * g + 1], pairs[2 * g + 2], pairs[2 * g + 3]}),
                      (Bytes{128, uint8_t(g), 128, uint8_t(g + 1)}));
        // And back: luma is the grey level again.
        EXPECT_EQ(convert(16, 16, dst, pairs, CS_GRAYSCALE), levels);
    }
    EXPECT_EQ(convert(16, 16, CS_YUV, yuv, CS_GRAYSCALE), levels);
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
