// Tracks in a movie: adding, finding by medium, removing, the limit of ten.
#include <gtest/gtest.h>

#include "error.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

TEST(Tracks, OtherMediaAndUnknownSchemesAreRefused)
{
    MemMovie movie;
    Params p = audioParams();
    MVid track = 0;
    EXPECT_EQ(mvAddTrack(movie.id(), 202, p.get(), nullptr, &track), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_BAD_MEDIUM);
    Params scheme = imageParams(16, 16, DM_PACKING_RGBX, "No Such Scheme");
    EXPECT_EQ(mvAddTrack(movie.id(), DM_MEDIUM_IMAGE, scheme.get(), nullptr, &track), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_UNKNOWN_SCHEME);
    EXPECT_EQ(__mvMV_TrackCount(movie.id()), 0);
    EXPECT_EQ(mvFindTrackByMedium(movie.id(), DM_MEDIUM_AUDIO, &track), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_NO_TRACK);
    EXPECT_EQ(mvFindTrackByMedium(movie.id(), 202, &track), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_NO_TRACK);
}

TEST(Tracks, RemovingTheFirstOfThreeMovesTheLastIntoItsSlot)
{
    MemMovie movie;
    MVid first = movie.addAudio(audioParams());
    MVid second = movie.addAudio(audioParams(8, 1));
    MVid third = movie.addAudio(audioParams(16, 1));
    ASSERT_NE(third, 0);
    MVid found = 0;
    ASSERT_EQ(mvFindTrackByMedium(movie.id(), DM_MEDIUM_AUDIO, &found), 0);
    EXPECT_EQ(found, first);

    ASSERT_EQ(mvRemoveTrack(movie.id(), first), 0);
    EXPECT_EQ(__mvMV_TrackAt(movie.id(), 0), third);
    EXPECT_EQ(__mvMV_TrackAt(movie.id(), 1), second);
    ASSERT_EQ(mvFindTrackByMedium(movie.id(), DM_MEDIUM_AUDIO, &found), 0);
    EXPECT_EQ(found, third);
    // The removed track is gone from every registry.
    EXPECT_EQ(mvGetParams(first), nullptr);
    EXPECT_EQ(mvRemoveTrack(movie.id(), first), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_BAD_ID);
    // A track of another movie cannot be removed.
    MemMovie other;
    MVid track = other.addImage(imageParams());
    EXPECT_EQ(mvRemoveTrack(movie.id(), track), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_BAD_ID);
    EXPECT_EQ(mvGetTrackMedium(track), DM_MEDIUM_IMAGE);
}

TEST(Tracks, RemovingATrackFreesItsFramesAndMarksTheMovie)
{
    MemMovie movie;
    MVid image = movie.addImage(imageParams(2, 2));
    std::vector<uint32_t> frames(4 * 3, 0x00102030);
    ASSERT_EQ(mvInsertFrames(image, 0, 3, frames.size() * 4, frames.data()), 0);
    ASSERT_EQ(dmParamsSetInt(mvGetParams(movie.id()), MV_OPTIMIZED, 1), 0);
    ASSERT_EQ(mvRemoveTrack(movie.id(), image), 0);
    EXPECT_EQ(mvGetOptimized(movie.id()), 0);
    EXPECT_TRUE(__mvFindMovie(movie.id())->dirty);
    EXPECT_EQ(__mvMV_TrackCount(movie.id()), 0);
}

TEST(Tracks, AnEleventhTrackIsRefusedCleanly)
{
    MemMovie movie;
    for (int i = 0; i < MV_MAX_TRACKS; i++)
        ASSERT_NE(i % 2 ? movie.addAudio(audioParams()) : movie.addImage(imageParams()), 0) << i;
    MVid extra = 12345;
    Params p = imageParams();
    EXPECT_EQ(mvAddTrack(movie.id(), DM_MEDIUM_IMAGE, p.get(), nullptr, &extra), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_NO_MEMORY);
    EXPECT_EQ(extra, 12345);
    EXPECT_EQ(__mvMV_TrackCount(movie.id()), MV_MAX_TRACKS);
    // After a removal there is room again.
    ASSERT_EQ(mvRemoveTrack(movie.id(), __mvMV_TrackAt(movie.id(), 3)), 0);
    EXPECT_NE(movie.addAudio(audioParams()), 0);
}

}  // namespace
