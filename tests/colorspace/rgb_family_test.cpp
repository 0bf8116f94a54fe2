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

// The colours in one of the three RGB layouts, as a single row; RGBX and
// RGBA words get a top byte that must not matter.
Bytes encode(const std::vector<Rgb>& colours, int format)
{
    Bytes b(colours.size() * kBpp[format]);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const Rgb& c = colours[i];
        if (format == CS_RGB) {
            b[3 * i] = static_cast<uint8_t>(c.b);
            b[3 * i + 1] = static_cast<uint8_t>(c.g);
            b[3 * i + 2] = static_cast<uint8_t>(c.r);
        } else {
            putWord(b, i, word(c) | (i * 37u % 256) << 24);
        }
    }
    return b;
}

// Each RGB layout as a source: luma and chroma follow the formulas, 4:2:2
// pairs take chroma from their first pixel, and the dither to RGB332 follows
// the matrix over a picture that meets every matrix phase.
TEST_F(RgbFamily, EveryLayoutFollowsTheFormulas)
{
    const std::vector<Rgb> colours = sampleColours();
    const int n = static_cast<int>(colours.size());
    const int w = 37, h = n / w;
    for (int format : {CS_RGB, CS_RGBX, CS_RGBA}) {
        SCOPED_TRACE(kLayoutNames[format]);
        const Bytes in = encode(colours, format);
        const Bytes grey = convert(n, 1, format, in, CS_GRAYSCALE);
        const Bytes yuv = convert(n, 1, format, in, CS_YUV);
        const Bytes pairs = convert(n & ~1, 1, format, in, CS_YUV422);
        EXPECT_EQ(convert(n & ~1, 1, format, in, CS_YUV422HC), pairs);
        for (int i = 0; i < n; ++i) {
            const Rgb c = colours[i];
            ASSERT_EQ(grey[i], refLuma(c.r, c.g, c.b)) << i;
            ASSERT_EQ(Bytes(yuv.begin() + 3 * i, yuv.begin() + 3 * i + 3), refYuvBytes(c)) << i;
            if (i < (n & ~1)) {
                ASSERT_EQ((Bytes{pairs[2 * i], pairs[2 * i + 1]}), refPairBytes(c, colours[i & ~1], i % 2 == 1)) << i;
            }
        }
        const Bytes codes = convert(w, h, format, in, CS_RGB332);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(codes[y * w + x], refDither(colours[y * w + x], h - 1 - y, w - 1 - x)) << x << ", " << y;
    }
}

TEST_F(RgbFamily, EveryColourGivesTheFormulaLumaAndChroma)
{
    // All 2^24 colours, one red level (a 256 x 256 picture) at a time: the
    // truncated double-precision sums must match bit for bit, including the
    // values that lie a rounding error below an integer.
    Bytes in(256 * 256 * 3);
    for (int r = 0; r < 256; ++r) {
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                uint8_t* p = &in[(g * 256 + b) * 3];
                p[0] = static_cast<uint8_t>(b);
                p[1] = static_cast<uint8_t>(g);
                p[2] = static_cast<uint8_t>(r);
            }
        const Bytes yuv = convert(256, 256, CS_RGB, in, CS_YUV);
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const uint8_t* p = &yuv[(g * 256 + b) * 3];
                ASSERT_EQ(p[0], refU(r, g, b)) << r << " " << g << " " << b;
                ASSERT_EQ(p[1], refLuma(r, g, b)) << r << " " << g << " " << b;
                ASSERT_EQ(p[2], refV(r, g, b)) << r << " " << g << " " << b;
            }
    }
}

TEST_F(RgbFamily, RgbToWordsOverEveryRowLength)
{
    // Rows of every length up to 40 pixels, several rows each, so that the
    // four-pixel steps and the row ends meet in every combination.
    for (int w = 1; w <= 40; ++w) {
        const int h = 3;
        const Bytes rgb = noise(pictureBytes(w, h, CS_RGB), 300 + w);
        const Bytes rgbx = convert(w, h, CS_RGB, rgb, CS_RGBX, pictureBytes(w, h, CS_RGBX), 0x96);
        const Bytes rgba = convert(w, h, CS_RGB, rgb, CS_RGBA);
        for (int i = 0; i < w * h; ++i) {
            const uint32_t colour = rgb[3 * i + 2] | rgb[3 * i + 1] << 8 | rgb[3 * i] << 16;
            ASSERT_EQ(wordAt(rgbx, i), 0x96000000u | colour) << w << " " << i;
            ASSERT_EQ(wordAt(rgba, i), 0xFF000000u | colour) << w << " " << i;
        }
        EXPECT_EQ(convert(w, h, CS_RGBX, rgbx, CS_RGB), rgb) << w;
        EXPECT_EQ(convert(w, h, CS_RGBA, rgba, CS_RGB), rgb) << w;
    }
}

// RGB to and from words is covered above; between the word layouts only
// the top byte changes.
TEST_F(RgbFamily, WordLayoutsSetOrKeepTheTopByte)
{
    const int n = 64;
    const Bytes words = noise(4 * n, 5);
    const Bytes rgba = convert(n, 1, CS_RGBX, words, CS_RGBA);
    const Bytes rgbx = convert(n, 1, CS_RGBA, words, CS_RGBX);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(wordAt(rgba, i), wordAt(words, i) | 0xFF000000u);
        EXPECT_EQ(wordAt(rgbx, i), wordAt(words, i));
    }
}

TEST_F(RgbFamily, UnalignedWordBuffersConvert)
{
    // Words may start at any byte; compare against an aligned conversion.
    const int n = 9;
    const Bytes rgb = noise(3 * n, 8);
    const Bytes aligned = convert(n, 1, CS_RGB, rgb, CS_RGBA);
    Bytes shifted(4 * n + 1, 0);
    ASSERT_EQ(csConvert(n, 1, CS_RGB, rgb.data(), CS_RGBA, shifted.data() + 1), 0);
    EXPECT_TRUE(std::equal(aligned.begin(), aligned.end(), shifted.begin() + 1));
}

}  // namespace
}  // namespace cstest
