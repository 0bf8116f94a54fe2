// Opens arbitrary bytes as a QuickTime memory movie and reads every frame,
// stored and decoded, and all of its sound, so that the atom reader, the
// sample tables and the QuickTime coders meet hostile files.
#include <cinelark/movie.h>
#include <cinelark/playback.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Bounds that keep one input fast: a tiny file may still claim big pictures.
constexpr size_t kMaxFrameBytes = 4u << 20;
constexpr int kMaxFrames = 500;

void readImages(MVid track, std::vector<uint8_t> &buffer)
{
    const int length = mvGetTrackLength(track);
    const size_t frameBytes = dmImageFrameSize(mvGetParams(track));
    for (int frame = 0; frame < length && frame < kMaxFrames; ++frame) {
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
}

void readSound(MVid track, std::vector<uint8_t> &buffer)
{
    const int length = mvGetTrackLength(track);
    const int frameBytes = dmAudioFrameSize(mvGetParams(track));
    if (frameBytes <= 0)
        return;
    constexpr int kChunk = 512;
    buffer.resize(size_t(kChunk) * size_t(frameBytes));
    for (int frame = 0, reads = 0; frame < length && reads < kMaxFrames; frame += kChunk, ++reads)
        mvReadFrames(track, frame, length - frame < kChunk ? length - frame : kChunk, buffer.size(),
                     buffer.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool installed = (mvInitQuickTime(), true);
    (void)installed;
    std::vector<uint8_t> file(data, data + size);
    if (file.empty())
        return 0;
    MVid movie = 0;
    if (mvOpenMem(file.data(), file.size(), &movie) != 0)
        return 0;
    std::vector<uint8_t> buffer;
    MVid track = 0;
    if (mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &track) == 0)
        readImages(track, buffer);
    if (mvFindTrackByMedium(movie, DM_MEDIUM_AUDIO, &track) == 0)
        readSound(track, buffer);
    mvClose(movie);
    return 0;
}
