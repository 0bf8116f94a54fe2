// csConvert's argument checks, overlapping copies and racing table builds.
#include <array>
#include <climits>
#include <latch>
#include <thread>

#include "colorspace_test_util.h"

namespace cstest {
namespace {

using Dispatch = SwitchesOff;

// Bad sizes and formats fail, and the eight-bit layout pairs only with
// itself; calls with nothing to convert succeed without buffers. None writes.
TEST_F(Dispatch, CallsThatConvertNothingWriteNothing)
{
    std::vector<std::array<int, 5>> calls = {  // width, height, source, destination, result
        {-1, 2, CS_RGB, CS_RGBX, -1}, {2, -1, CS_RGB, CS_RGBX, -1}, {INT_MAX / 8 + 1, 1, CS_RGB, CS_RGBX, -1},
        {1, INT_MAX / 4 + 1, CS_RGB, CS_RGBX, -1}, {4, 4, -1, CS_RGBX, -1}, {4, 4, CS_RGBX, -1, -1},
        {4, 4, CS_RGB8 + 1, CS_RGB, -1}, {4, 4, CS_RGB, CS_RGB8 + 1, -1}, {4, 4, CS_RGB8, CS_RGB8, 0}};
    for (int other = 0; other < CS_RGB8; ++other) {
        calls.push_back({4, 4, CS_RGB8, other, -1});
        calls.push_back({4, 4, other, CS_RGB8, -1});
        calls.push_back({4, 0, other, CS_RGBX, 0});
        calls.push_back({0, 4, CS_RGBX, other, 0});
    }
    const Bytes in = noise(64, 1);
    for (const auto& [w, h, src, dst, rc] : calls) {
        SCOPED_TRACE(::testing::Message() << w << " x " << h << ", " << src << " to " << dst);
        int result = 0;
        EXPECT_EQ(convert(w, h, src, in, dst, 64, 0x5A, &result), Bytes(64, 0x5A));
        EXPECT_EQ(result, rc);
    }
    uint8_t buf[16] = {};
    EXPECT_EQ(csConvert(2, 2, CS_RGB, nullptr, CS_RGBX, buf), -1);
    EXPECT_EQ(csConvert(2, 2, CS_RGB, buf, CS_RGBX, nullptr), -1);
    EXPECT_EQ(csConvert(0, 5, CS_RGB, nullptr, CS_RGBX, nullptr), 0);
}

// A copy into the same buffer or one that overlaps it behaves like a move,
// mirrored or not.
TEST_F(Dispatch, OverlappingEqualLayoutsLoseNoRow)
{
    const int w = 3, h = 5;  // RGB rows of 9 bytes, odd row count
    const std::size_t row = 9;
    const Bytes picture = noise(row * h, 7);
    Bytes moved(picture.size() + 4, 0);
    std::copy(picture.begin(), picture.end(), moved.begin());
    Bytes expected = moved;
    std::memmove(expected.data() + 4, expected.data(), picture.size());
    EXPECT_EQ(csConvert(w, h, CS_RGB, moved.data(), CS_RGB, moved.data() + 4), 0);
    EXPECT_EQ(moved, expected);

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
