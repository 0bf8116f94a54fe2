// Image frames: reads for display, stored frames, per-frame parameters and
// where an inter-frame decoder has to start.
#include <cstring>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "directory.h"
#include "error.h"
#include "frames.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

std::vector<uint8_t> asBytes(std::initializer_list<uint32_t> words)
{
    std::vector<uint8_t> out(words.size() * 4);
    std::memcpy(out.data(), std::data(words), out.size());
    return out;
}

std::vector<uint8_t> asBytes16(std::initializer_list<uint16_t> values)
{
    std::vector<uint8_t> out(values.size() * 2);
    std::memcpy(out.data(), std::data(values), out.size());
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
        {"rgbx", DM_PACKING_RGBX, 2, 2, asBytes({0x00000001, 0x00000203, 0x00040506, 0x00FFFFFF}),
         {0x00000001, 0x00000203, 0x00040506, 0x00FFFFFF}},
        {"grey", DM_PACKING_GRAY, 3, 1, {0x00, 0x80, 0xFF}, {0x00000000, 0x00808080, 0x00FFFFFF}},
        // Blue low, red high; rows come out in the other order.
        {"xbgr", DM_PACKING_XBGR, 2, 2, asBytes({0xFF0000FF, 0x0000FF00, 0x00FF0000, 0x00123456}),
         {0x000000FF, 0x00563412, 0x00FF0000, 0x0000FF00}},
        // First stored row red, second blue: shown blue above red.
        {"555", DM_PACKING_RGB555, 2, 2, asBytes16({0x7C00, 0x7C00, 0x001F, 0x001F}),
         {0x00FF0000, 0x00FF0000, 0x000000FF, 0x000000FF}},
        // Each 5-bit component c becomes (c << 3) | (c >> 2).
        {"555 levels", DM_PACKING_RGB555, 3, 1, asBytes16({0x0421, 0x4210, 0x03E0}),
         {0x00080808, 0x00848484, 0x0000FF00}},
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
        EXPECT_EQ(__mvT_ReadRGBXImage(track, 1, shown.size() * 4, shown.data()), -1);
        EXPECT_EQ(mvGetErrno(), MV_ERR_FRAME_RANGE);
    }
}

TEST(ImageFrames, StoredFramesAreReadWholeOrNotAtAll)
{
    MemMovie movie;
    MVid track = movie.addImage(imageParams(4, 4));
    uint8_t stored[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(mvInsertCompressedImage(track, 0, sizeof stored, stored), 0);
    EXPECT_EQ(mvGetCompressedImageSize(track, 0), 5u);
    EXPECT_EQ(mvGetCompressedImageSize(track, 1), 0u);
    EXPECT_EQ(mvGetErrno(), MV_ERR_FRAME_RANGE);
    uint8_t small[4] = {9, 9, 9, 9};
    EXPECT_EQ(mvReadCompressedImage(track, 0, sizeof small, small), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_FRAME_RANGE);
    EXPECT_EQ(small[0], 9);
    uint8_t exact[5] = {};
    ASSERT_EQ(mvReadCompressedImage(track, 0, sizeof exact, exact), 0);
    EXPECT_EQ(std::memcmp(exact, stored, 5), 0);
    EXPECT_EQ(mvInsertCompressedImage(track, 2, sizeof stored, stored), -1);
    EXPECT_EQ(mvInsertCompressedImage(track, 0, 0, stored), -1);
    EXPECT_EQ(mvGetErrno(), EINVAL);
    // A stored frame shorter than a picture reads with the rest black.
    std::vector<uint32_t> picture(16, 0xFFFFFFFF);
    ASSERT_EQ(mvReadFrames(track, 0, 1, picture.size() * 4, picture.data()), 0);
    EXPECT_EQ(picture[0], 0x01020304u);
    EXPECT_EQ(picture[1], 0x05000000u);
    EXPECT_EQ(picture[15], 0u);
}

TEST(FrameParams, KeyMarksAndUserParametersPerFrame)
{
    MemMovie movie;
    MVid track = movie.addImage(imageParams(1, 1));
    uint32_t pixels[2] = {1, 2};
    ASSERT_EQ(mvInsertFrames(track, 0, 2, sizeof pixels, pixels), 0);
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
    EXPECT_EQ(__mvSetFrameParams(track, 0, wrong.get(), nullptr), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_WRONG_TYPE);
    Params user = newParams();
    dmParamsSetInt(user.get(), "MODEL_SHOT", 3);
    EXPECT_EQ(__mvSetFrameParams(track, 0, user.get(), nullptr), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_USER_PARAM_TYPE);
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

}  // namespace
