// Image tracks: creation from the seven settings that describe a picture,
// the codec bridge object of a compressed track, and later parameter changes
// (the rate, the start timecode and the codec depth may change).
//
// Besides its parameters an image track keeps a "virtual format": the same
// seven settings with the compression "Uncompressed Video", describing frames
// as the library hands them to its callers.
#include <cstring>
#include <new>

#include <cinelark/movie.h>

#include "engine_hooks.h"
#include "error.h"
#include "model.h"
#include "param_rules.h"

using cinelark::movie::applyAnimationDepth;
using cinelark::movie::checkImageCombination;
using cinelark::movie::checkParams;
using cinelark::movie::copyParams;
using cinelark::movie::imageRules;
using cinelark::movie::kDefaultCodecDepth;

namespace {

const char *const kPictureSettings[] = {
    DM_IMAGE_WIDTH,      DM_IMAGE_HEIGHT,  DM_IMAGE_RATE,        DM_IMAGE_COMPRESSION,
    DM_IMAGE_INTERLACING, DM_IMAGE_PACKING, DM_IMAGE_ORIENTATION,
};

bool isUncompressed(const char *scheme)
{
    return std::strcmp(scheme, DM_IMAGE_UNCOMPRESSED) == 0;
}

int openCodec(MVimageTrack *track)
{
    const char *scheme = dmParamsGetString(track->params, DM_IMAGE_COMPRESSION);
    if (isUncompressed(scheme))
        return 0;
    int depth = dmParamsIsPresent(track->params, MV_IMAGE_CSIZE)
                    ? dmParamsGetInt(track->params, MV_IMAGE_CSIZE)
                    : kDefaultCodecDepth;
    if (__mvCD_Create(scheme, dmParamsGetInt(track->params, DM_IMAGE_WIDTH),
                      dmParamsGetInt(track->params, DM_IMAGE_HEIGHT), depth, track->packing,
                      &track->codec) != 0)
        return -1;
    // QuickTime "jpeg" frames are full-range JFIF pictures, as every other
    // program reads and writes them.
    if (dmParamsGetEnum(track->movie->params, MV_FILE_FORMAT) == MV_FORMAT_QUICKTIME &&
        __mvCD_UseFullRange(track->codec) != 0)
        return -1;
    size_t bytes = 0;
    if (__mvCD_BufferSize(track->codec, &bytes) != 0)
        return -1;
    try {
        track->compressed.resize(bytes);
    } catch (const std::bad_alloc &) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    return 0;
}

}  // namespace

int __mvIT_RestartCodec(MVimageTrack *track)
{
    __mvCD_Destroy(track->codec);
    track->codec = nullptr;
    track->codecSpeed = 1.0;
    return openCodec(track);
}

int __mvIT_Create(MVmovie *movie, DMparams *params, DMparams *returnParams, MVid *id)
{
    bool quickTime = dmParamsGetEnum(movie->params, MV_FILE_FORMAT) == MV_FORMAT_QUICKTIME;
    if (checkParams(params, imageRules(), true, MV_ERR_IMAGE_SETTINGS) != 0 ||
        checkImageCombination(params, nullptr, quickTime) != 0)
        return -1;
    size_t frameSize = dmImageFrameSize(params);
    if (frameSize == 0) {
        __mvSetErrno(MV_ERR_IMAGE_SETTINGS);
        return -1;
    }
    auto *track = new (std::nothrow) MVimageTrack;
    if (track == nullptr) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    if (__mvT_Attach(track, movie, MV_KIND_IMAGE) != 0 ||
        dmParamsCreate(&track->virtualFormat) != 0) {
        __mvT_Free(track);
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    track->id = __mvNewID(MV_KIND_IMAGE);
    track->frameSize = static_cast<int>(frameSize);
    track->packing = dmParamsGetEnum(params, DM_IMAGE_PACKING);
    track->lastDecoded = -1;

    bool ok = dmParamsSetEnum(track->params, DM_MEDIUM, DM_MEDIUM_IMAGE) == 0 &&
              copyParams(params, imageRules(), false, track->params, returnParams) == 0 &&
              applyAnimationDepth(track->params) == 0;
    for (const char *name : kPictureSettings)
        ok = ok && dmParamsCopyElem(params, name, track->virtualFormat) == 0;
    ok = ok &&
         dmParamsSetString(track->virtualFormat, DM_IMAGE_COMPRESSION, DM_IMAGE_UNCOMPRESSED) ==
             0 &&
         dmParamsSetInt(track->params, MV_TRACK_LENGTH, 0) == 0;
    if (!ok) {
        __mvT_Free(track);
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    if (openCodec(track) != 0) {
        __mvT_Free(track);
        return -1;
    }
    return __mvT_Publish(track, id);
}

int __mvIT_SetParams(MVimageTrack *track, DMparams *params, DMparams *returnParams)
{
    if (checkParams(params, imageRules(), false, MV_ERR_IMAGE_SETTINGS) != 0 ||
        checkImageCombination(params, track->params, false) != 0 ||
        copyParams(params, imageRules(), true, track->params, returnParams) != 0)
        return -1;
    // The virtual format describes the same pictures at the same rate.
    if (dmParamsIsPresent(params, DM_IMAGE_RATE) &&
        dmParamsCopyElem(params, DM_IMAGE_RATE, track->virtualFormat) != 0) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    if (applyAnimationDepth(track->params) != 0) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    __mvMV_SetDirty(track->movie);
    return 0;
}
