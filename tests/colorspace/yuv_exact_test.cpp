// The YUV layouts as sources on the exact path: colour conversion against
// the reference formula over sweeps of Y, U and V (black, white and the
// clamped extremes among them), and the moves between the YUV layouts.
#include "colorspace_test_util.h"

namespace cstest {
namespace {

struct Yuv {
    int y, u, v;
};

// Every Y against U and V in steps of 5 (0, 5, ..., 255), plus the centre.
std::vector<Yuv> sweep()
{
    std::vector<Yuv> s;
    std::vector<int> chroma;
    for (int c = 0; c < 256; c += 5)
        chroma.push_back(c);
    chroma.push_back(128);
    for (int u : chroma)
        for (int v : chroma)
            for (int y = 0; y < 256; ++y)
                s.push_back({y, u, v});
    return s;
}

// Encodes the samples in a YUV layout; in the 4:2:2 layouts the two pixels
// of a pair share chroma, so each pair holds two successive samples of the
// sweep, which differ only in Y.
Bytes encode(const std::vector<Yuv>& samples, int format)
{
    Bytes b(samples.size() * kBpp[format]);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Yuv& s = samples[i];
        if (format == CS_YUV) {
            b[3 * i] = static_cast<uint8_t>(s.u);
            b[3 * i + 1] = static_cast<uint8_t>(s.y);
            b[3 * i + 2] = static_cast<uint8_t>(s.v);
        } else {
            uint8_t* pair = &b[(i & ~std::size_t{1}) * 2];
            pair[0] = static_cast<uint8_t>(s.u);
            pair[2] = static_cast<uint8_t>(s.v);
            pair[1 + 2 * (i & 1)] = static_cast<uint8_t>(s.y);
        }
    }
    return b;
}

Rgb pixelOf(const Bytes& out, int format, std::size_t i)
{
    switch (format) {
    case CS_RGB:
        return {out[3 * i + 2], out[3 * i + 1], out[3 * i]};
    default:
        return fromWord(wordAt(out, i));
    }
}

struct ExactCase {
    int src, dst;
};

using ExactPath = SwitchesOffWithParam<ExactCase>;

TEST_P(ExactPath, MatchesTheReferenceOverTheSweep)
{
    const auto [src, dst] = GetParam();
    const std::vector<Yuv> samples = sweep();
    const int n = static_cast<int>(samples.size());
    const Bytes out = convert(n, 1, src, encode(samples, src), dst);
    int mismatches = 0;
    for (int i = 0; i < n && mismatches < 10; ++i) {
        const Yuv s = samples[i];
        const Rgb want = refYuvToRgb(s.y, s.u, s.v);
        if (dst == CS_RGB332) {
            // One row: rows left 0, pixels left counted from the end.
            if (out[i] != refDither(want, 0, n - 1 - i))
                ++mismatches, ADD_FAILURE() << "Y " << s.y << " U " << s.u << " V " << s.v;
            continue;
        }
        if (pixelOf(out, dst, i) != want)
            ++mismatches, ADD_FAILURE() << "Y " << s.y << " U " << s.u << " V " << s.v << " got "
                                        << ::testing::PrintToString(pixelOf(out, dst, i)) << " want "
                                        << ::testing::PrintToString(want);
        if (dst != CS_RGB) {
            const uint32_t top = wordAt(out, i) >> 24;
            if (top != (dst == CS_RGBA ? 0xFFu : 0u))
                ++mismatches, ADD_FAILURE() << "top byte " << top << " at " << i;
        }
    }
}

std::vector<ExactCase> exactCases()
{
    std::vector<ExactCase> cases;
    for (int src : {CS_YUV, CS_YUV422, CS_YUV422HC})
        for (int dst : {CS_RGB, CS_RGBX, CS_RGBA, CS_RGB332})
            cases.push_back({src, dst});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Colorspace, ExactPath, ::testing::ValuesIn(exactCases()), [](const auto& info) {
    return std::string(kLayoutNames[info.param.src]) + "To" + kLayoutNames[info.param.dst];
});

using YuvSources = SwitchesOff;

TEST_F(YuvSources, LumaIsTheGreyLevel)
{
    const int w = 7, h = 3;
    const Bytes yuv = noise(pictureBytes(w, h, CS_YUV), 21);
    const Bytes grey = convert(w, h, CS_YUV, yuv, CS_GRAYSCALE);
    for (int i = 0; i < w * h; ++i)
        EXPECT_EQ(grey[i], yuv[3 * i + 1]);
    const Bytes pairs = noise(pictureBytes(w, h, CS_YUV422), 22);
    for (int src : {CS_YUV422, CS_YUV422HC}) {
        const Bytes g = convert(w, h, src, pairs, CS_GRAYSCALE);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x + 1 < w; ++x)
                EXPECT_EQ(g[y * w + x], pairs[y * w * 2 + (x / 2) * 4 + 1 + (x & 1) * 2]);
    }
}

