// The RGB family as a source: byte moves between RGB, RGBX and RGBA, and the
// luma, chroma and dithering formulas applied to every source layout.
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

// Each RGB layout as a source: luma and chroma follow the formulas, 4:2:2
// pairs take chroma from their first pixel, and the dither to RGB332 follows
// the matrix over a picture that meets every matrix phase. RGBX and RGBA
// words carry a top byte that changes from pixel to pixel and must not
// matter.
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
        EXPECT_EQ(convert(n, 1, format, in, CS_GRAYSCALE), lumaOf(yuv));
        for (int dst : {CS_YUV, CS_YUV422, CS_YUV422HC})
            EXPECT_EQ(convert(n, 1, format, in, dst), encode(yuv, dst)) << kLayoutNames[dst];
        EXPECT_EQ(convert(w, h, format, in, CS_RGB332), dithered);
    }
}

// Rows of every length up to 40 pixels, several rows each, so that the
// four-pixel steps and the row ends meet in every combination; words may
// start at any byte.
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

}  // namespace
}  // namespace cstest
