// Image frames: display reads, stored frames, per-frame parameters, and
// tracks with a codec read in and out of order.
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <cinelark/playback.h>

#include "error.h"
#include "frames.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

// Pixels as the caller's native words hold them in memory.
template <class Word>
std::vector<uint8_t> asBytes(std::initializer_list<Word> words)
{
    std::vector<uint8_t> out(words.size() * sizeof(Word));
    std::memcpy(out.data(), std::data(words), out.size());
    return out;
}

// One packing's frame as inserted (native caller words) and as it must come
// out for display.
TEST(DisplayRead, ConvertsEveryPackingToRedLowWords)
{
    const struct {
        const char *label;
        int packing, width, height;
        std::vector<uint8_t> frame;
        std::vector<uint32_t> shown;
    } cases[] = {
        {"rgbx", DM_PACKING_RGBX, 2, 2, asBytes<uint32_t>({0x00000001, 0x00000203, 0x00040506, 0x00FFFFFF}),
         {0x00000001, 0x00000203, 0x00040506, 0x00FFFFFF}},
        {"grey", DM_PACKING_GRAY, 3, 1, {0x00, 0x80, 0xFF}, {0x00000000, 0x00808080, 0x00FFFFFF}},
        // Blue low, red high; rows come out in the other order.
        {"xbgr", DM_PACKING_XBGR, 2, 2, asBytes<uint32_t>({0xFF0000FF, 0x0000FF00, 0x00FF0000, 0x00123456}),
         {0x000000FF, 0x00563412, 0x00FF0000, 0x0000FF00}},
        // Rows swap; each 5-bit component c becomes (c << 3) | (c >> 2).
        {"555", DM_PACKING_RGB555, 3, 2,
         asBytes<uint16_t>({0x7C00, 0x0421, 0x4210, 0x001F, 0x03E0, 0x001F}),
         {0x00FF0000, 0x0000FF00, 0x00FF0000, 0x000000FF, 0x00080808, 0x00848484}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        MemMovie movie;
        MVid track = movie.addImage(imageParams(c.width, c.height, c.packing));
        ASSERT_NE(track, 0);
        std::vector<uint8_t> frame = c.frame;
        ASSERT_EQ(mvInsertFrames(track, 0, 1, frame.size(), frame.data()), 0);
        std::vector<uint32_t> shown(c.shown.size(), 0xDEADBEEF);
        ASSERT_EQ(__mvT_ReadRGBXImage(track, 0, shown.size() * 4, shown.data()), 0);
        EXPECT_EQ(shown, c.shown);
        // A buffer smaller than the picture is refused, not overrun.
        EXPECT_EQ(__mvT_ReadRGBXImage(track, 0, shown.size() * 4 - 1, shown.data()), -1);
        EXPECT_TRUE(failsWith(__mvT_ReadRGBXImage(track, 1, shown.size() * 4, shown.data()), MV_ERR_FRAME_RANGE));
    }
}

TEST(ImageFrames, StoredFramesAreReadWholeOrNotAtAllAndCarryTheirOwnParameters)
{
    MemMovie movie;
    MVid track = movie.addImage(imageParams(4, 4));
    uint8_t stored[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(mvInsertCompressedImage(track, 0, sizeof stored, stored), 0);
    EXPECT_EQ(mvGetCompressedImageSize(track, 0), 5u);
    EXPECT_EQ(mvGetCompressedImageSize(track, 1), 0u);
    EXPECT_EQ(mvGetErrno(), MV_ERR_FRAME_RANGE);
    uint8_t small[4] = {9, 9, 9, 9};
    EXPECT_TRUE(failsWith(mvReadCompressedImage(track, 0, sizeof small, small), MV_ERR_FRAME_RANGE));
    EXPECT_EQ(small[0], 9);
    uint8_t exact[5] = {};
    ASSERT_EQ(mvReadCompressedImage(track, 0, sizeof exact, exact), 0);
    EXPECT_EQ(std::memcmp(exact, stored, 5), 0);
    EXPECT_EQ(mvInsertCompressedImage(track, 2, sizeof stored, stored), -1);
    EXPECT_TRUE(failsWith(mvInsertCompressedImage(track, 0, 0, stored), EINVAL));
    // A stored frame shorter than a picture reads with the rest black.
    std::vector<uint32_t> picture(16, 0xFFFFFFFF);
    ASSERT_EQ(mvReadFrames(track, 0, 1, picture.size() * 4, picture.data()), 0);
    EXPECT_EQ(std::tuple(picture[0], picture[1], picture[15]), std::tuple(0x01020304u, 0x05000000u, 0u));

    // Key marks and registered user parameters per frame.
    ASSERT_EQ(mvInsertCompressedImage(track, 1, sizeof stored, stored), 0);
    __mvFindMovie(movie.id())->dirty = false;
    ASSERT_EQ(mvAddUserParam("MODEL_SHOT"), 0);
    Params p = newParams();
    dmParamsSetInt(p.get(), MV_KEY_FRAME, 1);
    dmParamsSetString(p.get(), "MODEL_SHOT", "wide");
    dmParamsSetString(p.get(), "NOT_REGISTERED", "x");
    ASSERT_EQ(__mvSetFrameParams(track, 1, p.get(), nullptr), 0);
    EXPECT_TRUE(__mvFindMovie(movie.id())->dirty);
    DMparams *frame = __mvGetFrameParams(track, 1);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(dmParamsGetInt(frame, MV_KEY_FRAME), 1);
    EXPECT_STREQ(dmParamsGetString(frame, "MODEL_SHOT"), "wide");
    EXPECT_FALSE(dmParamsIsPresent(frame, "NOT_REGISTERED"));
    EXPECT_EQ(dmParamsGetNumElems(__mvGetFrameParams(track, 0)), 0);
    EXPECT_EQ(__mvGetFrameParams(track, 2), nullptr);

    // Every frame of an intra-frame track is a key frame.
    EXPECT_EQ(__mvT_IsKeyFrame(track, 0), 1);

    Params wrong = newParams();
    dmParamsSetString(wrong.get(), MV_KEY_FRAME, "yes");
    EXPECT_TRUE(failsWith(__mvSetFrameParams(track, 0, wrong.get(), nullptr), MV_ERR_WRONG_TYPE));
    Params user = newParams();
    dmParamsSetInt(user.get(), "MODEL_SHOT", 3);
    EXPECT_TRUE(failsWith(__mvSetFrameParams(track, 0, user.get(), nullptr), MV_ERR_USER_PARAM_TYPE));
}

// Where an inter-frame decoder starts, for a frame, the last frame decoded
// and the key frames of the track.
TEST(DecoderStep, StartsAtTheNearestUsableFrame)
{
    const struct {
        int frame, lastDecoded;
        std::set<int> keys;
        int start;
    } cases[] = {{25, 3, {0, 20}, 20},  // nearest key frame
                 {25, 40, {}, 15},      // ten frames back
                 {25, -1, {}, 0},       // from the start
                 {4, 3, {}, 4},         // the next frame: nothing
                 {25, 20, {0}, 21},     // after the last decoded
                 {20, 3, {0, 20}, 20},  // a key frame itself
                 {8, 30, {}, 0}};       // near the start
    for (const auto &c : cases) {
        auto isKey = [&](int f) { return c.keys.count(f) > 0; };
        EXPECT_EQ(__mvIT_StepStart(c.frame, c.lastDecoded, isKey), c.start) << c.frame << " after " << c.lastDecoded;
    }
}

// A stored frame whose codes do not make one whole picture is an error of
// the compression library, not a picture with a black tail or a cut group.
TEST(CodecFrames, DamagedRunLengthFramesFailToReadPaddedOnesRead)
{
    MemMovie movie;
    MVid track = movie.addImage(imageParams(4, 2, DM_PACKING_RGBX, "RLE24"));
    ASSERT_NE(track, 0) << mvGetErrorStr(mvGetErrno());
    const std::vector<uint8_t> damaged[] = {
        {0x03, 1, 2, 3, 0xC1, 4, 5, 6},                    // 4 of 8 pixels
        {0x09, 1, 2, 3, 0x01, 4, 5, 6},                    // a run past the end, bytes left
        {0x07, 1, 2, 3, 0xC2, 4, 5, 6},                    // a group that runs out
        {0x06, 1, 2, 3, 0xC3, 4, 5, 6, 7, 8, 9, 1, 2, 3},  // a group past the end
    };
    for (const auto &bytes : damaged)
        ASSERT_EQ(mvInsertCompressedImage(track, 0, bytes.size(), const_cast<uint8_t *>(bytes.data())), 0);
    std::vector<uint32_t> shown(8);
    for (int frame = 0; frame < 4; frame++) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(__mvT_ReadRGBXImage(track, frame, shown.size() * 4, shown.data()), -1) << frame;
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(mvGetErrno(), MV_ERR_COMPRESSION) << frame;
        EXPECT_NE(std::string(mvGetErrorStr(mvGetErrno())).find("damaged data"), std::string::npos)
            << mvGetErrorStr(mvGetErrno());
    }
    // A whole picture with padding after it is that picture.
    const uint8_t padded[] = {0x08, 1, 2, 3, 0, 0, 0, 0};
    ASSERT_EQ(mvInsertCompressedImage(track, 4, sizeof padded, const_cast<uint8_t *>(padded)), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(__mvT_ReadRGBXImage(track, 4, shown.size() * 4, shown.data()), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, std::vector<uint32_t>(8, 0x00030201));
}

// Halves that change at different frames are coded as unchanged later on,
// so a decoder out of step shows a wrong picture at once. The colours are
// ones the 5-5-5 coding keeps exactly; frames 0 and 5 are key frames.
TEST(HalfChanges, FramesReadInAnyOrderShowTheirOwnPicture)
{
    constexpr int kSide = 8;
    const uint32_t halves[6][2] = {{0xFF, 0xFF},         {0xFF00, 0xFF},     {0xFF0000, 0xFF},
                                   {0xFF0000, 0xFFFFFF}, {0xFF00, 0xFFFFFF}, {0xFF, 0xFF}};
    auto picture = [&](int frame) {
        std::vector<uint32_t> p(kSide * kSide);
        for (size_t i = 0; i < p.size(); i++)
            p[i] = halves[frame][i % kSide >= kSide / 2];
        return p;
    };
    mvInitQuickTime();
    MemMovie movie;
    const MVid track = movie.addImage(imageParams(kSide, kSide, DM_PACKING_RGBX, "Apple Video"));
    ASSERT_NE(track, 0) << mvGetErrorStr(mvGetErrno());
    for (int frame = 0; frame < 6; frame++)
        ASSERT_EQ(mvInsertFrames(track, frame, 1, kSide * kSide * 4, picture(frame).data()), 0);
    auto read = [&](MVid from, int frame, std::vector<uint32_t> &into) {
        EXPECT_EQ(mvReadFrames(from, frame, 1, into.size() * 4, into.data()), 0) << frame;
        return into;
    };

    std::vector<uint32_t> a(kSide * kSide), b(kSide * kSide);
    for (int frame = 0; frame < 5; frame++)
        EXPECT_EQ(read(track, frame, frame % 2 ? b : a), picture(frame)) << frame;
    for (int frame : {3, 1, 4, 0, 5, 2})
        EXPECT_EQ(read(track, frame, a), picture(frame)) << frame;
    ASSERT_EQ(__mvT_ReadRGBXImage(track, 3, b.size() * 4, b.data()), 0);
    EXPECT_EQ(b, picture(3));
    std::vector<uint32_t> many(kSide * kSide * 4);
    ASSERT_EQ(mvReadFrames(track, 1, 4, many.size() * 4, many.data()), 0);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(std::vector<uint32_t>(many.begin() + i * kSide * kSide,
                                        many.begin() + (i + 1) * kSide * kSide),
                  picture(1 + i))
            << i;

    for (int frame = 0; frame < 6; frame++)
        EXPECT_EQ(__mvT_IsKeyFrame(track, frame), frame == 0 || frame == 5 ? 1 : 0) << frame;

    // Frame 3 cut short fails half drawn on the way to frame 4; frame 2 must
    // not be drawn over that half picture.
    std::vector<uint8_t> stored(mvGetCompressedImageSize(track, 3));
    ASSERT_EQ(mvReadCompressedImage(track, 3, stored.size(), stored.data()), 0);
    ASSERT_EQ(mvDeleteFrames(track, 3, 1), 0);
    ASSERT_EQ(mvInsertCompressedImage(track, 3, stored.size() - 1, stored.data()), 0);
    EXPECT_EQ(read(track, 1, a), picture(1));
    EXPECT_EQ(mvReadFrames(track, 4, 1, a.size() * 4, a.data()), -1);
    EXPECT_EQ(read(track, 2, a), picture(2));
}

}  // namespace
