// Image tracks with a codec: frames go through the codec bridge both ways,
// and reads out of order bring an inter-frame decoder in step first.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cinelark/playback.h>

#include "error.h"
#include "frames.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

std::vector<uint32_t> flat(int pixels, uint32_t colour)
{
    return std::vector<uint32_t>(size_t(pixels), colour);
}

TEST(CodecFrames, EightBitFramesAreStoredOneBytePerPixel)
{
    MemMovie movie;
    MVid track = movie.addImage(imageParams(2, 2, DM_PACKING_RGBX, "8RGB"));
    ASSERT_NE(track, 0) << mvGetErrorStr(mvGetErrno());
    std::vector<uint32_t> frames = flat(4, 0x00FFFFFF);
    std::vector<uint32_t> grey = flat(4, 0x00808080);
    frames.insert(frames.end(), grey.begin(), grey.end());
    ASSERT_EQ(mvInsertFrames(track, 0, 2, frames.size() * 4, frames.data()), 0);

    ASSERT_EQ(mvGetCompressedImageSize(track, 0), 4u);
    uint8_t stored[4] = {};
    ASSERT_EQ(mvReadCompressedImage(track, 1, sizeof stored, stored), 0);
    EXPECT_EQ(std::vector<uint8_t>(stored, stored + 4), std::vector<uint8_t>(4, 0x94));
    std::vector<uint32_t> back(8);
    ASSERT_EQ(mvReadFrames(track, 0, 2, back.size() * 4, back.data()), 0);
    EXPECT_EQ(std::vector<uint32_t>(back.begin(), back.begin() + 4), flat(4, 0x00FFFFFF));
    EXPECT_EQ(std::vector<uint32_t>(back.begin() + 4, back.end()), flat(4, 0x00AA9292));
    // An intra-frame scheme: every frame stands alone.
    EXPECT_EQ(__mvT_IsKeyFrame(track, 1), 1);
}

TEST(CodecFrames, PastingBetweenSchemesDecodesAndCompressesAgain)
{
    MemMovie movie;
    MVid plain = movie.addImage(imageParams(8, 4, DM_PACKING_RGBX));
    MVid packed = movie.addImage(imageParams(8, 4, DM_PACKING_RGBX, "RLE24"));
    ASSERT_NE(packed, 0) << mvGetErrorStr(mvGetErrno());
    // Runs the run-length coder shrinks, and one odd pixel.
    std::vector<uint32_t> frames = flat(64, 0x00336699);
    frames[40] = 0x00010203;
    ASSERT_EQ(mvInsertFrames(plain, 0, 2, frames.size() * 4, frames.data()), 0);

    ASSERT_EQ(mvPasteFrames(plain, 0, 2, packed, 0), 0);
    EXPECT_LT(mvGetCompressedImageSize(packed, 0), 128u);
    std::vector<uint32_t> back(64);
    ASSERT_EQ(mvReadFrames(packed, 0, 2, back.size() * 4, back.data()), 0);
    EXPECT_EQ(back, frames);

    // And back into stored pictures of the full size.
    ASSERT_EQ(mvPasteFrames(packed, 1, 1, plain, 2), 0);
    EXPECT_EQ(mvGetCompressedImageSize(plain, 2), 128u);
    std::vector<uint32_t> again(32);
    ASSERT_EQ(mvReadFrames(plain, 2, 1, again.size() * 4, again.data()), 0);
    EXPECT_EQ(again, std::vector<uint32_t>(frames.begin() + 32, frames.end()));
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
    EXPECT_EQ(shown, flat(8, 0x00030201));
}

// Apple Video pictures whose halves change at different frames, so that
// later frames code one half as unchanged and show a wrong picture under
// them at once. The colours are ones the 5-5-5 coding keeps exactly.
class HalfChanges : public ::testing::Test {
protected:
    static constexpr int kSide = 8;
    // Left and right colour of frames 0 to 5; frames 0 and 5 are key frames.
    const uint32_t halves_[6][2] = {{0xFF, 0xFF},     {0xFF00, 0xFF},     {0xFF0000, 0xFF},
                                    {0xFF0000, 0xFFFFFF}, {0xFF00, 0xFFFFFF}, {0xFF, 0xFF}};

    std::vector<uint32_t> picture(int frame) const
    {
        std::vector<uint32_t> p(kSide * kSide);
        for (size_t i = 0; i < p.size(); i++)
            p[i] = halves_[frame][i % kSide >= kSide / 2];
        return p;
    }

    void SetUp() override
    {
        mvInitQuickTime();
        track_ = movie_.addImage(imageParams(kSide, kSide, DM_PACKING_RGBX, "Apple Video"));
        ASSERT_NE(track_, 0) << mvGetErrorStr(mvGetErrno());
        for (int frame = 0; frame < 6; frame++)
            ASSERT_EQ(mvInsertFrames(track_, frame, 1, kSide * kSide * 4, picture(frame).data()), 0);
    }

