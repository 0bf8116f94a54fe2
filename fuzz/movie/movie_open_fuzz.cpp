// Opens arbitrary bytes as a memory movie and reads every frame of every
// track, stored and decoded, so that each reader and the frame paths meet
// hostile directories, sizes and parameters.
#include <cinelark/movie.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Bounds that keep one input fast: a tiny file may still claim huge
// pictures or many frames.
constexpr size_t kMaxFrameBytes = 16u << 20;
constexpr int kMaxFramesRead = 2000;

void readImageTrack(MVid track, std::vector<uint8_t> &buffer)
{
    const int length = mvGetTrackLength(track);
    const size_t frameBytes = dmImageFrameSize(mvGetParams(track));
    for (int frame = 0; frame < length && frame < kMaxFramesRead; ++frame) {
        const size_t stored = mvGetCompressedImageSize(track, frame);
        if (stored > 0 && stored <= kMaxFrameBytes) {
            buffer.resize(stored);
            mvReadCompressedImage(track, frame, buffer.size(), buffer.data());
        }
        if (frameBytes > 0 && frameBytes <= kMaxFrameBytes) {
            buffer.resize(frameBytes);
            mvReadFrames(track, frame, 1, buffer.size(), buffer.data());
        }
    }
    // One frame past the end must be refused, not read.
    buffer.resize(frameBytes > 0 && frameBytes <= kMaxFrameBytes ? frameBytes : 1);
    mvReadFrames(track, length, 1, buffer.size(), buffer.data());
}

void readAudioTrack(MVid track, std::vector<uint8_t> &buffer)
{
    const int length = mvGetTrackLength(track);
    const int frameBytes = dmAudioFrameSize(mvGetParams(track));
    if (frameBytes <= 0)
        return;
    constexpr int kChunk = 1024;
    buffer.resize(static_cast<size_t>(kChunk) * static_cast<size_t>(frameBytes));
    for (int frame = 0, reads = 0; frame < length && reads < kMaxFramesRead; frame += kChunk, ++reads) {
        const int count = length - frame < kChunk ? length - frame : kChunk;
        mvReadFrames(track, frame, count, buffer.size(), buffer.data());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The library may write into a memory movie, so it gets its own copy.
    std::vector<uint8_t> file(data, data + size);
    if (file.empty())
        file.push_back(0);
    if (!mvIsMovieMem(file.data(), size))
        return 0;
    MVid movie = 0;
    if (mvOpenMem(file.data(), size, &movie) != 0)
        return 0;
    std::vector<uint8_t> buffer;
    for (int medium : {DM_MEDIUM_IMAGE, DM_MEDIUM_AUDIO}) {
        MVid track = 0;
        if (mvFindTrackByMedium(movie, medium, &track) != 0)
            continue;
        if (medium == DM_MEDIUM_IMAGE)
            readImageTrack(track, buffer);
        else
            readAudioTrack(track, buffer);
    }
    mvClose(movie);
    return 0;
}
