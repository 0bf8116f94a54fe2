// "MVC1" image tracks: version 1 and 2 files whose image code is 1 open and
// their stored blocks decode to the pictures they code; frames written to a
// track come back within the coding error and keep their stored bytes
// through a version 3 file.
#include <gtest/gtest.h>

#include <cinelark/movie.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "movie_builders.h"
#include "native_bytes.h"

using namespace testing_movie;
using namespace native_bytes;

namespace {

// A movie opened from bytes in memory, closed with the object.
struct Opened {
    MVid id = 0;
    int result = -1;
    explicit Opened(Bytes &bytes) { result = mvOpenMem(bytes.data(), bytes.size(), &id); }
    ~Opened()
    {
        if (result == 0)
            mvClose(id);
    }
    MVid track(int medium) const
    {
        MVid t = 0;
        return mvFindTrackByMedium(id, medium, &t) == 0 ? t : 0;
    }
};

// Two colour-15 values per frame and block: the blocks of an 8 x 6 frame in
// stream order (the two-row band at the top of the picture, then the full
// band), each a two-colour block whose mask is 0, so all of it takes its
// second colour.
constexpr uint16_t kColours[2][4] = {{0x7C00, 0x03E0, 0x001F, 0x7FFF}, {0x0421, 0x0842, 0x0C63, 0x1084}};

uint32_t Word(uint16_t c) { return uint32_t(c >> 10 & 31) * 8 | uint32_t(c >> 5 & 31) * 8 << 8 | uint32_t(c & 31) * 8 << 16; }

Bytes StoredFrame(int f)
{
    Bytes b;
    for (uint16_t c : kColours[f]) {
        put16(b, 0);
        put16(b, 0x7FFF);
        put16(b, c);
    }
    return b;
}

class OlderVersions : public testing::TestWithParam<int> {};

TEST_P(OlderVersions, OpenWithImageCodeOneAndDecodeTheirBlocks)
{
    V12Header h;
    h.version = uint16_t(GetParam());
    h.width = 8;
    h.height = 6;
    h.audio = 0;
    h.indexCount = 2;
    h.compression = 1;
    Bytes file = v12Header(h);
    const uint32_t first = 592 + 2 * 20, size = uint32_t(StoredFrame(0).size());
    append(file, indexRecord(first, 0, size));
    append(file, indexRecord(first + size, 0, size));
    append(file, StoredFrame(0));
    append(file, StoredFrame(1));

    Opened movie(file);
    ASSERT_EQ(movie.result, 0) << mvGetErrorStr(mvGetErrno());
    MVid track = movie.track(DM_MEDIUM_IMAGE);
    EXPECT_STREQ(dmParamsGetString(mvGetParams(track), DM_IMAGE_COMPRESSION), "MVC1");
    for (int f = 0; f < 2; ++f) {
        std::vector<uint32_t> frame(48);
        ASSERT_EQ(mvReadFrames(track, f, 1, frame.size() * 4, frame.data()), 0) << mvGetErrorStr(mvGetErrno());
        // Frames come bottom row first: the band lands on the top two rows.
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(frame[size_t(y * 8 + x)], Word(kColours[f][(y >= 4 ? 0 : 2) + (x >= 4 ? 1 : 0)]))
                    << f << " " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Native, OlderVersions, testing::Values(1, 2));

TEST(Mvc1Track, FramesComeBackWithinTheCodingErrorAndSurviveAVersionThreeFile)
{
    constexpr int kW = 21, kH = 10;
    std::vector<uint32_t> picture(kW * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            picture[size_t(y * kW + x)] = x < 9 ? uint32_t(40 + 4 * x) | uint32_t(90 + 3 * y) << 8 : 0x2030E0;
    Bytes file;
    std::vector<uint32_t> decoded(picture.size());
    {
        MemMovie movie;
        MVid track = movie.addImage(imageParams(kW, kH, DM_PACKING_RGBX, "MVC1"));
        ASSERT_NE(track, 0) << mvGetErrorStr(mvGetErrno());
        ASSERT_EQ(mvInsertFrames(track, 0, 1, picture.size() * 4, picture.data()), 0) << mvGetErrorStr(mvGetErrno());
        const size_t blocks = 6 * 3;
        EXPECT_GE(mvGetCompressedImageSize(track, 0), 6 * blocks);
        EXPECT_LE(mvGetCompressedImageSize(track, 0), 18 * blocks);
        ASSERT_EQ(mvReadFrames(track, 0, 1, decoded.size() * 4, decoded.data()), 0);
        for (size_t i = 0; i < picture.size(); ++i)
            for (int shift = 0; shift < 24; shift += 8)
                EXPECT_LE(std::abs(int(picture[i] >> shift & 0xFF) - int(decoded[i] >> shift & 0xFF)), 10) << i;
        ASSERT_EQ(mvWrite(movie.id()), 0) << mvGetErrorStr(mvGetErrno());
        file = movie.memory();
    }
    Opened again(file);
    ASSERT_EQ(again.result, 0) << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(mvGetFileFormat(again.id), MV_FORMAT_NATIVE_3);
    std::vector<uint32_t> reread(picture.size());
    ASSERT_EQ(mvReadFrames(again.track(DM_MEDIUM_IMAGE), 0, 1, reread.size() * 4, reread.data()), 0);
    EXPECT_EQ(reread, decoded);
}

}  // namespace
