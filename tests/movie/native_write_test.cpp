// Writing version 3 files: the exact bytes of small movies, user
// parameters, and the refusals; and the code lists behind the name tables:
// each code read becomes its name and is written back as the same code, and
// text outside a list passes unchanged both ways.
#include <cinelark/movie.h>

#include "error.h"
#include "model.h"
#include "movie_builders.h"
#include "native/param_tables.h"
#include "native_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

using namespace native_bytes;
using namespace cinelark::native;
using namespace testing_movie;

// A memory movie of 4096 bytes filled with 0xEE.
struct MarkedMovie : MemMovie {
    explicit MarkedMovie(size_t size = 4096) : MemMovie(MV_FORMAT_NATIVE_3, size, 0xEE) {}
    MVid add(int medium, const Params &p)
    {
        MVid track = 0;
        EXPECT_EQ(mvAddTrack(id(), medium, p.get(), nullptr, &track), 0) << mvGetErrorStr(mvGetErrno());
        return track;
    }
    Bytes at(size_t from, size_t n) const { return Bytes(memory().begin() + long(from), memory().begin() + long(from + n)); }
};

TEST(NativeWriter, UserParametersAreWrittenBackUnderTheirNamesUnlessTooLongForTheField)
{
    ASSERT_EQ(mvAddUserParam("DIRECTOR"), 0);
    ASSERT_EQ(mvAddUserParam("PRODUCTION_HOUSE"), 0);  // 16 characters
    MarkedMovie movie;
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
    movie.add(DM_MEDIUM_IMAGE, imageParams(3, 1));
    movie.add(DM_MEDIUM_IMAGE, imageParams(5, 1));
    ASSERT_EQ(mvWrite(movie.id()), 0);
    for (const Bytes &r : {record("DIRECTOR", "Smith"), record("TITLE", "Dawn")})
        EXPECT_NE(std::search(movie.memory().begin(), movie.memory().end(), r.begin(), r.end()), movie.memory().end());
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
    MarkedMovie clean;
    const std::vector<uint8_t> before = clean.memory();
    EXPECT_EQ(mvWrite(clean.id()), 0);
    EXPECT_EQ(clean.memory(), before);

    MarkedMovie small(64);
    ASSERT_NE(small.id(), 0);
    small.add(DM_MEDIUM_IMAGE, imageParams(1, 1));
    EXPECT_TRUE(failsWith(mvWrite(small.id()), MV_ERR_MEM_TOO_SMALL));
}

}  // namespace
