// Sample arithmetic: which chunk holds a sample, and how big it is.
#include <gtest/gtest.h>

#include <tuple>

#include "error.h"
#include "quicktime/records.h"

using namespace cinelark::quicktime;

namespace {

TEST(QuickTimeSamples, ChunkOfEachSampleAndEntriesThatDoNotRise)
{
    // Chunks 1-2 hold 3 samples each, chunk 3 holds 1, chunks 4-5 hold 2 each.
    SampleTables t;
    t.sampleToChunk = {{1, 3, 1}, {3, 1, 1}, {4, 2, 1}};
    t.chunkOffsets = {100, 200, 300, 400, 500};
    const struct {
        uint64_t sample;
        uint32_t chunk;
        uint64_t first, last;
    } cases[] = {{0, 1, 0, 2}, {2, 1, 0, 2}, {3, 2, 3, 5}, {6, 3, 6, 6}, {7, 4, 7, 8}, {10, 5, 9, 10}};
    for (const auto &c : cases) {
        SampleLocation where{};
        ASSERT_EQ(locateSample(t, c.sample, &where), 0) << c.sample;
        EXPECT_EQ(std::tuple(where.chunk, where.firstSample, where.lastSample), std::tuple(c.chunk, c.first, c.last))
            << c.sample;
    }
    SampleLocation where{};
    EXPECT_EQ(locateSample(t, 11, &where), MV_ERR_INTERNAL);
    // First chunks that do not rise, or a chunk 0, are structural faults.
    t.sampleToChunk = {{3, 1, 1}, {2, 1, 1}};
    EXPECT_EQ(locateSample(t, 0, &where), MV_ERR_NOT_MOVIE);
    t.sampleToChunk = {{0, 1, 1}};
    EXPECT_EQ(locateSample(t, 0, &where), MV_ERR_NOT_MOVIE);
}

TEST(QuickTimeSamples, SizesFromTheConstantOrTheTable)
{
    SampleTables t;
    t.constantSize = 6;
    uint32_t size = 0;
    ASSERT_EQ(sampleSize(t, 1000, &size), 0);
    EXPECT_EQ(size, 6u);
    t.constantSize = 0;
    t.sizes = {5, 9};
    ASSERT_EQ(sampleSize(t, 1, &size), 0);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(sampleSize(t, 2, &size), MV_ERR_INTERNAL);
}

}  // namespace
