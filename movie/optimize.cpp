// Rewriting a movie interleaved: the copy holds, after its directory space,
// each image frame preceded by the audio that plays with it, then any audio
// left after the last picture, so that a player reading in time order moves
// forward through the file.
#include <cinelark/movie.h>

#include "api.h"
#include "error.h"
#include "filespace.h"
#include "frames.h"
#include "model.h"
#include "trackset.h"

using namespace cinelark::movie;

namespace {

// Adds to dest a track like the first one of medium in source; 0 for id
// when source has none.
int copyTrack(MVmovie *source, MVmovie *dest, int medium, MVid *id)
{
    *id = 0;
    MVid from = __mvMV_FirstTrack(source, medium);
    if (from == 0)
        return 0;
    return mvAddTrack(dest->id, medium, __mvT_GetParams(from), nullptr, id);
}

int optimize(MVmovie *source, MVmovie *dest)
{
    if (__mvIS_Size(dest->tracks) != 0)
        return failWith(MV_ERR_OPTIMIZE_NOT_EMPTY);
    MVid imageId = 0, audioId = 0;
    if (mvSetParams(dest->id, source->params, nullptr) != 0 ||
        copyTrack(source, dest, DM_MEDIUM_IMAGE, &imageId) != 0 ||
        copyTrack(source, dest, DM_MEDIUM_AUDIO, &audioId) != 0)
        return -1;
    // The source's directory size is known once it is written; reserving as
    // much at the start of the copy keeps the copy's directory from having
    // to move frame data when it is written.
    if (source->dirty && mvWrite(source->id) != 0)
        return -1;
    if (source->directorySize > 0 &&
        __mvFM_EnsureDirSpace(dest->fileSpace, source->directorySize) != 0)
        return -1;

    MVtrack *imageFrom = imageId ? __mvFindTrack(__mvMV_FirstTrack(source, DM_MEDIUM_IMAGE)) : nullptr;
    MVtrack *audioFrom = audioId ? __mvFindTrack(__mvMV_FirstTrack(source, DM_MEDIUM_AUDIO)) : nullptr;
    MVtrack *imageTo = imageId ? __mvFindTrack(imageId) : nullptr;
    MVtrack *audioTo = audioId ? __mvFindTrack(audioId) : nullptr;

    int images = imageFrom != nullptr ? __mvT_Length(imageFrom) : 0;
    for (int i = 0; i < images; i++) {
        if (audioFrom != nullptr) {
            int first = 0, count = 0;
            if (__mvAudioForImageFrame(imageFrom->id, audioFrom->id, i, &first, &count) != 0)
                return -1;
            if (count > 0 && __mvPaste(audioFrom, first, count, audioTo, first) != 0)
                return -1;
        }
        if (__mvPaste(imageFrom, i, 1, imageTo, i) != 0)
            return -1;
    }
    if (audioFrom != nullptr) {
        int start = 0;
        if (imageFrom != nullptr)
            __mvMapFrame(imageFrom, audioFrom, images, &start);
        int left = __mvT_Length(audioFrom) - start;
        if (left > 0 && __mvPaste(audioFrom, start, left, audioTo, start) != 0)
            return -1;
    }
    return 0;
}

}  // namespace

extern "C" int mvOptimize(MVid sourceId, MVid destId)
{
    return guarded([&] {
        MVmovie *source = __mvFindMovie(sourceId);
        MVmovie *dest = source != nullptr ? __mvFindMovie(destId) : nullptr;
        if (dest == nullptr)
            return -1;
        if (source == dest)
            return failWith(MV_ERR_OPTIMIZE_NOT_EMPTY);
        if (optimize(source, dest) != 0)
            return -1;
        if (dmParamsSetInt(dest->params, MV_OPTIMIZED, 1) != 0)
            return failWith(MV_ERR_NO_MEMORY);
        __mvMV_SetDirty(dest);
        return 0;
    });
}
