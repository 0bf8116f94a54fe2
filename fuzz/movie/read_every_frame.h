// Reads every picture of an opened movie, stored and decoded, one past the
// end, and the sound in chunks, within limits that keep one input fast.
#ifndef CINELARK_FUZZ_MOVIE_READ_EVERY_FRAME_H
#define CINELARK_FUZZ_MOVIE_READ_EVERY_FRAME_H

#include <cinelark/movie.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzing {

struct ReadLimits {
    size_t maxFrameBytes;  // pictures larger than this are not read
    int maxReads;          // pictures, or chunks of sound, read per track
    int soundChunk;        // sample frames per sound read
};

inline void readImages(MVid track, const ReadLimits &limits, std::vector<uint8_t> &buffer)
{
    const int length = mvGetTrackLength(track);
    const size_t frameBytes = dmImageFrameSize(mvGetParams(track));
    const bool decodable = frameBytes > 0 && frameBytes <= limits.maxFrameBytes;
    for (int frame = 0; frame < length && frame < limits.maxReads; ++frame) {
        const size_t stored = mvGetCompressedImageSize(track, frame);
        if (stored > 0 && stored <= limits.maxFrameBytes) {
            buffer.resize(stored);
            mvReadCompressedImage(track, frame, buffer.size(), buffer.data());
        }
        if (decodable) {
            buffer.resize(frameBytes);
            mvReadFrames(track, frame, 1, buffer.size(), buffer.data());
        }
    }
    buffer.resize(decodable ? frameBytes : 1);
    mvReadFrames(track, length, 1, buffer.size(), buffer.data());
}

inline void readSound(MVid track, const ReadLimits &limits, std::vector<uint8_t> &buffer)
{
    const int length = mvGetTrackLength(track);
    const int frameBytes = dmAudioFrameSize(mvGetParams(track));
    if (frameBytes <= 0)
        return;
    const int chunk = limits.soundChunk;
    buffer.resize(size_t(chunk) * size_t(frameBytes));
    for (int frame = 0, reads = 0; frame < length && reads < limits.maxReads; frame += chunk, ++reads)
        mvReadFrames(track, frame, length - frame < chunk ? length - frame : chunk, buffer.size(), buffer.data());
}

// Reads the first image track and the first sound track the movie has.
inline void readEveryFrame(MVid movie, const ReadLimits &limits)
{
    std::vector<uint8_t> buffer;
    MVid track = 0;
    if (mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &track) == 0)
        readImages(track, limits, buffer);
    if (mvFindTrackByMedium(movie, DM_MEDIUM_AUDIO, &track) == 0)
        readSound(track, limits, buffer);
}

}  // namespace fuzzing

#endif
