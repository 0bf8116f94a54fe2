// Decoding an MPEG audio elementary stream (layers I, II and III) into
// 16-bit samples.
#ifndef CINELARK_MOVIE_MPEG_SYSTEM_SOUND_H
#define CINELARK_MOVIE_MPEG_SYSTEM_SOUND_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cinelark::mpeg {

struct Sound {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved, native order
};

// Decodes every frame it can find; bytes that are no frame are skipped. The
// sound ends where the stream changes its rate or channel count. False when
// no frame decodes (out of memory throws std::bad_alloc).
bool DecodeSound(std::span<const uint8_t> stream, Sound *out);

// A short description ("layer II, 44100 Hz, stereo") of the first frame
// header in the bytes, or "" when there is none.
std::string DescribeSound(std::span<const uint8_t> bytes);

}  // namespace cinelark::mpeg

#endif
