// The RGB family and the one-byte layouts as sources.
#include <numeric>

#include "colorspace_test_util.h"

namespace cstest {
namespace {

using RgbFamily = SwitchesOff;

// A spread of colours: a 16-step cube over 0..255 plus noise.
std::vector<Rgb> sampleColours()
{
    std::vector<Rgb> colours;
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17)
                colours.push_back({r, g, b});
    const Bytes extra = noise(3 * 1000, 77);
    for (std::size_t i = 0; i < extra.size(); i += 3)
        colours.push_back({extra[i], extra[i + 1], extra[i + 2]});
    return colours;
}

// Each RGB layout as a source follows the formulas, 4:2:2 pairs taking the
// chroma of their first pixel; the changing top byte of words must not matter.
TEST_F(RgbFamily, EveryLayoutFollowsTheFormulas)
{
    const std::vector<Rgb> colours = sampleColours();
    const int n = static_cast<int>(colours.size());  // even: whole 4:2:2 pairs
    const int w = 37, h = n / w;
    const std::vector<Yuv> yuv = refYuv(colours);
    Bytes dithered;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            dithered.push_back(refDither(colours[y * w + x], h - 1 - y, w - 1 - x));
    for (int format : {CS_RGB, CS_RGBX, CS_RGBA}) {
        SCOPED_TRACE(kLayoutNames[format]);
        const Bytes in = encode(colours, format, 0, 37);
        for (int dst : {CS_GRAYSCALE, CS_YUV, CS_YUV422, CS_YUV422HC})
            EXPECT_EQ(convert(n, 1, format, in, dst), encode(yuv, dst)) << kLayoutNames[dst];
        EXPECT_EQ(convert(w, h, format, in, CS_RGB332), dithered);
    }
}

// Rows of every length up to 40 pixels meet the four-pixel steps and the row
// ends in every combination; words may start at any byte.
TEST_F(RgbFamily, MovesBetweenRgbAndWords)
{
    for (int w = 1; w <= 40; ++w) {
        SCOPED_TRACE(w);
        const int h = 3;
        const Bytes rgb = noise(pictureBytes(w, h, CS_RGB), 300 + w);
        std::vector<Rgb> colours;
        for (int i = 0; i < w * h; ++i)
            colours.push_back(pixelOf(rgb, CS_RGB, i));
        // RGBX keeps the X byte the destination held; RGBA is opaque.
        const Bytes rgbx = convert(w, h, CS_RGB, rgb, CS_RGBX, pictureBytes(w, h, CS_RGBX), 0x96);
        const Bytes rgba = convert(w, h, CS_RGB, rgb, CS_RGBA);
        EXPECT_EQ(rgbx, encode(colours, CS_RGBX, 0x96));
        EXPECT_EQ(rgba, encode(colours, CS_RGBA, 0xFF));
        EXPECT_EQ(convert(w, h, CS_RGBX, rgbx, CS_RGB), rgb);
        EXPECT_EQ(convert(w, h, CS_RGBA, rgba, CS_RGB), rgb);
        Bytes shifted(rgba.size() + 1, 0);
        ASSERT_EQ(csConvert(w, h, CS_RGB, rgb.data(), CS_RGBA, shifted.data() + 1), 0);
        EXPECT_TRUE(std::equal(rgba.begin(), rgba.end(), shifted.begin() + 1));
    }
}

using OneByteSources = SwitchesOff;

// Every code expands to its colour, and luma and chroma come from the
// expanded colour.
TEST_F(OneByteSources, Rgb332ExpandsEveryCode)
{
    Bytes codes(256);
    std::iota(codes.begin(), codes.end(), 0);
    std::vector<Rgb> colours;
    for (int c = 0; c < 256; ++c) {
        // Red and green repeat their 3 bits, blue its 2.
        auto widen3 = [](int v) { return (v << 5) | (v << 2) | (v >> 1); };
        colours.push_back({widen3(c >> 5), widen3(c & 7), (c >> 3 & 3) * 85});
    }
    EXPECT_EQ(convert(16, 16, CS_RGB332, codes, CS_RGB), encode(colours, CS_RGB));
    EXPECT_EQ(convert(16, 16, CS_RGB332, codes, CS_RGBX), encode(colours, CS_RGBX));
    EXPECT_EQ(convert(16, 16, CS_RGB332, codes, CS_RGBA), encode(colours, CS_RGBA, 0xFF));
    const std::vector<Yuv> yuv = refYuv(colours);
    for (int dst : {CS_GRAYSCALE, CS_YUV, CS_YUV422, CS_YUV422HC})
        EXPECT_EQ(convert(16, 16, CS_RGB332, codes, dst), encode(yuv, dst)) << kLayoutNames[dst];
}

TEST_F(OneByteSources, GreyLevelsBecomeGreyColoursAndLuma)
{
    Bytes levels(256);
    std::iota(levels.begin(), levels.end(), 0);
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
