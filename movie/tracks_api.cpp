// The public operations on tracks and parameter lists.
#include <cinelark/movie.h>

#include "api.h"
#include "directory.h"
#include "error.h"
#include "model.h"
#include "trackset.h"

using namespace cinelark::movie;

namespace {

// Deletes every frame of a track, entry by entry from the start, marking the
// movie changed when there were any.
int deleteAllFrames(MVtrack *track)
{
    if (__mvDL_DirCount(track->directory) == 0)
        return 0;
    while (__mvDL_DirCount(track->directory) > 0) {
        if (__mvDL_Seek(track->directory, 0, nullptr, nullptr, nullptr, nullptr) != 0 ||
            __mvDL_DeleteEntry(track->directory) != 0)
            return -1;
    }
    __mvMV_FramesChanged(track->movie);
    return __mvT_UpdateLength(track);
}

}  // namespace

extern "C" {

int mvAddTrack(MVid movieId, int medium, DMparams *params, DMparams *returnParams, MVid *track)
{
    return guarded([&] {
        if (params == nullptr || track == nullptr)
            return invalidArgument();
        MVmovie *movie = __mvFindMovie(movieId);
        if (movie == nullptr)
            return -1;
        if (medium != DM_MEDIUM_AUDIO && medium != DM_MEDIUM_IMAGE)
            return failWith(MV_ERR_BAD_MEDIUM);
        // The track set has room for MV_MAX_TRACKS ids; refuse the next one
        // before anything is built.
        if (__mvIS_Size(movie->tracks) >= MV_MAX_TRACKS)
            return failWith(MV_ERR_NO_MEMORY);
        if (medium == DM_MEDIUM_AUDIO)
            return __mvAT_Create(movie, params, returnParams, track);
        return __mvIT_Create(movie, params, returnParams, track);
    });
}

int mvFindTrackByMedium(MVid movieId, int medium, MVid *track)
{
    return guarded([&] {
        if (track == nullptr)
            return invalidArgument();
        MVmovie *movie = __mvFindMovie(movieId);
        if (movie == nullptr)
            return -1;
        if (medium == DM_MEDIUM_AUDIO || medium == DM_MEDIUM_IMAGE) {
            if (MVid found = __mvMV_FirstTrack(movie, medium)) {
                *track = found;
                return 0;
            }
        }
        return failWith(MV_ERR_NO_TRACK);
    });
}

int mvRemoveTrack(MVid movieId, MVid trackId)
{
    return guarded([&] {
        MVmovie *movie = __mvFindMovie(movieId);
        if (movie == nullptr)
            return -1;
        MVtrack *track = __mvFindTrack(trackId);
        if (track == nullptr)
            return -1;
        if (track->movie != movie)
            return failWith(MV_ERR_BAD_ID);
        if (deleteAllFrames(track) != 0 || __mvIS_Remove(movie->tracks, trackId) != 0)
            return -1;
        return __mvT_Destroy(trackId);
    });
}

DMparams *mvGetParams(MVid id)
{
    try {
        if (MVmovie *movie = __mvFindMovie(id))
            return movie->params;
        if (MVtrack *track = __mvFindTrack(id))
            return track->params;
    } catch (...) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
    }
    return nullptr;
}

int mvSetParams(MVid id, DMparams *params, DMparams *returnParams)
{
    return guarded([&] {
        if (params == nullptr)
            return invalidArgument();
        if (MVmovie *movie = __mvFindMovie(id))
            return __mvMV_SetParams(movie, params, returnParams);
        if (MVaudioTrack *audio = __mvFindAudioTrack(id))
            return __mvAT_SetParams(audio, params, returnParams);
        if (MVimageTrack *image = __mvFindImageTrack(id))
            return __mvIT_SetParams(image, params, returnParams);
        return -1;
    });
}

int mvSetMovieDefaults(DMparams *params, int fileFormat)
{
    return guarded([&] {
        if (params == nullptr)
            return invalidArgument();
        if (fileFormat < MV_FORMAT_NATIVE_1 || fileFormat > MV_FORMAT_QUICKTIME)
            return failWith(MV_ERR_MOVIE_SETTINGS);
        if (dmParamsSetEnum(params, MV_FILE_FORMAT, fileFormat) != 0 ||
            dmParamsSetInt(params, MV_LOOP_LIMIT, 0) != 0 ||
            dmParamsSetEnum(params, MV_LOOP_MODE, MV_LOOP_ONCE) != 0 ||
            dmParamsSetInt(params, MV_OPTIMIZED, 0) != 0)
            return failWith(MV_ERR_NO_MEMORY);
        return 0;
    });
}

}  // extern "C"
