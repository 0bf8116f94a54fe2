// The position marker's frame and pixel mapping, and the frame field's test
// for a whole number.
#include <cstdlib>

#include <gtest/gtest.h>

#include "marker_map.h"

namespace {

using marker::frameToPixel;
using marker::pixelToFrame;

TEST(MarkerMap, HundredFramesOnA345PixelPicture)
{
    const int length = 345 - 25;
    EXPECT_EQ(frameToPixel(0, length, 100), 0);
    EXPECT_EQ(frameToPixel(50, length, 100), 161);
    EXPECT_EQ(frameToPixel(99, length, 100), 320);
    EXPECT_EQ(pixelToFrame(0, length, 100), 0);
    EXPECT_EQ(pixelToFrame(320, length, 100), 99);
    EXPECT_EQ(pixelToFrame(161, length, 100), 50);
    // Outside the slider the marker is clamped to its ends.
    EXPECT_EQ(pixelToFrame(-40, length, 100), 0);
    EXPECT_EQ(pixelToFrame(1000, length, 100), 99);
}

TEST(MarkerMap, FramesComeBackFromTheirPixels)
{
    // Exactly when every frame has a whole number of pixels; otherwise the
    // truncations may land on a neighbour, never further away.
    for (int frames : {2, 3, 10, 100, 320, 321, 1000}) {
        for (int length : {1, 50, 295, 320, 615, 999}) {
            if (frames - 1 > length)
                continue;  // several frames share each pixel
            bool exact = length % (frames - 1) == 0;
            for (int f = 0; f < frames; ++f) {
                int back = pixelToFrame(frameToPixel(f, length, frames), length, frames);
                if (exact)
                    ASSERT_EQ(back, f) << frames << " frames, " << length << " pixels";
                else
                    ASSERT_LE(std::abs(back - f), 1)
                        << frames << " frames, " << length << " pixels";
            }
        }
    }
}

TEST(MarkerMap, PixelsNeverLeaveTheMovie)
{
    for (int frames : {1, 2, 7, 5000})
        for (int x = -5; x < 400; ++x) {
            int f = pixelToFrame(x, 320, frames);
            ASSERT_GE(f, 0);
            ASSERT_LT(f, frames);
        }
}

TEST(MarkerMap, DegenerateSlidersAndMovies)
{
    // One frame: the marker stays at 0 and every pixel is frame 0.
    EXPECT_EQ(frameToPixel(0, 320, 1), 0);
    for (int x : {0, 1, 160, 320})
        EXPECT_EQ(pixelToFrame(x, 320, 1), 0);
    // A picture narrower than the marker has no slider.
    EXPECT_EQ(frameToPixel(5, 0, 10), 0);
    EXPECT_EQ(frameToPixel(5, -10, 10), 0);
    EXPECT_EQ(pixelToFrame(5, 0, 10), 0);
    // Huge movies do not overflow.
    EXPECT_EQ(frameToPixel(2000000000, 3000, 2000000001), 3000);
}

TEST(FrameField, WholeNumbers)
{
    EXPECT_TRUE(marker::isWholeNumber(""));
    EXPECT_TRUE(marker::isWholeNumber("0"));
    EXPECT_TRUE(marker::isWholeNumber("99999"));
    EXPECT_FALSE(marker::isWholeNumber("12a"));
    EXPECT_FALSE(marker::isWholeNumber("-1"));
    EXPECT_FALSE(marker::isWholeNumber(" 1"));
    EXPECT_FALSE(marker::isWholeNumber(nullptr));
}

}  // namespace
