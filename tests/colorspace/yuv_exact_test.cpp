// The YUV layouts as sources on the exact path: colour conversion against
// the reference formula over sweeps of Y, U and V (black, white and the
// clamped extremes among them), and the moves between the YUV layouts.
#include "colorspace_test_util.h"

namespace cstest {
namespace {

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

// Checks every converted pixel of a w x h picture against the reference;
// RGBX words get a zero top byte, RGBA words an opaque one.
void expectExact(const Bytes& in, int w, int h, int src, int dst)
{
    const Bytes out = convert(w, h, src, in, dst);
    const auto rows = decode(in, w, h, src);
    const uint32_t top = dst == CS_RGBA ? 0xFF : 0;
    int mismatches = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < static_cast<int>(rows[y].size()) && mismatches < 10; ++x) {
            const Yuv s = rows[y][x];
            const Rgb want = refYuvToRgb(s.y, s.u, s.v);
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            bool right = false;
            if (dst == CS_RGB332)
                right = out[i] == refDither(want, h - 1 - y, w - 1 - x);
            else
                right = pixelOf(out, dst, i) == want && (dst == CS_RGB || wordAt(out, i) >> 24 == top);
            if (!right)
                ++mismatches, ADD_FAILURE() << "Y " << s.y << " U " << s.u << " V " << s.v << " at " << x << ", " << y;
        }
    }
}

using YuvSources = SwitchesOff;

// The sweep as one long row, then a picture with rows longer than the
// converters' internal chunks and an odd pixel at the end.
TEST_F(YuvSources, ExactPathMatchesTheReference)
{
    const std::vector<Yuv> samples = sweep();
    const int n = static_cast<int>(samples.size());
    const int w = 515, h = 3;
    for (int src : {CS_YUV, CS_YUV422, CS_YUV422HC}) {
        for (int dst : {CS_RGB, CS_RGBX, CS_RGBA, CS_RGB332}) {
            SCOPED_TRACE(std::string(kLayoutNames[src]) + " to " + kLayoutNames[dst]);
            expectExact(encode(samples, src), n, 1, src, dst);
            expectExact(noise(pictureBytes(w, h, src), 61 + src), w, h, src, dst);
        }
    }
}

// The pixels a conversion converts, all rows in one.
std::vector<Yuv> pixels(const Bytes& in, int w, int h, int format)
{
    std::vector<Yuv> all;
    for (const auto& row : decode(in, w, h, format))
        all.insert(all.end(), row.begin(), row.end());
    return all;
}

// 4:2:2 pairs take the first pixel's chroma and both lumas, and give their
// chroma back to both pixels.
TEST_F(YuvSources, FullAndHalfChromaLayoutsConvertBothWays)
{
    const int w = 6, h = 2;
    const Bytes yuv = noise(pictureBytes(w, h, CS_YUV), 31);
    for (int dst : {CS_YUV422, CS_YUV422HC}) {
        SCOPED_TRACE(kLayoutNames[dst]);
        const Bytes pairs = convert(w, h, CS_YUV, yuv, dst);
        EXPECT_EQ(pairs, encode(pixels(yuv, w, h, CS_YUV), dst));
        EXPECT_EQ(convert(w, h, dst, pairs, CS_YUV), encode(pixels(pairs, w, h, dst), CS_YUV));
    }
}

TEST_F(YuvSources, Moves422ToHalfChromaRowByRowButBackInOneBlock)
{
    const int w = 5, h = 3;  // odd: rows of 10 bytes, two whole pairs each
    const Bytes in = noise(pictureBytes(w, h, CS_YUV422), 51);
    const Bytes hc = convert(w, h, CS_YUV422, in, CS_YUV422HC);
    for (int y = 0; y < h; ++y) {
        EXPECT_TRUE(std::equal(in.begin() + y * 10, in.begin() + y * 10 + 8, hc.begin() + y * 10));
        EXPECT_EQ(hc[y * 10 + 8], 0xCD);
    }
    // YUV422HC to YUV422 copies every byte of the picture, odd pixel too.
    EXPECT_EQ(convert(w, h, CS_YUV422HC, in, CS_YUV422), in);

    csFlipVertically(1);
    EXPECT_EQ(convert(w, h, CS_YUV422, in, CS_YUV422HC), mirrored(hc, 10));
    EXPECT_EQ(convert(w, h, CS_YUV422HC, in, CS_YUV422), in);
}

}  // namespace
}  // namespace cstest