    std::vector<uint32_t> read(int frame, std::vector<uint32_t> &into)
    {
        EXPECT_EQ(mvReadFrames(track_, frame, 1, into.size() * 4, into.data()), 0) << frame;
        return into;
    }

    MemMovie movie_;
    MVid track_ = 0;
};

TEST_F(HalfChanges, TheFirstAndEveryFifthFrameAfterItAreKeyFrames)
{
    for (int frame = 0; frame < 6; frame++)
        EXPECT_EQ(__mvT_IsKeyFrame(track_, frame), frame == 0 || frame == 5 ? 1 : 0) << frame;
    EXPECT_EQ(dmParamsGetInt(__mvGetFrameParams(track_, 5), MV_KEY_FRAME), 1);
}

TEST_F(HalfChanges, FramesReadInAnyOrderIntoAnyBufferShowTheirOwnPicture)
{
    std::vector<uint32_t> a(kSide * kSide), b(kSide * kSide);
    for (int frame = 0; frame < 5; frame++)
        EXPECT_EQ(read(frame, frame % 2 ? b : a), picture(frame)) << frame;
    for (int frame : {3, 1, 4, 0, 5, 2})
        EXPECT_EQ(read(frame, a), picture(frame)) << frame;
    ASSERT_EQ(__mvT_ReadRGBXImage(track_, 3, b.size() * 4, b.data()), 0);
    EXPECT_EQ(b, picture(3));
    std::vector<uint32_t> many(kSide * kSide * 4);
    ASSERT_EQ(mvReadFrames(track_, 1, 4, many.size() * 4, many.data()), 0);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(std::vector<uint32_t>(many.begin() + i * kSide * kSide,
                                        many.begin() + (i + 1) * kSide * kSide),
                  picture(1 + i))
            << i;
}

TEST_F(HalfChanges, PastingIntoATrackOfTheSameSchemeKeepsTheStoredFramesAndKeyMarks)
{
    MVid copy = movie_.addImage(imageParams(kSide, kSide, DM_PACKING_RGBX, "Apple Video"));
    ASSERT_NE(copy, 0);
    ASSERT_EQ(mvPasteFrames(track_, 0, 6, copy, 0), 0);
    for (int frame = 0; frame < 6; frame++) {
        EXPECT_EQ(mvGetCompressedImageSize(copy, frame), mvGetCompressedImageSize(track_, frame));
        EXPECT_EQ(__mvT_IsKeyFrame(copy, frame), __mvT_IsKeyFrame(track_, frame));
    }
    std::vector<uint32_t> shown(kSide * kSide);
    ASSERT_EQ(mvReadFrames(copy, 4, 1, shown.size() * 4, shown.data()), 0);
    EXPECT_EQ(shown, picture(4));
}

// Frame 3 cut short fails half drawn on the way to frame 4; frame 2, which
// follows the last frame read, must not be drawn over that half picture.
TEST_F(HalfChanges, AFailedCatchUpLeavesNoPictureToDrawOn)
{
    std::vector<uint8_t> stored(mvGetCompressedImageSize(track_, 3));
    ASSERT_EQ(mvReadCompressedImage(track_, 3, stored.size(), stored.data()), 0);
    ASSERT_EQ(mvDeleteFrames(track_, 3, 1), 0);
    ASSERT_EQ(mvInsertCompressedImage(track_, 3, stored.size() - 1, stored.data()), 0);
    std::vector<uint32_t> shown(kSide * kSide);
    EXPECT_EQ(read(1, shown), picture(1));
    EXPECT_EQ(mvReadFrames(track_, 4, 1, shown.size() * 4, shown.data()), -1);
    EXPECT_EQ(read(2, shown), picture(2));
}

TEST(AppleAnimation, TheCallersFramesAreLeftAsGiven)
{
    mvInitQuickTime();
    MemMovie movie;
    MVid track = movie.addImage(imageParams(2, 2, DM_PACKING_RGBX, "Apple Animation"));
    ASSERT_NE(track, 0) << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(dmParamsGetInt(mvGetParams(track), MV_IMAGE_CSIZE), 24);
    // Bottom row red, top row blue: a coder that turns frames over would
    // show here.
    uint32_t frame[4] = {0x000000FF, 0x000000FF, 0x00FF0000, 0x00FF0000};
    const std::vector<uint32_t> given(frame, frame + 4);
    ASSERT_EQ(mvInsertFrames(track, 0, 1, sizeof frame, frame), 0);
    EXPECT_EQ(std::vector<uint32_t>(frame, frame + 4), given);
    uint32_t back[4] = {};
    ASSERT_EQ(mvReadFrames(track, 0, 1, sizeof back, back), 0);
    EXPECT_EQ(std::vector<uint32_t>(back, back + 4), given);
}

}  // namespace
