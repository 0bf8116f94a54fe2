// What the QuickTime reader gathers from a "moov" atom before it builds a
// movie: one record per "trak" and the movie's own time scale and duration.
//
// Sample tables follow the file: samples are numbered from 0 here (the sync
// table keeps the file's 1-based numbers), chunks from 1 as in the
// sample-to-chunk table.
#ifndef CINELARK_MOVIE_QUICKTIME_RECORDS_H
#define CINELARK_MOVIE_QUICKTIME_RECORDS_H

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace cinelark::quicktime {

enum class MediaKind { None, Video, Sound };

struct TimeToSample {
    uint32_t count;
    uint32_t duration;
};

struct SampleToChunk {
    uint32_t firstChunk;
    uint32_t samplesPerChunk;
    uint32_t descriptionId;
};

struct SampleTables {
    std::vector<TimeToSample> timeToSample;
    uint64_t sampleTotal = 0;  // the sum of the time-to-sample counts
    bool hasSync = false;
    std::vector<uint32_t> sync;  // 1-based sample numbers
    std::vector<SampleToChunk> sampleToChunk;
    uint32_t constantSize = 0;  // 0: sizes come from the table
    uint32_t sizeCount = 0;
    std::vector<uint32_t> sizes;
    std::vector<uint32_t> chunkOffsets;
};

struct VideoDescription {
    std::string compression;  // the library's name of the coding
    int width = 0;
    int height = 0;
    int depth = 0;
};

struct SoundDescription {
    int format = 0;  // 401 two's complement, 402 unsigned
    int channels = 0;
    int bitsPerSample = 0;
    int rate = 0;  // integer part of the 16.16 rate
};

struct TrackRecord {
    uint32_t trackId = 0;
    uint32_t duration = 0;
    uint32_t width = 0;  // 16.16
    uint32_t height = 0;
    bool hasEdit = false;
    uint32_t editDuration = 0;
    uint32_t editMediaTime = 0;
    uint32_t editMediaRate = 0;
    uint32_t mediaTimeScale = 0;
    uint32_t mediaDuration = 0;
    uint16_t language = 0;
    uint16_t quality = 0;
    MediaKind kind = MediaKind::None;
    VideoDescription video;
    SoundDescription sound;
    SampleTables samples;
};

struct MovieRecord {
    uint32_t timeScale = 0;
    uint32_t duration = 0;
    bool sawMoov = false;
    // In file order; the last track of a kind is the one used.
    std::vector<TrackRecord> tracks;
};

// Parses the contents of a "moov" atom into the movie record.
void parseMovieAtom(std::span<const uint8_t> body, MovieRecord &movie);

// Where a sample lies: its chunk (from 1) and the first and last samples of
// that chunk. 0, or 1008 when the sample is beyond all chunks.
struct SampleLocation {
    uint32_t chunk;
    uint64_t firstSample;
    uint64_t lastSample;
};
int locateSample(const SampleTables &tables, uint64_t sample, SampleLocation *where);

// The bytes of one sample: the constant size, or its entry in the size
// table (1008 when the table has none for it).
int sampleSize(const SampleTables &tables, uint64_t sample, uint32_t *size);

// Calls visit(chunk from 1, first sample, sample count) for every chunk in
// order, as the sample-to-chunk table lays samples out. A table whose first
// chunks do not rise is a structural fault (1003). visit returns false to
// stop the walk.
int forEachChunk(const SampleTables &tables,
                 const std::function<bool(uint32_t, uint64_t, uint32_t)> &visit);

}  // namespace cinelark::quicktime

#endif
