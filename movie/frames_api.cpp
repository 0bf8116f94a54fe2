// The public frame operations: they resolve ids, check the caller's buffer
// against the frames asked for, and hand over to the track's own code.
#include <cinelark/movie.h>

#include "api.h"
#include "error.h"
#include "frames.h"
#include "model.h"

using namespace cinelark::movie;

namespace {

// Bytes of count frames of a track, 0 when count is negative.
size_t framesBytes(const MVtrack *track, int count)
{
    if (count < 0)
        return 0;
    size_t frame = track->kind == MV_KIND_AUDIO
                       ? size_t(static_cast<const MVaudioTrack *>(track)->frameBytes)
                       : size_t(static_cast<const MVimageTrack *>(track)->frameSize);
    return frame * size_t(count);
}

}  // namespace

extern "C" {

int mvReadFrames(MVid id, int firstFrame, int count, size_t bufferSize, void *buffer)
{
    return guarded([&] {
        MVtrack *track = __mvFindTrack(id);
        if (track == nullptr)
            return -1;
        if (count < 0 || firstFrame < 0)
            return failWith(MV_ERR_FRAME_RANGE);
        if ((buffer == nullptr && count > 0) || bufferSize < framesBytes(track, count))
            return invalidArgument();
        if (track->kind == MV_KIND_AUDIO)
            return __mvAT_ReadFrames(static_cast<MVaudioTrack *>(track), firstFrame, count,
                                     buffer);
        return __mvIT_ReadFrames(static_cast<MVimageTrack *>(track), firstFrame, count, buffer);
    });
}

int mvInsertFrames(MVid id, int firstFrame, int count, size_t bufferSize, void *buffer)
{
    return guarded([&] {
        MVtrack *track = __mvFindTrack(id);
        if (track == nullptr)
            return -1;
        if (count < 0 || firstFrame < 0)
            return failWith(MV_ERR_FRAME_RANGE);
        if ((buffer == nullptr && count > 0) || bufferSize < framesBytes(track, count))
            return invalidArgument();
        if (track->kind == MV_KIND_AUDIO)
            return __mvAT_InsertFrames(static_cast<MVaudioTrack *>(track), firstFrame, count,
                                       buffer);
        return __mvIT_InsertFrames(static_cast<MVimageTrack *>(track), firstFrame, count,
                                   buffer);
    });
}

int mvDeleteFrames(MVid id, int firstFrame, int count)
{
    return guarded([&] {
        MVtrack *track = __mvFindTrack(id);
        if (track == nullptr)
            return -1;
        if (track->kind == MV_KIND_AUDIO)
            return __mvAT_DeleteFrames(static_cast<MVaudioTrack *>(track), firstFrame, count);
        return __mvIT_DeleteFrames(static_cast<MVimageTrack *>(track), firstFrame, count);
    });
}

int mvPasteFrames(MVid sourceId, int sourceFrame, int count, MVid destId, int destFrame)
{
    return guarded([&] {
        MVtrack *source = __mvFindTrack(sourceId);
        MVtrack *dest = source != nullptr ? __mvFindTrack(destId) : nullptr;
        if (dest == nullptr)
            return -1;
        return __mvPaste(source, sourceFrame, count, dest, destFrame);
    });
}

int mvMapBetweenTracks(MVid sourceId, MVid destId, int sourceFrame, int *destFrame)
{
    return guarded([&] {
        MVtrack *source = __mvFindTrack(sourceId);
        MVtrack *dest = source != nullptr ? __mvFindTrack(destId) : nullptr;
        if (dest == nullptr)
            return -1;
        if (destFrame == nullptr)
            return invalidArgument();
        return __mvMapFrame(source, dest, sourceFrame, destFrame);
    });
}

size_t mvGetCompressedImageSize(MVid id, int frame)
{
    try {
        MVimageTrack *track = __mvFindImageTrack(id);
        uint32_t size = 0;
        if (track == nullptr || __mvIT_StoredSize(track, frame, &size) != 0)
            return 0;
        return size;
    } catch (...) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return 0;
    }
}

int mvReadCompressedImage(MVid id, int frame, size_t bufferSize, void *buffer)
{
    return guarded([&] {
        MVimageTrack *track = __mvFindImageTrack(id);
        if (track == nullptr)
            return -1;
        if (buffer == nullptr)
            return invalidArgument();
        return __mvIT_ReadStored(track, frame, bufferSize, buffer);
    });
}

int mvInsertCompressedImage(MVid id, int frame, size_t size, void *data)
{
    return guarded([&] {
        MVimageTrack *track = __mvFindImageTrack(id);
        if (track == nullptr)
            return -1;
        if (data == nullptr || size == 0 || size > UINT32_MAX)
            return invalidArgument();
        return __mvIT_InsertStored(track, frame, uint32_t(size), data);
    });
}

}  // extern "C"
