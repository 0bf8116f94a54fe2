// The demultiplexer of MPEG-1 system streams (".mpg" program files).
//
// A system stream is a run of packs: a pack header (00 00 01 BA, the system
// clock), now and then a system header (00 00 01 BB), then packets. A packet
// starts with 00 00 01 and its stream id, a 16-bit length and a header of
// stuffing bytes, an optional buffer size and optional time stamps (PTS, or
// PTS and DTS, 33 bits at 90 kHz); the rest is a piece of one elementary
// stream. Video streams have the ids E0-EF, MPEG audio C0-DF; padding and
// private streams are stepped over. A PTS belongs to the first access unit
// (picture or audio frame) that starts in its packet.
//
// Whatever the bytes say, the walk stays inside the source: a packet that
// runs past the end gives what is there, and bytes that are no start code
// are skipped up to the next one.
#ifndef CINELARK_MOVIE_MPEG_SYSTEM_DEMUX_H
#define CINELARK_MOVIE_MPEG_SYSTEM_DEMUX_H

#include <cstdint>
#include <functional>
#include <vector>

namespace cinelark::mpeg {

// Reads count bytes at offset of the source; false when it cannot.
using ReadAt = std::function<bool(int64_t offset, uint8_t *out, size_t count)>;

// A time stamp and the stretch of the elementary stream its packet carried.
struct Stamp {
    int64_t begin = 0;
    int64_t end = 0;
    int64_t pts = 0;
};

struct ElementaryStream {
    int id = -1;  // -1: the file has none
    std::vector<uint8_t> bytes;
    std::vector<Stamp> stamps;  // the first kMaxStamps of them
};

constexpr size_t kMaxStamps = 64;

// An audio stream left aside, with the start of its first packet's data
// (up to kHeadBytes) to describe it by.
struct OtherStream {
    int id = 0;
    std::vector<uint8_t> head;
};

constexpr size_t kHeadBytes = 256;

struct Program {
    ElementaryStream video;  // the first video stream met
    // The first audio stream met, from its first time-stamped packet on, so
    // that its first sample has a known time.
    ElementaryStream audio;
    std::vector<OtherStream> otherAudio;  // in the order they are met
    bool readFailed = false;
};

// Splits the source into its elementary streams.
void Demultiplex(int64_t length, const ReadAt &read, Program *out);

// True when the bytes begin with a pack header of either system stream
// generation (MPEG-1 or MPEG-2 marker bits).
bool IsPackHeader(const uint8_t *bytes, size_t size);

// Signed difference a - b of two 33-bit time stamps, across a wrap.
int64_t StampDifference(int64_t a, int64_t b);

}  // namespace cinelark::mpeg

#endif
