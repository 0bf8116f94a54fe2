// Tracks in a movie: adding, finding by medium, removing, the limit of ten.
#include <gtest/gtest.h>

#include <tuple>

#include "error.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

// The first of three tracks, holding frames, is removed from a movie marked
// optimised.
TEST(Tracks, RemovingTheFirstOfThreeMovesTheLastIntoItsSlotAndMarksTheMovie)
{
    MemMovie movie;
    MVid first = movie.addAudio(audioParams());
    MVid second = movie.addAudio(audioParams(8, 1));
    MVid third = movie.addAudio(audioParams(16, 1));
    ASSERT_NE(third, 0);
    MVid found = 0;
    ASSERT_EQ(mvFindTrackByMedium(movie.id(), DM_MEDIUM_AUDIO, &found), 0);
    EXPECT_EQ(found, first);
    std::vector<int16_t> samples(2 * 30, 0x1020);
    ASSERT_EQ(mvInsertFrames(first, 0, 30, samples.size() * 2, samples.data()), 0);
    ASSERT_EQ(dmParamsSetInt(mvGetParams(movie.id()), MV_OPTIMIZED, 1), 0);
    __mvFindMovie(movie.id())->dirty = false;

    ASSERT_EQ(mvRemoveTrack(movie.id(), first), 0);
    EXPECT_EQ(std::tuple(mvGetOptimized(movie.id()), __mvFindMovie(movie.id())->dirty, __mvMV_TrackCount(movie.id())),
              std::tuple(0, true, 2));
    EXPECT_EQ(std::pair(__mvMV_TrackAt(movie.id(), 0), __mvMV_TrackAt(movie.id(), 1)), std::pair(third, second));
    ASSERT_EQ(mvFindTrackByMedium(movie.id(), DM_MEDIUM_AUDIO, &found), 0);
    EXPECT_EQ(found, third);
    // The removed track is gone from every registry.
    EXPECT_EQ(mvGetParams(first), nullptr);
    EXPECT_TRUE(failsWith(mvRemoveTrack(movie.id(), first), MV_ERR_BAD_ID));
    // A track of another movie cannot be removed.
    MemMovie other;
    MVid track = other.addImage(imageParams());
    EXPECT_TRUE(failsWith(mvRemoveTrack(movie.id(), track), MV_ERR_BAD_ID));
    EXPECT_EQ(mvGetTrackMedium(track), DM_MEDIUM_IMAGE);
}

// Other media, unknown schemes and an eleventh track are refused and leave
// the movie as it was.
TEST(Tracks, RefusedTracksLeaveTheMovieAsItWas)
{
    MemMovie movie;
    Params p = audioParams();
    MVid track = 12345;
    EXPECT_TRUE(failsWith(mvAddTrack(movie.id(), 202, p.get(), nullptr, &track), MV_ERR_BAD_MEDIUM));
    Params scheme = imageParams(16, 16, DM_PACKING_RGBX, "No Such Scheme");
    EXPECT_TRUE(
        failsWith(mvAddTrack(movie.id(), DM_MEDIUM_IMAGE, scheme.get(), nullptr, &track), MV_ERR_UNKNOWN_SCHEME));
    EXPECT_EQ(__mvMV_TrackCount(movie.id()), 0);
    EXPECT_TRUE(failsWith(mvFindTrackByMedium(movie.id(), DM_MEDIUM_AUDIO, &track), MV_ERR_NO_TRACK));
    EXPECT_TRUE(failsWith(mvFindTrackByMedium(movie.id(), 202, &track), MV_ERR_NO_TRACK));

    for (int i = 0; i < MV_MAX_TRACKS; i++)
        ASSERT_NE(i % 2 ? movie.addAudio(audioParams()) : movie.addImage(imageParams()), 0) << i;
    track = 12345;
    Params image = imageParams();
    EXPECT_TRUE(failsWith(mvAddTrack(movie.id(), DM_MEDIUM_IMAGE, image.get(), nullptr, &track), MV_ERR_NO_MEMORY));
    EXPECT_EQ(track, 12345);
    EXPECT_EQ(__mvMV_TrackCount(movie.id()), MV_MAX_TRACKS);
    // After a removal there is room again.
    ASSERT_EQ(mvRemoveTrack(movie.id(), __mvMV_TrackAt(movie.id(), 3)), 0);
    EXPECT_NE(movie.addAudio(audioParams()), 0);
}

}  // namespace
