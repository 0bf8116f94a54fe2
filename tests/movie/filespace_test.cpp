// The file-space manager: loading, tiling, first-fit reuse, appending,
// freeing, and growing the space at offset 0 by moving data.
#include "error.h"
#include "filespace.h"
#include "movie_builders.h"
#include "stream.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <deque>
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

    // A new movie: only the 4-byte header block.
    void newMovie()
    {
        ASSERT_EQ(__mvFM_InitBlock(fm_, 0, 4, &header_), 0);
        ASSERT_EQ(__mvFM_InitDone(fm_), 0);
    }

    MVblockInfo block(int i)
    {
        MVblockInfo info{};
        EXPECT_EQ(__mvFM_Block(fm_, i, &info), 0);
        return info;
    }

    // Every block as offset, capacity, bytes in use and whether it is free.
    std::vector<std::array<uint32_t, 4>> layout()
    {
        std::vector<std::array<uint32_t, 4>> all;
        for (int i = 0; i < __mvFM_BlockCount(fm_); ++i) {
            const MVblockInfo b = block(i);
            all.push_back({b.offset, b.capacity, b.inUse, uint32_t(b.isFree)});
        }
        return all;
    }
    using Layout = std::vector<std::array<uint32_t, 4>>;

    // The blocks tile the file from 0: each ends where the next starts.
    void expectTiling()
    {
        const int n = __mvFM_BlockCount(fm_);
        ASSERT_GT(n, 0);
        EXPECT_EQ(block(0).offset, 0u);
        for (int i = 0; i + 1 < n; ++i)
            EXPECT_EQ(uint64_t(block(i).offset) + block(i).capacity, block(i + 1).offset) << "block " << i;
        EXPECT_EQ(__mvFM_FileLength(fm_), uint64_t(block(n - 1).offset) + block(n - 1).capacity);
    }

    std::vector<unsigned char> memory_;
    MVstream *stream_ = nullptr;
    MVfilespace *fm_ = nullptr;
    uint32_t header_ = 99;
};

TEST_F(FileSpace, AllocationsPadTheHeaderAndStartAtMultiplesOfEightWritingOneFillByte)
{
    newMovie();
    EXPECT_EQ(header_, 99u) << "recording a block does not write its owner";
    std::deque<uint32_t> owners;
    for (uint32_t size : {100u, 3u, 17u, 8u, 1u}) {
        owners.push_back(0);
        ASSERT_EQ(__mvFM_Alloc(fm_, size, &owners.back()), 0);
        if (size == 100) {
            EXPECT_EQ(layout(), (Layout{{0, 8, 4, 0}, {8, 100, 100, 0}}));
            // Only the last byte of the first allocation was written.
            std::vector<unsigned char> expected(200, kMarker);
            expected[107] = '0';
            EXPECT_EQ(std::vector<unsigned char>(memory_.begin(), memory_.begin() + 200), expected);
        }
    }
    EXPECT_EQ(owners, (std::deque<uint32_t>{8, 112, 120, 144, 152}));
    EXPECT_EQ(__mvFM_FileLength(fm_), 153u);
    expectTiling();
}

TEST_F(FileSpace, FreedBlockKeepsItsPaddedCapacityForReuse)
{
    newMovie();
    uint32_t a = 0, b = 0;
    ASSERT_EQ(__mvFM_Alloc(fm_, 300, &a), 0);
    ASSERT_EQ(__mvFM_Alloc(fm_, 50, &b), 0);
    ASSERT_EQ(__mvFM_Free(fm_, a), 0);
    // Free blocks keep their capacity.
    EXPECT_EQ(layout(), (Layout{{0, 8, 4, 0}, {8, 304, 0, 1}, {312, 50, 50, 0}}));

    // The block grew to 304 bytes when the next one was appended after it,
    // so a request of 152 bytes may take it.
    uint32_t owner = 0;
    ASSERT_EQ(__mvFM_Alloc(fm_, 152, &owner), 0);
    EXPECT_EQ(owner, a);
    EXPECT_EQ(block(1).inUse, 152u);
    EXPECT_EQ(block(1).isFree, 0);
}

TEST_F(FileSpace, ReuseLimitsOfAnExactThreeHundredByteBlock)
{
    // Blocks recorded while loading have no padding, so their capacity is
    // exactly their size.
    uint32_t owners[3] = {};
    ASSERT_EQ(__mvFM_InitBlock(fm_, 0, 8, &header_), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 8, 300, &owners[0]), 0);
    ASSERT_EQ(__mvFM_InitBlock(fm_, 308, 4, &owners[1]), 0);
    ASSERT_EQ(__mvFM_InitDone(fm_), 0);
    ASSERT_EQ(__mvFM_Free(fm_, 8), 0);

    for (uint32_t size : {149u, 301u}) {
        uint32_t owner = 0;
        ASSERT_EQ(__mvFM_Alloc(fm_, size, &owner), 0);
        EXPECT_NE(owner, 8u) << size;
    }
    for (uint32_t size : {150u, 300u}) {
        uint32_t owner = 0;
        ASSERT_EQ(__mvFM_Alloc(fm_, size, &owner), 0);
        EXPECT_EQ(owner, 8u) << size;
        ASSERT_EQ(__mvFM_Free(fm_, 8), 0);
    }
}

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

