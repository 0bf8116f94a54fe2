// Sample arithmetic over the sample-to-chunk, sample size and chunk offset
// tables.
//
// Entry k of the sample-to-chunk table covers the chunks from its first
// chunk up to one before the next entry's first chunk (the last entry runs
// to the last chunk offset); each of those chunks holds the entry's
// samples-per-chunk consecutive samples. Chunks before the first entry's
// first chunk hold nothing.
#include "records.h"

#include "error.h"

namespace cinelark::quicktime {

int forEachChunk(const SampleTables &tables,
                 const std::function<bool(uint32_t, uint64_t, uint32_t)> &visit)
{
    const auto &entries = tables.sampleToChunk;
    const uint64_t chunkCount = tables.chunkOffsets.size();
    uint64_t sample = 0;
    for (size_t k = 0; k < entries.size(); ++k) {
        const uint64_t first = entries[k].firstChunk;
        const uint64_t end = k + 1 < entries.size() ? entries[k + 1].firstChunk : chunkCount + 1;
        if (first == 0 || end < first)
            return MV_ERR_NOT_MOVIE;
        for (uint64_t chunk = first; chunk < end && chunk <= chunkCount; ++chunk) {
            if (!visit(uint32_t(chunk), sample, entries[k].samplesPerChunk))
                return 0;
            sample += entries[k].samplesPerChunk;
        }
    }
    return 0;
}

int locateSample(const SampleTables &tables, uint64_t sample, SampleLocation *where)
{
    bool found = false;
    const int status = forEachChunk(tables, [&](uint32_t chunk, uint64_t first, uint32_t count) {
        if (sample >= first + count)
            return true;
        *where = SampleLocation{chunk, first, first + count - 1};
        found = true;
        return false;
    });
    if (status != 0)
        return status;
    return found ? 0 : MV_ERR_INTERNAL;
}

int sampleSize(const SampleTables &tables, uint64_t sample, uint32_t *size)
{
    if (tables.constantSize != 0) {
        *size = tables.constantSize;
        return 0;
    }
    if (sample >= tables.sizes.size())
        return MV_ERR_INTERNAL;
    *size = tables.sizes[sample];
    return 0;
}

}  // namespace cinelark::quicktime
