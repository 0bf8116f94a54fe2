// The start-code scan of an MPEG-1 video stream and the display-order plan
// built from it (see mpeg.h).
#ifndef CINELARK_MOVIE_MPEG_SCAN_H
#define CINELARK_MOVIE_MPEG_SCAN_H

#include <cstdint>
#include <vector>

struct MVstream;

namespace cinelark::mpeg {

// A start code other than slices, extensions and user data.
struct Unit {
    int64_t offset = 0;  // of the 00 00 01
    uint8_t code = 0;
    int temporalReference = 0;  // pictures
    int type = 0;               // pictures: 1 I, 2 P, 3 B, 4 D
};

struct StreamLayout {
    int width = 0;
    int height = 0;
    int rateCode = 0;
    int64_t length = 0;
    std::vector<Unit> units;
};

// Reads the stream's first length bytes (all of it when length is
// negative) once; false when they cannot be read or do not start with a
// sequence header.
bool ScanStream(MVstream *stream, int64_t length, StreamLayout *layout);

// A picture handed out: its unit, and the stream offset the decoder must
// have taken for it to come out.
struct Delivery {
    size_t unit = 0;
    int64_t end = 0;
};

// The pictures a decoder started at units[first] hands out, in order.
std::vector<Delivery> PlanDeliveries(const StreamLayout &layout, size_t first);

}  // namespace cinelark::mpeg

#endif