TEST_F(YuvSources, FullAndHalfChromaLayoutsConvertBothWays)
{
    const int w = 6, h = 2;
    const Bytes yuv = noise(pictureBytes(w, h, CS_YUV), 31);
    for (int dst : {CS_YUV422, CS_YUV422HC}) {
        const Bytes pairs = convert(w, h, CS_YUV, yuv, dst);
        for (int p = 0; p < w * h / 2; ++p) {
            // The first pixel's chroma, both lumas.
            EXPECT_EQ(pairs[4 * p], yuv[6 * p]);
            EXPECT_EQ(pairs[4 * p + 1], yuv[6 * p + 1]);
            EXPECT_EQ(pairs[4 * p + 2], yuv[6 * p + 2]);
            EXPECT_EQ(pairs[4 * p + 3], yuv[6 * p + 4]);
        }
        const Bytes back = convert(w, h, dst, pairs, CS_YUV);
        for (int p = 0; p < w * h / 2; ++p)
            EXPECT_EQ((Bytes(back.begin() + 6 * p, back.begin() + 6 * p + 6)),
                      (Bytes{pairs[4 * p], pairs[4 * p + 1], pairs[4 * p + 2], pairs[4 * p], pairs[4 * p + 3],
                             pairs[4 * p + 2]}));
    }
}

TEST_F(YuvSources, LongOddRowsMatchTheReference)
{
    // Rows longer than the converters' internal chunks, with an odd pixel
    // at the end, for every colour output.
    const int w = 515, h = 3;
    for (int src : {CS_YUV, CS_YUV422, CS_YUV422HC}) {
        const Bytes in = noise(pictureBytes(w, h, src), 61 + src);
        for (int dst : {CS_RGB, CS_RGBX, CS_RGBA, CS_RGB332}) {
            SCOPED_TRACE(std::string(kLayoutNames[src]) + " to " + kLayoutNames[dst]);
            const Bytes out = convert(w, h, src, in, dst);
            const int converted = src == CS_YUV ? w : w - 1;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < converted; ++x) {
                    const uint8_t* p = src == CS_YUV ? &in[(y * w + x) * 3] : &in[y * w * 2 + (x / 2) * 4];
                    const int luma = src == CS_YUV ? p[1] : p[1 + 2 * (x & 1)];
                    const Rgb want = refYuvToRgb(luma, p[0], p[2]);
                    const std::size_t i = static_cast<std::size_t>(y) * w + x;
                    if (dst == CS_RGB332)
                        ASSERT_EQ(out[i], refDither(want, h - 1 - y, w - 1 - x)) << x << ", " << y;
                    else
                        ASSERT_EQ(pixelOf(out, dst, i), want) << x << ", " << y;
                }
            }
        }
    }
}

TEST_F(YuvSources, Moves422ToHalfChromaRowByRowButBackInOneBlock)
{
    const int w = 5, h = 3;  // odd: rows of 10 bytes, two whole pairs each
    const Bytes in = noise(pictureBytes(w, h, CS_YUV422), 51);
    Bytes hc = convert(w, h, CS_YUV422, in, CS_YUV422HC);
    for (int y = 0; y < h; ++y) {
        EXPECT_TRUE(std::equal(in.begin() + y * 10, in.begin() + y * 10 + 8, hc.begin() + y * 10));
        EXPECT_EQ(hc[y * 10 + 8], 0xCD);
    }
    // YUV422HC to YUV422 copies every byte of the picture, odd pixel too.
    EXPECT_EQ(convert(w, h, CS_YUV422HC, in, CS_YUV422), in);

    csFlipVertically(1);
    hc = convert(w, h, CS_YUV422, in, CS_YUV422HC);
    for (int y = 0; y < h; ++y)
        EXPECT_TRUE(std::equal(in.begin() + y * 10, in.begin() + y * 10 + 8, hc.begin() + (h - 1 - y) * 10));
    EXPECT_EQ(convert(w, h, CS_YUV422HC, in, CS_YUV422), in);
}

}  // namespace
}  // namespace cstest
