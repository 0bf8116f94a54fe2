// Timecodes of image frames: conversions both ways at rates that divide 30
// and rates that do not, the text form, and the texts the time field refuses.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "movie/movie_builders.h"

using namespace testing_movie;

namespace {

// Adds to movie an image track of the given rate and length.
MVid addRatedTrack(MemMovie &movie, double rate, int frames = 0)
{
    MVid track = movie.addImage(imageParams(2, 1, DM_PACKING_RGBX, DM_IMAGE_UNCOMPRESSED, rate));
    std::vector<uint32_t> pixels(2 * static_cast<size_t>(frames), 0x00112233);
    if (frames > 0)
        mvInsertFrames(track, 0, frames, pixels.size() * 4, pixels.data());
    return track;
}

unsigned back(MVid movie, int h, int m, int s, unsigned f)
{
    unsigned frame = 7;
    EXPECT_EQ(mvTimeToFrame(movie, h, m, s, f, 2, &frame), 0);
    return frame;
}

TEST(Timecode, TextsAndTimesOfFramesAtEachRate)
{
    // Rates that divide 30 round trip; others lose the partial second, and
    // slow rates have no frames part.
    const struct {
        double rate;
        unsigned frame;
        const char *text;
        unsigned back;  // the frame the text's time gives
    } cases[] = {
        {30.0, 95, "00:00:03:05", 95},
        {15.0, 37, "00:00:02:14", 37},
        {24.0, 37, "00:00:01:13", 34},
        {30.0, (3600 + 120 + 3) * 30 + 4, "01:02:03:04", (3600 + 120 + 3) * 30 + 4},
        {1.0, 61, "00:01:01:00", 61},
    };
    for (const auto &c : cases) {
        MemMovie movie;
        addRatedTrack(movie, c.rate);
        char text[64];
        std::memset(text, 'x', sizeof text);  // the terminating zero must be written
        ASSERT_EQ(mvFrameToString(movie.id(), c.frame, 2, text), 0);
        EXPECT_STREQ(text, c.text) << c.rate;
        int h = -1, m = -1, s = -1, f = -1;
        ASSERT_EQ(mvFrameToTime(movie.id(), c.frame, 2, &h, &m, &s, &f), 0);
        char fromParts[32];
        std::snprintf(fromParts, sizeof fromParts, "%02d:%02d:%02d:%02d", h, m, s, f);
        EXPECT_STREQ(fromParts, c.text) << c.rate;
        EXPECT_EQ(back(movie.id(), h, m, s, unsigned(f)), c.back) << c.rate;
    }
    MemMovie at30;
    addRatedTrack(at30, 30.0);
    for (unsigned f : {0u, 1u, 29u, 30u, 1799u, 1800u, 108000u, 123457u}) {
        int h = -1, m = -1, s = -1, fr = -1;
        ASSERT_EQ(mvFrameToTime(at30.id(), f, 2, &h, &m, &s, &fr), 0);
        EXPECT_EQ(back(at30.id(), h, m, s, static_cast<unsigned>(fr)), f);
    }
}

TEST(Timecode, OtherFormatsWriteNothingMoviesWithoutPicturesFailAndLongTimesSaturate)
{
    MemMovie at30;
    addRatedTrack(at30, 30.0);
    int h = 9, m = 9, s = 9, f = 9;
    EXPECT_EQ(mvFrameToTime(at30.id(), 95, 1, &h, &m, &s, &f), 0);
    EXPECT_EQ(h + m + s + f, 36);
    unsigned frame = 5;
    EXPECT_EQ(mvTimeToFrame(at30.id(), 0, 0, 3, 5, 3, &frame), 0);
    EXPECT_EQ(frame, 5u);
    char buffer[16];
    EXPECT_EQ(mvFrameToString(at30.id(), 95, 0, buffer), 0);
    EXPECT_STREQ(buffer, "00:00:00:00");

    MemMovie soundOnly;
    soundOnly.addAudio(audioParams());
    EXPECT_EQ(mvFrameToTime(soundOnly.id(), 1, 2, &h, &m, &s, &f), -1);
    EXPECT_EQ(mvTimeToFrame(soundOnly.id(), 0, 0, 1, 0, 2, &frame), -1);
    EXPECT_EQ(mvFrameToString(soundOnly.id(), 1, 2, buffer), -1);
    EXPECT_EQ(mvStringToFrame(soundOnly.id(), "1", 2, &frame), -1);

    EXPECT_EQ(back(at30.id(), 0, 0, -1, 0), 4294967295u);
    // 200 million seconds at 30 frames per second is past 2^32 frames.
    EXPECT_EQ(back(at30.id(), 0, 0, 200000000, 0), 4294967295u);
    EXPECT_EQ(back(at30.id(), 0, 0, 143165576, 0), 4294967280u);
}

// What the time field takes, in a 30-frame-per-second movie of 3000 frames
// (100 seconds) standing at its first frame: a frame, or -1 for a refusal
// that leaves the frame alone.
TEST(Timecode, TimeFieldTextsAreReadOrRefused)
{
    MemMovie movie;
    ASSERT_EQ(mvGetTrackLength(addRatedTrack(movie, 30.0, 3000)), 3000);
    const struct {
        const char *text;
        long frame;
    } cases[] = {
        {"5", 5}, {"2:0", 60}, {"1:02:03", 1863}, {"0:0:1:10", 40}, {"::3::5::", 95}, {"29", 29},
        {"90:00:00", 2999},  // clamped
        {"75", -1}, {"60:00", -1}, {"1:2:3:4:5", -1}, {"", -1}, {":::", -1}, {"1a", -1},
        {"-1", -1}, {" 1", -1}, {"99999999999999999999", -1},
    };
    for (const auto &c : cases) {
        unsigned frame = 12345;
        const std::string copy = c.text;  // on the heap, where a read past its end shows
        EXPECT_EQ(mvStringToFrame(movie.id(), copy.c_str(), 2, &frame), c.frame < 0 ? -1 : 0)
            << c.text;
        EXPECT_EQ(frame, c.frame < 0 ? 12345u : unsigned(c.frame)) << c.text;
    }
}

}  // namespace
