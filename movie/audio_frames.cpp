// Audio frames: reading, inserting and deleting sample frames.
//
// An audio entry holds any number of whole sample frames, so a range of
// frames may start or end inside an entry: inserting or deleting there first
// splits the entry in two at the frame boundary.
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include <cinelark/movie.h>

#include "byteorder.h"
#include "directory.h"
#include "error.h"
#include "frames.h"
#include "model.h"

using cinelark::movie::swap16;

namespace {

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

// Swaps 16-bit samples between file and native order.
void toNative(const MVaudioTrack *track, void *data, int frames)
{
    if (track->width == 16)
        swap16(data, size_t(frames) * size_t(track->channels));
}

// Splits the entry that holds frame so that frame starts an entry. A frame
// at the track length needs no split.
int splitAt(MVaudioTrack *track, int frame)
{
    int first = 0, count = 0;
    if (__mvDL_Seek(track->directory, frame, &first, &count, nullptr, nullptr) != 0)
        return -1;
    if (frame == first || count == 0)
        return 0;
    int head = frame - first;
    return __mvDL_SplitEntry(track->directory, head, uint32_t(head) * uint32_t(track->frameBytes));
}

int changed(MVaudioTrack *track)
{
    __mvMV_FramesChanged(track->movie);
    return __mvT_UpdateLength(track);
}

}  // namespace

int __mvAT_ReadFrames(MVaudioTrack *track, int first, int count, void *buffer)
{
    if (first < 0 || count < 0 || count > __mvT_Length(track) - first)
        return fail(MV_ERR_FRAME_RANGE);
    auto *out = static_cast<uint8_t *>(buffer);
    int frame = first;
    int left = count;
    while (left > 0) {
        int entryFirst = 0, entryCount = 0;
        if (__mvDL_Seek(track->directory, frame, &entryFirst, &entryCount, nullptr, nullptr) != 0)
            return -1;
        int n = entryFirst + entryCount - frame;
        if (n <= 0)
            return fail(MV_ERR_FRAME_RANGE);
        if (n > left)
            n = left;
        uint32_t at = uint32_t(frame - entryFirst) * uint32_t(track->frameBytes);
        uint32_t bytes = uint32_t(n) * uint32_t(track->frameBytes);
        if (__mvDL_ReadPart(track->directory, at, bytes, out) != 0)
            return -1;
        toNative(track, out, n);
        out += bytes;
        frame += n;
        left -= n;
    }
    return 0;
}

int __mvAT_InsertFrames(MVaudioTrack *track, int first, int count, const void *buffer)
{
    if (first < 0 || first > __mvT_Length(track) || count < 0)
        return fail(MV_ERR_FRAME_RANGE);
    if (count == 0)
        return 0;
    size_t bytes = size_t(count) * size_t(track->frameBytes);
    if (bytes > UINT32_MAX)
        return fail(MV_ERR_NO_MEMORY);
    if (splitAt(track, first) != 0)
        return -1;
    // Samples go to the file big-endian; the caller's buffer stays as it is.
    const void *data = buffer;
    std::vector<uint8_t> swapped;
    if (track->width == 16) {
        try {
            swapped.assign(static_cast<const uint8_t *>(buffer),
                           static_cast<const uint8_t *>(buffer) + bytes);
        } catch (const std::bad_alloc &) {
            return fail(MV_ERR_NO_MEMORY);
        }
        toNative(track, swapped.data(), count);
        data = swapped.data();
    }
    if (__mvDL_Seek(track->directory, first, nullptr, nullptr, nullptr, nullptr) != 0 ||
        __mvDL_InsertEntry(track->directory, count, uint32_t(bytes), data) != 0)
        return -1;
    return changed(track);
}

int __mvAT_DeleteFrames(MVaudioTrack *track, int first, int count)
{
    if (first < 0 || count < 0 || count > __mvT_Length(track) - first)
        return fail(MV_ERR_FRAME_RANGE);
    if (count == 0)
        return 0;
    if (splitAt(track, first) != 0 || splitAt(track, first + count) != 0)
        return -1;
    int left = count;
    while (left > 0) {
        int entryCount = 0;
        if (__mvDL_Seek(track->directory, first, nullptr, &entryCount, nullptr, nullptr) != 0 ||
            __mvDL_DeleteEntry(track->directory) != 0) {
            changed(track);
            return -1;
        }
        left -= entryCount;
    }
    return changed(track);
}

int __mvT_ReadUnsignedAudio(MVid id, int first, int count, size_t bufferSize, void *buffer)
{
    MVaudioTrack *track = __mvFindAudioTrack(id);
    if (track == nullptr)
        return -1;
    if (buffer == nullptr || count < 0 ||
        bufferSize < size_t(count) * size_t(track->frameBytes)) {
        __mvSetErrno(EINVAL);
        return -1;
    }
    if (track->format == AUDIO_FORMAT_UNSIGNED && track->width != 8 && track->width != 16)
        return fail(MV_ERR_INTERNAL);
    if (__mvAT_ReadFrames(track, first, count, buffer) != 0)
        return -1;
    if (track->format != AUDIO_FORMAT_UNSIGNED)
        return 0;
    size_t samples = size_t(count) * size_t(track->channels);
    if (track->width == 8) {
        auto *s = static_cast<uint8_t *>(buffer);
        for (size_t i = 0; i < samples; i++)
            s[i] ^= 0x80;
    } else {
        // The top bit of a native 16-bit sample lives in its more significant
        // byte; the buffer need not be aligned for 16-bit access.
        constexpr size_t high = std::endian::native == std::endian::little ? 1 : 0;
        auto *s = static_cast<uint8_t *>(buffer);
        for (size_t i = 0; i < samples; i++)
            s[2 * i + high] ^= 0x80;
    }
    return 0;
}
