// Tables are built on first use. ctest runs every case in its own process,
// so here two threads really are the first to convert and race to build the
// exact, fast and dithered tables; both must see complete tables.
#include <latch>
#include <thread>

#include "colorspace_test_util.h"

namespace cstest {
namespace {

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
