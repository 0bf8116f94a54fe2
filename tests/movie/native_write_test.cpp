// Writing version 3 files: user parameters under their own names, movies
// with nothing to write, and memory too small for the movie.
#include <cinelark/movie.h>

#include "error.h"
#include "movie_builders.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace testing_movie;

// Memory movies start filled with 0xEE, so that every byte written shows.
constexpr uint8_t kMarker = 0xEE;

TEST(NativeWriter, UserParametersAreWrittenBackUnderTheirNamesUnlessTooLongForTheField)
{
    ASSERT_EQ(mvAddUserParam("DIRECTOR"), 0);
    ASSERT_EQ(mvAddUserParam("PRODUCTION_HOUSE"), 0);  // 16 characters
    MemMovie movie(MV_FORMAT_NATIVE_3, 4096, kMarker);
    Params p = newParams();
    dmParamsSetString(p.get(), "DIRECTOR", "Smith");
    dmParamsSetString(p.get(), "TITLE", "Dawn");
    dmParamsSetString(p.get(), "PRODUCTION_HOUSE", "North");
    ASSERT_EQ(mvSetParams(movie.id(), p.get(), nullptr), 0);
    const std::vector<uint8_t> before = movie.memory();
    EXPECT_TRUE(failsWith(mvWrite(movie.id()), MV_ERR_MOVIE_SETTINGS));
    EXPECT_EQ(movie.memory(), before) << "nothing is written";
    EXPECT_EQ(mvWrite(movie.id()), -1) << "the movie stays dirty";

    // Removing the parameter lets the movie be written again; of two image
    // tracks only the first is.
    dmParamsRemove(mvGetParams(movie.id()), "PRODUCTION_HOUSE");
    ASSERT_NE(movie.addImage(imageParams(3, 1)), 0);
    ASSERT_NE(movie.addImage(imageParams(5, 1)), 0);
    ASSERT_EQ(mvWrite(movie.id()), 0);
    std::vector<uint8_t> copy = movie.memory();
    MVid reopened = 0, image = 0;
    ASSERT_EQ(mvOpenMem(copy.data(), copy.size(), &reopened), 0);
    EXPECT_STREQ(dmParamsGetString(mvGetParams(reopened), "DIRECTOR"), "Smith");
    EXPECT_STREQ(mvGetTitle(reopened), "Dawn");
    ASSERT_EQ(mvFindTrackByMedium(reopened, DM_MEDIUM_IMAGE, &image), 0);
    EXPECT_EQ(mvGetImageWidth(image), 3);
    EXPECT_EQ(__mvMV_TrackCount(reopened), 1);
    ASSERT_EQ(mvClose(reopened), 0);
}

TEST(NativeWriter, CleanMoviesAreNotWrittenAndTooSmallMemoryFails)
{
    MemMovie clean(MV_FORMAT_NATIVE_3, 4096, kMarker);
    const std::vector<uint8_t> before = clean.memory();
    EXPECT_EQ(mvWrite(clean.id()), 0);
    EXPECT_EQ(clean.memory(), before);

    MemMovie small(MV_FORMAT_NATIVE_3, 64, kMarker);
    ASSERT_NE(small.addImage(imageParams(1, 1)), 0);
    EXPECT_TRUE(failsWith(mvWrite(small.id()), MV_ERR_MEM_TOO_SMALL));
}

}  // namespace
