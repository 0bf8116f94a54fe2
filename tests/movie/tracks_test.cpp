// Tracks in a movie: adding, finding by medium, removing, the limit of ten;
// and below them the track set and the id registry.
#include <gtest/gtest.h>

#include "error.h"
#include "movie_builders.h"
#include "registry.h"
#include "trackset.h"

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
    EXPECT_EQ(mvGetOptimized(movie.id()), 0);
    EXPECT_TRUE(__mvFindMovie(movie.id())->dirty);
    EXPECT_EQ(__mvMV_TrackCount(movie.id()), 2);
    EXPECT_EQ(__mvMV_TrackAt(movie.id(), 0), third);
    EXPECT_EQ(__mvMV_TrackAt(movie.id(), 1), second);
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

TEST(TrackSet, KeepsOrderMovesTheLastIdIntoARemovedSlotAndHoldsTen)
{
    MVtrackset *set = nullptr;
    ASSERT_EQ(__mvIS_Create(&set), 0);
    EXPECT_EQ(__mvIS_Size(set), 0);
    for (MVid id : {10012, 10023, 10032})
        ASSERT_EQ(__mvIS_Add(set, id), 0);
    ASSERT_EQ(__mvIS_Remove(set, 10012), 0);
    ASSERT_EQ(__mvIS_Size(set), 2);
    EXPECT_EQ(__mvIS_Elem(set, 0), 10032);
    EXPECT_EQ(__mvIS_Elem(set, 1), 10023);
    EXPECT_EQ(__mvIS_Elem(set, 2), 0);
    EXPECT_EQ(__mvIS_Elem(set, -1), 0);
    // Removing the last one leaves the others in place; an absent id is a
    // bad id.
    ASSERT_EQ(__mvIS_Remove(set, 10023), 0);
    EXPECT_EQ(__mvIS_Elem(set, 0), 10032);
    EXPECT_TRUE(failsWith(__mvIS_Remove(set, 10022), MV_ERR_BAD_ID));
    EXPECT_EQ(__mvIS_Size(set), 1);

    // Ten tracks fill it; a freed slot can be used again.
    ASSERT_EQ(__mvIS_Remove(set, 10032), 0);
    for (int i = 0; i < MV_TRACKSET_SIZE; ++i)
        ASSERT_EQ(__mvIS_Add(set, 10002 + 10 * i), 0);
    EXPECT_TRUE(failsWith(__mvIS_Add(set, 99992), MV_ERR_NO_MEMORY));
    EXPECT_EQ(__mvIS_Size(set), MV_TRACKSET_SIZE);
    EXPECT_EQ(__mvIS_Elem(set, MV_TRACKSET_SIZE - 1), 10092);
    ASSERT_EQ(__mvIS_Remove(set, 10002), 0);
    EXPECT_EQ(__mvIS_Add(set, 99992), 0);
    __mvIS_Destroy(set);
}

TEST(Registry, FindsObjectsAndListsTheNewestFirst)
{
    MVregistry *r = nullptr;
    ASSERT_EQ(__mvM_Create(&r), 0);
    int a = 1, b = 2, c = 3;
    ASSERT_EQ(__mvM_Add(r, 10001, &a), 0);
    ASSERT_EQ(__mvM_Add(r, 10011, &b), 0);
    ASSERT_EQ(__mvM_Add(r, 10021, &c), 0);
    EXPECT_EQ(__mvM_Count(r), 3);
    EXPECT_EQ(__mvM_IdAt(r, 0), 10021);
    EXPECT_EQ(__mvM_IdAt(r, 2), 10001);
    EXPECT_EQ(__mvM_IdAt(r, 3), -1);
    void *found = nullptr;
    ASSERT_EQ(__mvM_Find(r, 10011, &found), 0);
    EXPECT_EQ(found, &b);
    EXPECT_EQ(__mvM_Find(r, 10011, nullptr), 0);

    ASSERT_EQ(__mvM_Remove(r, 10011), 0);
    EXPECT_TRUE(failsWith(__mvM_Find(r, 10011, &found), MV_ERR_BAD_ID));
    EXPECT_EQ(__mvM_IdAt(r, 0), 10021);
    EXPECT_EQ(__mvM_IdAt(r, 1), 10001);
    EXPECT_EQ(__mvM_Find(r, -1, &found), -1) << "the sentinel is not an entry";
    EXPECT_EQ(__mvM_Remove(r, -1), -1);
    EXPECT_TRUE(failsWith(__mvM_Remove(r, 10011), MV_ERR_BAD_ID));
    EXPECT_EQ(__mvM_Count(r), 2);
    // Destroyed with its entries: under AddressSanitizer nothing leaks.
    __mvM_Destroy(r);
}

}  // namespace