TEST_F(FileSpace, FreeFindsTheBlockHoldingAnOffset)
{
    newMovie();
    uint32_t a = 0, b = 0, c = 0;
    ASSERT_EQ(__mvFM_Alloc(fm_, 100, &a), 0);
    ASSERT_EQ(__mvFM_Alloc(fm_, 100, &b), 0);
    ASSERT_EQ(__mvFM_Alloc(fm_, 100, &c), 0);
    // An offset inside the second block frees that block.
    ASSERT_EQ(__mvFM_Free(fm_, b + 50), 0);
    EXPECT_EQ(block(2).owner, nullptr);
    ASSERT_EQ(__mvFM_Free(fm_, c), 0);
    EXPECT_EQ(layout(), (Layout{{0, 8, 4, 0}, {8, 104, 100, 0}, {112, 104, 0, 1}, {216, 100, 0, 1}}));
    EXPECT_EQ(__mvFM_FileLength(fm_), uint64_t(c) + 100) << "the file never shrinks";
}

// Calls out of phase, then a new movie: allocations past the memory or past
// four gigabytes fail and change nothing, and growing the header block when
// it stands alone needs no move.
TEST_F(FileSpace, NewMovieRefusesCallsOutOfPhaseAndAllocationsPastTheLimitsAndGrowsInPlace)
{
    uint32_t owner = 0;
    EXPECT_TRUE(failsWith(__mvFM_Alloc(fm_, 10, &owner), MV_ERR_INTERNAL));
    EXPECT_EQ(__mvFM_Free(fm_, 0), -1);
    newMovie();
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

TEST_F(FileSpace, GrowingTheDirectorySpaceMovesDataAndUpdatesOwners)
{
    newMovie();
    std::deque<uint32_t> owners(6);
    ASSERT_EQ(__mvFM_Alloc(fm_, 200, &owners[0]), 0);
    ASSERT_EQ(owners[0], 8u);
    for (int i = 1; i < 6; ++i)
        ASSERT_EQ(__mvFM_Alloc(fm_, 200, &owners[i]), 0);
    // Frame data the move must carry along.
    for (int i = 0; i < 6; ++i)
        std::memset(memory_.data() + owners[i], 'a' + i, 200);
    ASSERT_EQ(__mvFM_FileLength(fm_), 1208u);
    ASSERT_EQ(__mvFM_EnsureDirSpace(fm_, 1000), 0);

    EXPECT_GE(block(0).capacity, 1000u);
    EXPECT_EQ(block(0).inUse, 1000u);
    // The blocks in the way went to the end of the file, first to last; the
    // one that did not stand in the way stayed.
    EXPECT_EQ(owners, (std::deque<uint32_t>{1208, 1408, 1608, 1808, 2008, 1008}));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(memory_[owners[i]], 'a' + i) << i;
        EXPECT_EQ(memory_[owners[i] + 199], 'a' + i) << i;
    }
    expectTiling();
}

TEST_F(FileSpace, GrowingOverAFreeBlockReusesItsSpaceWithoutCopying)
{
    newMovie();
    uint32_t a = 0, b = 0;
    ASSERT_EQ(__mvFM_Alloc(fm_, 100, &a), 0);
    ASSERT_EQ(__mvFM_Alloc(fm_, 100, &b), 0);
    ASSERT_EQ(__mvFM_Free(fm_, a), 0);
    const uint64_t length = __mvFM_FileLength(fm_);
    ASSERT_EQ(__mvFM_EnsureDirSpace(fm_, 50), 0);
    EXPECT_EQ(layout(), (Layout{{0, 112, 50, 0}, {112, 100, 100, 0}}));
    EXPECT_EQ(b, 112u);
    EXPECT_EQ(__mvFM_FileLength(fm_), length);
}

TEST_F(FileSpace, CopyDataHandlesOverlappingRanges)
{
    newMovie();
    for (int i = 0; i < 100; ++i)
        memory_[i] = static_cast<unsigned char>(i);
    ASSERT_EQ(__mvFM_CopyData(fm_, 0, 10, 50), 0);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(memory_[10 + i], i);
    ASSERT_EQ(__mvFM_CopyData(fm_, 10, 0, 50), 0);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(memory_[i], i);
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
    EXPECT_EQ(a, 32u);
    EXPECT_EQ(b, 32u);
    for (uint32_t *leaving : {&b, &a}) {
        uint32_t fresh = 0;
        ASSERT_EQ(__mvFM_Free(fm_, *leaving, leaving), 0);
        ASSERT_EQ(__mvFM_Alloc(fm_, 16, &fresh), 0);
        EXPECT_EQ(fresh == 32u, leaving == &a);
        ASSERT_EQ(__mvFM_Free(fm_, fresh, &fresh), 0);
    }
}

}  // namespace
