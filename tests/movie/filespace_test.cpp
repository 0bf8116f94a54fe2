// The file-space manager: loading, tiling, first-fit reuse, appending,
// freeing, and growing the space at offset 0 by moving data.
#include "error.h"
#include "filespace.h"
#include "movie_builders.h"
#include "stream.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using testing_movie::failsWith;

// A manager over memory filled with a marker byte, to show each byte written.
class FileSpace : public testing::Test {
protected:
    static constexpr unsigned char kMarker = 0xEE;

    void SetUp() override
    {
        memory_.assign(1 << 16, kMarker);
        ASSERT_EQ(__mvS_CreateWithMem(memory_.data(), memory_.size(), &stream_), 0);
        ASSERT_EQ(__mvFM_Create(stream_, &fm_), 0);
        ASSERT_EQ(__mvFM_InitStart(fm_), 0);
    }
    void TearDown() override
    {
        __mvFM_Destroy(fm_);
        __mvS_Destroy(stream_);
    }

    using Layout = std::vector<std::array<uint32_t, 4>>;

    // Every block as offset, capacity, bytes in use and whether it is free.
    Layout layout()
    {
        Layout all;
        for (int i = 0; i < __mvFM_BlockCount(fm_); ++i) {
            MVblockInfo b{};
            EXPECT_EQ(__mvFM_Block(fm_, i, &b), 0);
            all.push_back({b.offset, b.capacity, b.inUse, uint32_t(b.isFree)});
        }
        return all;
    }

    std::vector<unsigned char> memory_;
    MVstream *stream_ = nullptr;
    MVfilespace *fm_ = nullptr;
    uint32_t header_ = 99;
};

TEST_F(FileSpace, InitDoneSortsAndGivesGapsToTheBlockBefore)
{
    uint32_t owners[3] = {};
    ASSERT_EQ(__mvFM_InitBlock(fm_, 500, 20, &owners[0]), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 0, 4, &header_), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 100, 50, &owners[1]), 0);
    EXPECT_EQ(__mvFM_Phase(fm_), MV_FM_INITIAL);
    ASSERT_EQ(__mvFM_InitDone(fm_), 0);
    EXPECT_EQ(__mvFM_Phase(fm_), MV_FM_RUNNING);
    EXPECT_EQ(layout(), (Layout{{0, 100, 4, 0}, {100, 400, 50, 0}, {500, 20, 20, 0}}));
    EXPECT_EQ(__mvFM_FileLength(fm_), 520u);
}

TEST_F(FileSpace, OverlappingBlocksFromADamagedFileNeverLeadToOverwrites)
{
    uint32_t owners[2] = {};
    ASSERT_EQ(__mvFM_InitBlock(fm_, 0, 4, &header_), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 8, 1000, &owners[0]), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 16, 8, &owners[1]), 0);
    ASSERT_EQ(__mvFM_InitDone(fm_), 0);
    EXPECT_EQ(__mvFM_FileLength(fm_), 1008u);
    uint32_t owner = 0;
    ASSERT_EQ(__mvFM_Alloc(fm_, 10, &owner), 0);
    EXPECT_GE(owner, 1008u);
}

// Growing the header block when it stands alone needs no move.
TEST_F(FileSpace, NewMovieRefusesCallsOutOfPhaseAndAllocationsPastTheLimitsAndGrowsInPlace)
{
    uint32_t owner = 0;
    EXPECT_TRUE(failsWith(__mvFM_Alloc(fm_, 10, &owner), MV_ERR_INTERNAL));
    EXPECT_EQ(__mvFM_Free(fm_, 0), -1);
    // A new movie: only the 4-byte header block.
    ASSERT_EQ(__mvFM_InitBlock(fm_, 0, 4, &header_), 0);
    ASSERT_EQ(__mvFM_InitDone(fm_), 0);
    EXPECT_EQ(__mvFM_InitBlock(fm_, 100, 10, &owner), -1);

    EXPECT_TRUE(failsWith(__mvFM_Alloc(fm_, uint32_t(memory_.size()), &owner), MV_ERR_MEM_TOO_SMALL));
    EXPECT_EQ(layout(), (Layout{{0, 4, 4, 0}}));
    EXPECT_EQ(__mvFM_FileLength(fm_), 4u);
    EXPECT_TRUE(failsWith(__mvFM_Alloc(fm_, UINT32_MAX - 4, &owner), MV_ERR_NO_MEMORY));

    ASSERT_EQ(__mvFM_EnsureDirSpace(fm_, 64), 0);
    EXPECT_EQ(layout(), (Layout{{0, 64, 64, 0}}));
    ASSERT_EQ(__mvFM_Alloc(fm_, 8, &owner), 0);
    EXPECT_EQ(owner, 64u);
}

// Two owners of one offset share one block: it moves for both and is free
// only when both have freed it.
TEST_F(FileSpace, ABlockOfTwoOwnersMovesForBothAndFreesWithTheLast)
{
    uint32_t a = 0, b = 0, tail = 0;
    ASSERT_EQ(__mvFM_InitBlock(fm_, 0, 4, &header_), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 8, 16, &a), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 8, 16, &b), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 24, 8, &tail), 0);
    ASSERT_EQ(__mvFM_InitDone(fm_), 0);
    EXPECT_EQ(__mvFM_BlockCount(fm_), 3);
    ASSERT_EQ(__mvFM_EnsureDirSpace(fm_, 12), 0);
    EXPECT_EQ(std::pair(a, b), std::pair(32u, 32u));
    for (uint32_t *leaving : {&b, &a}) {
        uint32_t fresh = 0;
        ASSERT_EQ(__mvFM_Free(fm_, *leaving, leaving), 0);
        ASSERT_EQ(__mvFM_Alloc(fm_, 16, &fresh), 0);
        EXPECT_EQ(fresh == 32u, leaving == &a);
        ASSERT_EQ(__mvFM_Free(fm_, fresh, &fresh), 0);
    }
}

}  // namespace
