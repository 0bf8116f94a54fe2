// What audio and image tracks share: the first and last steps of creating
// one, lookups for the rest of the library, loading directory entries, the
// track length and destruction.
#include <cinelark/movie.h>

#include "directory.h"
#include "engine_hooks.h"
#include "error.h"
#include "model.h"
#include "trackset.h"

int __mvT_Attach(MVtrack *track, MVmovie *movie, int kind)
{
    track->kind = kind;
    track->movie = movie;
    track->stream = movie->stream;
    track->fileSpace = movie->fileSpace;
    if (__mvDL_Create(&track->directory, movie->fileSpace) != 0 ||
        dmParamsCreate(&track->params) != 0) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    return 0;
}

int __mvT_Publish(MVtrack *track, MVid *id)
{
    if (__mvRegisterTrack(track) != 0) {
        __mvT_Free(track);
        return -1;
    }
    if (__mvIS_Add(track->movie->tracks, track->id) != 0) {
        __mvUnregisterTrack(track);
        __mvT_Free(track);
        return -1;
    }
    __mvMV_SetDirty(track->movie);
    *id = track->id;
    return 0;
}

MVdirectory *__mvT_DirList(MVid id)
{
    MVtrack *track = __mvFindTrack(id);
    return track != nullptr ? track->directory : nullptr;
}

DMparams *__mvT_GetParams(MVid id)
{
    MVtrack *track = __mvFindTrack(id);
    return track != nullptr ? track->params : nullptr;
}

DMparams *__mvT_GetVirtualFormat(MVid id)
{
    MVtrack *track = __mvFindTrack(id);
    if (track == nullptr)
        return nullptr;
    if (track->kind == MV_KIND_IMAGE)
        return static_cast<MVimageTrack *>(track)->virtualFormat;
    return track->params;
}

int __mvT_Length(const MVtrack *track) { return __mvDL_TotalFrames(track->directory); }

int __mvT_UpdateLength(MVtrack *track)
{
    if (dmParamsSetInt(track->params, MV_TRACK_LENGTH, __mvT_Length(track)) != 0) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    return 0;
}

int __mvT_InitDirEntry(MVid id, uint32_t offset, uint32_t size, DMparams *frameParams)
{
    MVtrack *track = __mvFindTrack(id);
    if (track == nullptr) {
        dmParamsDestroy(frameParams);
        return -1;
    }
    if (size == 0) {
        dmParamsDestroy(frameParams);
        return 0;
    }
    int frames = 1;
    if (track->kind == MV_KIND_AUDIO)
        frames = static_cast<int>(size / static_cast<MVaudioTrack *>(track)->frameBytes);
    if (__mvDL_InitEntry(track->directory, frames, offset, size, frameParams) != 0)
        return -1;
    return __mvT_UpdateLength(track);
}

void __mvT_Free(MVtrack *track)
{
    if (track == nullptr)
        return;
    __mvDL_Destroy(track->directory);
    dmParamsDestroy(track->params);
    if (track->kind == MV_KIND_IMAGE) {
        auto *image = static_cast<MVimageTrack *>(track);
        dmParamsDestroy(image->virtualFormat);
        if (image->codec != nullptr)
            __mvCD_Destroy(image->codec);
        delete image;
    } else {
        delete static_cast<MVaudioTrack *>(track);
    }
}

int __mvT_Destroy(MVid id)
{
    MVtrack *track = __mvFindTrack(id);
    if (track == nullptr)
        return -1;
    __mvMV_SetDirty(track->movie);
    __mvUnregisterTrack(track);
    __mvT_Free(track);
    return 0;
}
