// Work between two tracks: mapping frame numbers by time, and copying frames.
//
// A copy between image tracks of the same geometry and scheme moves the
// stored bytes unchanged; any other copy decodes the frames and inserts them
// again (recompressing image frames with the destination's codec), which
// needs the two tracks' uncompressed frames to be the same size.
#include <cerrno>
#include <cmath>
#include <limits>
#include <cstring>
#include <new>
#include <vector>

#include <cinelark/movie.h>

#include "directory.h"
#include "error.h"
#include "frames.h"
#include "model.h"

namespace {

// Decoded copies move about this many bytes at a time.
constexpr size_t kGoodChunkSize = 100000;
// Headroom of the buffer of stored frames, so that a run of frames of
// slightly growing size does not grow it each time.
constexpr size_t kStoredHeadroom = 1000;

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

double rateOf(const MVtrack *track)
{
    if (track->kind == MV_KIND_IMAGE)
        return dmParamsGetFloat(track->params, DM_IMAGE_RATE);
    if (track->kind == MV_KIND_AUDIO)
        return dmParamsGetFloat(track->params, DM_AUDIO_RATE);
    return 1.0;
}

bool sameSetting(const MVtrack *a, const MVtrack *b, const char *name)
{
    return dmParamsGetInt(a->params, name) == dmParamsGetInt(b->params, name);
}

bool storedBytesFit(const MVtrack *source, const MVtrack *dest)
{
    if (source->kind != MV_KIND_IMAGE || dest->kind != MV_KIND_IMAGE)
        return false;
    for (const char *name : {DM_IMAGE_WIDTH, DM_IMAGE_HEIGHT, DM_IMAGE_INTERLACING,
                             DM_IMAGE_PACKING, DM_IMAGE_ORIENTATION})
        if (!sameSetting(source, dest, name))
            return false;
    const char *a = dmParamsGetString(source->params, DM_IMAGE_COMPRESSION);
    const char *b = dmParamsGetString(dest->params, DM_IMAGE_COMPRESSION);
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

size_t frameSizeOf(const MVtrack *track)
{
    if (track->kind == MV_KIND_IMAGE)
        return size_t(static_cast<const MVimageTrack *>(track)->frameSize);
    return size_t(static_cast<const MVaudioTrack *>(track)->frameBytes);
}

// Copies the per-frame list of one image frame to another. What the caller
// keeps is chosen by keepKeyMark: a decoded copy was recompressed by the
// destination's codec, whose own key-frame marks must stay.
int copyFrameParams(MVimageTrack *source, int sourceFrame, MVimageTrack *dest, int destFrame,
                    bool keepKeyMark)
{
    if (__mvDL_Seek(source->directory, sourceFrame, nullptr, nullptr, nullptr, nullptr) != 0)
        return -1;
    const DMparams *from = __mvDL_GetParams(source->directory);
    if (__mvDL_Seek(dest->directory, destFrame, nullptr, nullptr, nullptr, nullptr) != 0)
        return -1;
    DMparams *to = __mvDL_GetParams(dest->directory);
    if (from == nullptr || to == nullptr)
        return -1;
    int count = dmParamsGetNumElems(from);
    for (int i = 0; i < count; i++) {
        const char *name = dmParamsGetElem(from, i);
        if (keepKeyMark && std::strcmp(name, MV_KEY_FRAME) == 0)
            continue;
        if (dmParamsCopyElem(from, name, to) != 0)
            return fail(MV_ERR_NO_MEMORY);
    }
    return 0;
}

// Where source frame s stands now, after `copied` frames were inserted at
// destFrame of the same track.
int shifted(bool sameTrack, int s, int destFrame, int copied)
{
    return sameTrack && s >= destFrame ? s + copied : s;
}

int pasteStored(MVimageTrack *source, int sourceFrame, int count, MVimageTrack *dest,
                int destFrame)
{
    bool same = source == dest;
    std::vector<uint8_t> buffer;
    for (int i = 0; i < count; i++) {
        int s = shifted(same, sourceFrame + i, destFrame, i);
        uint32_t size = 0;
        if (__mvIT_StoredSize(source, s, &size) != 0)
            return -1;
        try {
            if (buffer.size() < size)
                buffer.resize(size + kStoredHeadroom);
        } catch (const std::bad_alloc &) {
            return fail(MV_ERR_NO_MEMORY);
        }
        if (__mvIT_ReadStored(source, s, buffer.size(), buffer.data()) != 0 ||
            __mvIT_InsertStored(dest, destFrame + i, size, buffer.data()) != 0)
            return -1;
        // The insertion may have moved the source frame along by one.
        if (copyFrameParams(source, shifted(same, sourceFrame + i, destFrame, i + 1), dest,
                            destFrame + i, false) != 0)
            return -1;
    }
    return 0;
}

int readFrames(MVtrack *track, int first, int count, void *buffer)
{
    if (track->kind == MV_KIND_AUDIO)
        return __mvAT_ReadFrames(static_cast<MVaudioTrack *>(track), first, count, buffer);
    return __mvIT_ReadFrames(static_cast<MVimageTrack *>(track), first, count, buffer);
}

int insertFrames(MVtrack *track, int first, int count, const void *buffer)
{
    if (track->kind == MV_KIND_AUDIO)
        return __mvAT_InsertFrames(static_cast<MVaudioTrack *>(track), first, count, buffer);
    return __mvIT_InsertFrames(static_cast<MVimageTrack *>(track), first, count, buffer);
}

int pasteDecoded(MVtrack *source, int sourceFrame, int count, MVtrack *dest, int destFrame)
{
    size_t frameSize = frameSizeOf(source);
    if (frameSize != frameSizeOf(dest) || frameSize == 0)
        return fail(MV_ERR_FRAME_SIZE_MISMATCH);
    size_t chunk = kGoodChunkSize / frameSize;
    if (chunk < 1)
        chunk = 1;
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(chunk * frameSize);
    } catch (const std::bad_alloc &) {
        return fail(MV_ERR_NO_MEMORY);
    }
    bool same = source == dest;
    bool bothImage = source->kind == MV_KIND_IMAGE && dest->kind == MV_KIND_IMAGE;
    int copied = 0;
    while (copied < count) {
        int s = sourceFrame + copied;
        int n = count - copied < int(chunk) ? count - copied : int(chunk);
        // Within one track a chunk must not straddle the insertion point, so
        // that all its frames sit at one shifted place.
        if (same && s < destFrame && s + n > destFrame)
            n = destFrame - s;
        int at = shifted(same, s, destFrame, copied);
        if (readFrames(source, at, n, buffer.data()) != 0 ||
            insertFrames(dest, destFrame + copied, n, buffer.data()) != 0)
            return -1;
        if (bothImage) {
            auto *from = static_cast<MVimageTrack *>(source);
            auto *to = static_cast<MVimageTrack *>(dest);
            for (int i = 0; i < n; i++)
                if (copyFrameParams(from, shifted(same, s + i, destFrame, copied + n), to,
                                    destFrame + copied + i, true) != 0)
                    return -1;
        }
        copied += n;
    }
    return 0;
}

}  // namespace

