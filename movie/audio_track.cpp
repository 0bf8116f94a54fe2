// Audio tracks: creation from the five settings that fix the sample layout,
// and later parameter changes (only the start timecode and the default
// volume may change).
#include <new>

#include <cinelark/movie.h>

#include "error.h"
#include "model.h"
#include "param_rules.h"

using cinelark::movie::audioRules;
using cinelark::movie::checkParams;
using cinelark::movie::copyParams;

namespace {

// The volume a track plays at when its creator gave none.
constexpr double kDefaultVolume = 1.0;

}  // namespace

int __mvAT_Create(MVmovie *movie, DMparams *params, DMparams *returnParams, MVid *id)
{
    if (checkParams(params, audioRules(), true, MV_ERR_AUDIO_SETTINGS) != 0)
        return -1;
    auto *track = new (std::nothrow) MVaudioTrack;
    if (track == nullptr) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    if (__mvT_Attach(track, movie, MV_KIND_AUDIO) != 0) {
        __mvT_Free(track);
        return -1;
    }
    track->id = __mvNewID(MV_KIND_AUDIO);
    track->format = dmParamsGetEnum(params, DM_AUDIO_FORMAT);
    track->width = dmParamsGetInt(params, DM_AUDIO_WIDTH);
    track->channels = dmParamsGetInt(params, DM_AUDIO_CHANNELS);

    if (dmParamsSetEnum(track->params, DM_MEDIUM, DM_MEDIUM_AUDIO) != 0 ||
        copyParams(params, audioRules(), false, track->params, returnParams) != 0 ||
        (!dmParamsIsPresent(track->params, MV_DEFAULT_VOL) &&
         dmParamsSetFloat(track->params, MV_DEFAULT_VOL, kDefaultVolume) != 0) ||
        dmParamsSetInt(track->params, MV_TRACK_LENGTH, 0) != 0) {
        __mvT_Free(track);
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    track->frameBytes = dmAudioFrameSize(track->params);
    return __mvT_Publish(track, id);
}

int __mvAT_SetParams(MVaudioTrack *track, DMparams *params, DMparams *returnParams)
{
    if (checkParams(params, audioRules(), false, MV_ERR_AUDIO_SETTINGS) != 0 ||
        copyParams(params, audioRules(), true, track->params, returnParams) != 0)
        return -1;
    __mvMV_SetDirty(track->movie);
    return 0;
}
