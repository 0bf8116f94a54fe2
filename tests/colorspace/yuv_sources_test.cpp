// The YUV layouts as sources, on the exact, fast and zooming paths.
#include "colorspace_test_util.h"

namespace cstest {
namespace {

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

// Every Y against U and V in steps of 5, plus the centre, as one long row;
// then a picture with rows longer than the converters' internal chunks and
// an odd pixel at the end.
TEST_F(YuvSources, ExactPathMatchesTheReference)
{
    std::vector<int> chroma = {128};
    for (int c = 0; c < 256; c += 5)
        chroma.push_back(c);
    std::vector<Yuv> samples;
    for (int u : chroma)
        for (int v : chroma)
            for (int y = 0; y < 256; ++y)
                samples.push_back({y, u, v});
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
}

// One doubled output row from per-pixel levels (luma in some scale),
// shift turning a level into a bin, and each pixel's own chroma.
std::vector<uint32_t> doubledRow(const std::vector<Yuv>& row, const std::vector<int>& level, int shift)
{
    std::vector<uint32_t> out;
    const std::size_t n = row.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int next = i + 1 < n ? level[i + 1] : level[i];
        const int u = row[i].u >> 3, v = row[i].v >> 3;
        out.push_back(word(refFastBins(level[i] >> shift, u, v)));
        out.push_back(word(refFastBins(((level[i] + next) / 2) >> shift, u, v)));
    }
    return out;
}

std::vector<int> lumaBins(const std::vector<Yuv>& row)
{
    std::vector<int> bins;
    for (const Yuv& s : row)
        bins.push_back(s.y >> 3);
    return bins;
}

// Expected zoomed picture, row by row of output words (pixels that the
// conversion leaves unwritten are absent from each row's end).
std::vector<std::vector<uint32_t>> expectedZoom(const Bytes& in, int w, int h, int format, int zoom)
{
    const auto rows = decode(in, w, h, format);
    std::vector<std::vector<uint32_t>> out;
    for (int y = 0; y < h; ++y) {
        const auto& below = rows[y + 1 < h ? y + 1 : y];
        if (zoom < 4) {
            const auto r = doubledRow(rows[y], lumaBins(rows[y]), 0);
            out.insert(out.end(), {r, r});
        } else if (zoom == 4 || format != CS_YUV422HC) {
            const auto top = doubledRow(rows[y], lumaBins(rows[y]), 0);
            std::vector<int> mid;
            for (std::size_t i = 0; i < rows[y].size(); ++i)
                mid.push_back(((rows[y][i].y >> 3) + (below[i].y >> 3)) / 2);
            const auto between = doubledRow(rows[y], mid, 0);
            out.insert(out.end(), {top, top, between, between});
        } else {
            for (int k = 0; k < 4; ++k) {
                std::vector<int> lerp;
                for (std::size_t i = 0; i < rows[y].size(); ++i)
                    lerp.push_back((rows[y][i].y * (4 - k) + below[i].y * k) / 4);
                out.push_back(doubledRow(rows[y], lerp, 3));
            }
        }
    }
    return out;
}

using FastPath = SwitchesOff;

// The zoomed YUV422HC picture also goes to RGB332: the same colours,
// dithered at output phases.
TEST_F(FastPath, ZoomWritesTheExpectedPicture)
{
    const int w = 7, h = 5;
    for (int format : {CS_YUV, CS_YUV422, CS_YUV422HC}) {
        for (int zoom : {2, 3, 4, 5, 8}) {
            SCOPED_TRACE(std::string(kLayoutNames[format]) + " zoom " + std::to_string(zoom));
            const int outW = 2 * w, outH = (zoom >= 4 ? 4 : 2) * h;
            const Bytes in = noise(pictureBytes(w, h, format), 60 + zoom);
            csZoom(1, zoom);
            // The fast switch does not matter once zoomed.
            csFast(zoom % 2);
            const Bytes out = convert(w, h, format, in, CS_RGBX, pictureBytes(outW, outH, CS_RGBX));
            const Bytes codes = zoom == 2 && format == CS_YUV422HC ? convert(w, h, format, in, CS_RGB332, outW * outH)
                                                                   : Bytes();
            const auto want = expectedZoom(in, w, h, format, zoom);
            ASSERT_EQ(static_cast<int>(want.size()), outH);
            for (int y = 0; y < outH; ++y) {
                for (std::size_t x = 0; x < want[y].size(); ++x) {
                    const std::size_t at = static_cast<std::size_t>(y) * outW + x;
                    ASSERT_EQ(wordAt(out, at), want[y][x]) << x << ", " << y;
                    if (!codes.empty()) {
                        ASSERT_EQ(codes[at], refSaturatingDither(fromWord(want[y][x]), outH - 1 - y, outW - 1 - x))
                            << x << ", " << y;
                    }
                }
            }
        }
    }
}

// Every luma level against one chroma value inside each of the 32 x 32
// chroma bins, at a different offset in each bin; 4 rows of it give every
// matrix phase for every bin.
TEST_F(FastPath, UsesTheBinCentresAndDithersThemWithSaturation)
{
    std::vector<Yuv> samples;
    for (int ub = 0; ub < 32; ++ub)
        for (int vb = 0; vb < 32; ++vb)
            for (int y = 0; y < 256; ++y)
                samples.push_back({y, 8 * ub + (ub * 3 + vb) % 8, 8 * vb + (vb * 5 + ub) % 8});
    const int w = static_cast<int>(samples.size()) / 4, h = 4;
    csFast(1);
    for (int format : {CS_YUV, CS_YUV422, CS_YUV422HC}) {
        const Bytes in = encode(samples, format);
        const Bytes words = convert(w, h, format, in, CS_RGBX);
        const Bytes codes = format == CS_YUV422HC ? convert(w, h, format, in, CS_RGB332) : Bytes();
        for (int i = 0; i < w * h; ++i) {
            const Yuv s = samples[i];
            const Rgb c = refFast(s.y, s.u, s.v);
            ASSERT_EQ(wordAt(words, i), word(c)) << kLayoutNames[format] << " " << s.y << " " << s.u << " " << s.v;
            if (!codes.empty()) {
                ASSERT_EQ(codes[i], refSaturatingDither(c, h - 1 - i / w, w - 1 - i % w)) << i;
            }
        }
    }
}

}  // namespace
}  // namespace cstest