int __mvMapFrame(MVtrack *source, MVtrack *dest, int frame, int *destFrame)
{
    double seconds = double(static_cast<unsigned>(frame)) / rateOf(source);
    double mapped = std::floor(seconds * rateOf(dest));
    int length = __mvT_Length(dest);
    if (!(mapped <= double(length))) {
        *destFrame = length;
        return fail(MV_ERR_FRAME_RANGE);
    }
    *destFrame = int(mapped);
    return 0;
}

int __mvAudioForImageFrame(MVid imageId, MVid audioId, int frame, int *firstAudio,
                           int *audioCount)
{
    MVimageTrack *image = __mvFindImageTrack(imageId);
    MVaudioTrack *audio = image != nullptr ? __mvFindAudioTrack(audioId) : nullptr;
    if (audio == nullptr)
        return -1;
    if (firstAudio == nullptr || audioCount == nullptr)
        return fail(EINVAL);
    if (frame < 0 || frame == std::numeric_limits<int>::max())
        return fail(MV_ERR_FRAME_RANGE);
    // Past the end of the audio both ends clamp to its length, which leaves
    // fewer (or no) frames rather than an error.
    int first = 0, end = 0;
    __mvMapFrame(image, audio, frame, &first);
    __mvMapFrame(image, audio, frame + 1, &end);
    *firstAudio = first;
    *audioCount = end - first;
    return 0;
}

int __mvPaste(MVtrack *source, int sourceFrame, int count, MVtrack *dest, int destFrame)
{
    if (sourceFrame < 0 || count < 0 || count > __mvT_Length(source) - sourceFrame ||
        destFrame < 0 || destFrame > __mvT_Length(dest))
        return fail(MV_ERR_FRAME_RANGE);
    if (count == 0)
        return 0;
    if (storedBytesFit(source, dest))
        return pasteStored(static_cast<MVimageTrack *>(source), sourceFrame, count,
                           static_cast<MVimageTrack *>(dest), destFrame);
    return pasteDecoded(source, sourceFrame, count, dest, destFrame);
}
