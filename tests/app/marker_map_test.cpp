// The position marker's frame and pixel mapping, and the frame field's test
// for a whole number.
#include <cstdlib>

#include <gtest/gtest.h>

#include "marker_map.h"

namespace {

using marker::frameToPixel;
using marker::pixelToFrame;

TEST(MarkerMap, KnownFramesAndPixels)
{
    // A 345-pixel picture less the marker's 25 pixels is a 320-pixel slider.
    const struct {
        bool toPixel;
        int value, length, frames, want;
    } cases[] = {
        {true, 0, 320, 100, 0}, {true, 50, 320, 100, 161}, {true, 99, 320, 100, 320},
        {false, 0, 320, 100, 0}, {false, 320, 320, 100, 99}, {false, 161, 320, 100, 50},
        // Outside the slider the marker is clamped to its ends.
        {false, -40, 320, 100, 0}, {false, 1000, 320, 100, 99},
        // One frame: the marker stays at 0 and every pixel is frame 0.
        {true, 0, 320, 1, 0}, {false, 1, 320, 1, 0}, {false, 320, 320, 1, 0},
        // A picture narrower than the marker has no slider.
        {true, 5, 0, 10, 0}, {true, 5, -10, 10, 0}, {false, 5, 0, 10, 0},
        // Huge movies do not overflow.
        {true, 2000000000, 3000, 2000000001, 3000},
    };
    for (const auto &c : cases) {
        const int got = c.toPixel ? frameToPixel(c.value, c.length, c.frames)
                                  : pixelToFrame(c.value, c.length, c.frames);
        EXPECT_EQ(got, c.want) << (c.toPixel ? "frame " : "pixel ") << c.value << ", slider "
                               << c.length << ", " << c.frames << " frames";
    }
}

TEST(MarkerMap, FramesComeBackFromTheirPixelsAndPixelsStayInTheMovie)
{
    // Exactly when every frame has a whole number of pixels; otherwise the
    // truncations may land on a neighbour, never further away.
    for (int frames : {1, 2, 3, 7, 10, 100, 320, 321, 1000, 5000}) {
        for (int length : {1, 50, 295, 320, 615, 999}) {
            SCOPED_TRACE(std::to_string(frames) + " frames, " + std::to_string(length) + " pixels");
            for (int x = -5; x < length + 5; ++x) {
                const int f = pixelToFrame(x, length, frames);
                ASSERT_TRUE(f >= 0 && f < frames) << "pixel " << x << " gives " << f;
            }
            if (frames < 2 || frames - 1 > length)
                continue;  // several frames share each pixel
            const bool exact = length % (frames - 1) == 0;
            for (int f = 0; f < frames; ++f) {
                const int back = pixelToFrame(frameToPixel(f, length, frames), length, frames);
                ASSERT_LE(std::abs(back - f), exact ? 0 : 1) << "frame " << f;
            }
        }
    }
}

TEST(FrameField, WholeNumbers)
{
    for (const char *yes : {"", "0", "99999"})
        EXPECT_TRUE(marker::isWholeNumber(yes)) << yes;
    for (const char *no : {"12a", "-1", " 1", "/", ":"})
        EXPECT_FALSE(marker::isWholeNumber(no)) << no;
    EXPECT_FALSE(marker::isWholeNumber(nullptr));
}

}  // namespace
