// csConvert's argument checks, equal-layout copies, what the switches reach,
// the tables built by racing threads, and the interface called from C.
#include <climits>
#include <latch>
#include <thread>

#include "colorspace_test_util.h"

extern "C" int colorspaceFromC(uint32_t words[2], uint8_t grey[2]);

namespace cstest {
namespace {

using Dispatch = SwitchesOff;

// The switches as the process found them, read before any test runs.
struct Initial {
    int flip = csFlipVertically(0);
    int fast = csFast(0);
    int zoomY = csZoom(1, 1);
};
const Initial initial;

TEST_F(Dispatch, SwitchesStartAtZero)
{
    EXPECT_EQ(initial.flip, 0);
    EXPECT_EQ(initial.fast, 0);
    EXPECT_EQ(initial.zoomY, 0);
}

TEST_F(Dispatch, BadCallsFailAndWriteNothing)
{
    struct Call {
        int w, h, src, dst;
    };
    // Negative and overflowing sizes, formats outside the range, and the
    // eight-bit layout, which only pairs with itself.
    std::vector<Call> calls = {{-1, 2, CS_RGB, CS_RGBX}, {2, -1, CS_RGB, CS_RGBX}, {INT_MAX, 1, CS_RGB, CS_RGBX},
                               {1, INT_MAX, CS_RGB, CS_RGBX}, {4, 4, -1, CS_RGBX}, {4, 4, CS_RGBX, -1},
                               {4, 4, 9, CS_RGB}, {4, 4, CS_RGB, 9}, {4, 4, -1, -1}, {4, 4, 9, 9}, {4, 4, 1000, 0}};
    for (int other = 0; other < 8; ++other) {
        calls.push_back({4, 4, CS_RGB8, other});
        calls.push_back({4, 4, other, CS_RGB8});
    }
    const Bytes in = noise(64, 1);
    for (const Call& c : calls) {
        int rc = 0;
        EXPECT_EQ(convert(c.w, c.h, c.src, in, c.dst, 64, 0x5A, &rc), Bytes(64, 0x5A)) << c.src << " -> " << c.dst;
        EXPECT_EQ(rc, -1) << c.w << " x " << c.h << ", " << c.src << " -> " << c.dst;
    }
    uint8_t buf[16] = {};
    EXPECT_EQ(csConvert(2, 2, CS_RGB, nullptr, CS_RGBX, buf), -1);
    EXPECT_EQ(csConvert(2, 2, CS_RGB, buf, CS_RGBX, nullptr), -1);
    // With nothing to convert, no buffer is needed; equal eight-bit ids copy
    // width x height x 0 bytes.
    EXPECT_EQ(csConvert(0, 5, CS_RGB, nullptr, CS_RGBX, nullptr), 0);
    int rc = -1;
    EXPECT_EQ(convert(4, 4, CS_RGB8, in, CS_RGB8, 64, 0x22, &rc), Bytes(64, 0x22));
    EXPECT_EQ(rc, 0);
}

TEST_F(Dispatch, ZeroHeightConvertsNothing)
{
    const Bytes in = noise(64, 3);
    for (int s = 0; s < 8; ++s)
        for (int d = 0; d < 8; ++d)
            EXPECT_EQ(convert(4, 0, s, in, d, 64, 0x77), Bytes(64, 0x77)) << s << " -> " << d;
}

TEST_F(Dispatch, EqualLayoutsCopyAndMirrorWhenFlipping)
{
    const int w = 5, h = 3;
    for (int f = 0; f < 8; ++f) {
        const Bytes in = noise(pictureBytes(w, h, f), 10 + f);
        EXPECT_EQ(convert(w, h, f, in, f), in) << kLayoutNames[f];

        csFlipVertically(1);
        EXPECT_EQ(convert(w, h, f, in, f), mirrored(in, w * kBpp[f])) << kLayoutNames[f];
        csFlipVertically(0);
    }
}

TEST_F(Dispatch, OverlappingEqualLayoutCopyBehavesLikeAMove)
{
    Bytes buf = noise(40, 5);
    Bytes expected = buf;
    std::memmove(expected.data() + 4, expected.data(), 36);
    // 3 x 4 RGB pixels, shifted by 4 bytes inside one buffer.
    EXPECT_EQ(csConvert(3, 4, CS_RGB, buf.data(), CS_RGB, buf.data() + 4), 0);
    EXPECT_EQ(buf, expected);
}

TEST_F(Dispatch, MirroringInPlaceOrOverlappingLosesNoRow)
{
    const int w = 3, h = 5;  // RGB rows of 9 bytes, odd row count
    const std::size_t row = 9;
    const Bytes picture = noise(row * h, 7);
    const Bytes upsideDown = mirrored(picture, row);
    csFlipVertically(1);

    Bytes same = picture;
    EXPECT_EQ(csConvert(w, h, CS_RGB, same.data(), CS_RGB, same.data()), 0);
    EXPECT_EQ(same, upsideDown);

    // Destination one row and a bit further into the same buffer.
    Bytes shared(picture.size() + 13, 0);
    std::copy(picture.begin(), picture.end(), shared.begin());
    EXPECT_EQ(csConvert(w, h, CS_RGB, shared.data(), CS_RGB, shared.data() + 13), 0);
    EXPECT_TRUE(std::equal(upsideDown.begin(), upsideDown.end(), shared.begin() + 13));
}

TEST_F(Dispatch, HorizontalZoomAloneSelectsNoVariant)
{
    const int w = 4, h = 2;
    const Bytes in = noise(pictureBytes(w, h, CS_YUV422), 6);
    const Bytes plain = convert(w, h, CS_YUV422, in, CS_RGBX);
    csZoom(4, 1);
    EXPECT_EQ(convert(w, h, CS_YUV422, in, CS_RGBX), plain);
}

TEST_F(Dispatch, SwitchesLeaveOtherConvertersAlone)
{
    // Fast and zoom only concern the YUV-to-RGBX and YUV422HC-to-RGB332 paths.
    const int w = 6, h = 3;
    csFast(1);
    csZoom(2, 2);
    for (int s = 0; s < 8; ++s) {
        for (int d = 0; d < 8; ++d) {
            if (s == d || (d == CS_RGBX && s >= CS_YUV) || (s == CS_YUV422HC && d == CS_RGB332))
                continue;
            const Bytes in = noise(pictureBytes(w, h, s), 100 + s);
            const Bytes switched = convert(w, h, s, in, d);
            csFast(0);
            csZoom(1, 1);
            EXPECT_EQ(convert(w, h, s, in, d), switched) << kLayoutNames[s] << " -> " << kLayoutNames[d];
            csFast(1);
            csZoom(2, 2);
        }
    }
}

// c_caller.c converts a black and white pair to RGBA and back to grey.
TEST_F(Dispatch, CallableFromC)
{
    uint32_t words[2] = {};
    uint8_t grey[2] = {};
    EXPECT_EQ(colorspaceFromC(words, grey), 0);
    EXPECT_EQ(words[0], 0xFF000000u);
    EXPECT_EQ(words[1], 0xFFFFFFFFu);
    EXPECT_EQ(grey[0], 0);
    EXPECT_EQ(grey[1], 255);
}

// Tables are built on first use. ctest runs every case in its own process,
// so here two threads really are the first to convert and race to build the
// exact, fast and dithered tables; both must see complete tables.
TEST(ColorspaceThreads, TwoThreadsBuildingTheTablesAtOnceAgree)
{
    resetSwitches();
    const int w = 64, h = 64;
    const Bytes in = noise(pictureBytes(w, h, CS_YUV422HC), 91);
    // Fast mode on for both threads: the fast table is built from the exact
    // tables, the dithered one from the fast table.
    csFast(1);
    Bytes fastWords[2], codes[2], exact[2];
    std::latch start(2);
    auto work = [&](int t) {
        start.arrive_and_wait();
        fastWords[t] = convert(w, h, CS_YUV422HC, in, CS_RGBX);
        codes[t] = convert(w, h, CS_YUV422HC, in, CS_RGB332);
        exact[t] = convert(w, h, CS_YUV422HC, in, CS_RGBA);
    };
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    csFast(0);
    EXPECT_EQ(fastWords[0], fastWords[1]);
    EXPECT_EQ(codes[0], codes[1]);
    EXPECT_EQ(exact[0], exact[1]);
    // And the results are the right ones, not merely the same.
    for (int i = 0; i < w * h; ++i) {
        const std::size_t pair = static_cast<std::size_t>(i / 2) * 4;
        const int y = in[pair + 1 + 2 * (i & 1)], u = in[pair], v = in[pair + 2];
        const Rgb want = refFast(y, u, v);
        ASSERT_EQ(fromWord(wordAt(fastWords[0], i)), want) << i;
        ASSERT_EQ(fromWord(wordAt(exact[0], i)), refYuvToRgb(y, u, v)) << i;
    }
}

}  // namespace
}  // namespace cstest
