// Movie objects: creation on a stream, parameters, dirty marking and
// destruction.
//
// A new movie's file-space manager records one 4-byte block at offset 0 for
// the magic of the native format, so that frame data never lands there.
#include <new>

#include <cinelark/movie.h>

#include "error.h"
#include "filespace.h"
#include "model.h"
#include "param_rules.h"
#include "stream.h"
#include "trackset.h"

using cinelark::movie::checkParams;
using cinelark::movie::copyParams;
using cinelark::movie::movieRules;

namespace {

constexpr uint32_t kHeaderBlockSize = 4;

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

}  // namespace

int __mvMV_Create(MVstream *stream, DMparams *params, DMparams *returnParams, MVid *id)
{
    if (checkParams(params, movieRules(), true, MV_ERR_MOVIE_SETTINGS) != 0) {
        __mvS_Destroy(stream);
        return -1;
    }
    auto *movie = new (std::nothrow) MVmovie;
    if (movie == nullptr) {
        __mvS_Destroy(stream);
        return fail(MV_ERR_NO_MEMORY);
    }
    movie->stream = stream;
    if (__mvFM_Create(stream, &movie->fileSpace) != 0 || __mvIS_Create(&movie->tracks) != 0 ||
        dmParamsCreate(&movie->params) != 0) {
        __mvMV_Destroy(movie);
        return fail(MV_ERR_NO_MEMORY);
    }
    movie->id = __mvNewID(MV_KIND_MOVIE);
    if (__mvMV_SetParams(movie, params, returnParams) != 0 || __mvRegisterMovie(movie) != 0) {
        __mvMV_Destroy(movie);
        return -1;
    }
    if (__mvFM_InitStart(movie->fileSpace) != 0 ||
        __mvFM_InitBlock(movie->fileSpace, 0, kHeaderBlockSize, &movie->headerOffset) != 0) {
        __mvUnregisterMovie(movie->id);
        __mvMV_Destroy(movie);
        return -1;
    }
    *id = movie->id;
    return 0;
}

int __mvMV_LoadDone(MVid id, uint32_t directorySize)
{
    MVmovie *movie = __mvFindMovie(id);
    if (movie == nullptr)
        return -1;
    if (__mvFM_InitDone(movie->fileSpace) != 0)
        return -1;
    movie->directorySize = directorySize;
    movie->dirty = false;
    return 0;
}

int __mvMV_SetParams(MVmovie *movie, DMparams *params, DMparams *returnParams)
{
    if (checkParams(params, movieRules(), false, MV_ERR_MOVIE_SETTINGS) != 0 ||
        copyParams(params, movieRules(), false, movie->params, returnParams) != 0)
        return -1;
    movie->dirty = true;
    return 0;
}

void __mvMV_SetDirty(MVmovie *movie)
{
    if (movie != nullptr)
        movie->dirty = true;
}

void __mvMV_FramesChanged(MVmovie *movie)
{
    if (movie == nullptr)
        return;
    movie->dirty = true;
    dmParamsSetInt(movie->params, MV_OPTIMIZED, 0);
}

void __mvMV_Destroy(MVmovie *movie)
{
    if (movie == nullptr)
        return;
    if (movie->tracks != nullptr) {
        // Destroying a track removes it from the set, so take the first
        // until none is left.
        while (__mvIS_Size(movie->tracks) > 0) {
            MVid track = __mvIS_Elem(movie->tracks, 0);
            __mvIS_Remove(movie->tracks, track);
            if (MVtrack *t = __mvFindTrack(track)) {
                __mvUnregisterTrack(t);
                __mvT_Free(t);
            }
        }
        __mvIS_Destroy(movie->tracks);
    }
    __mvFM_Destroy(movie->fileSpace);
    dmParamsDestroy(movie->params);
    __mvS_Destroy(movie->stream);
    delete movie;
}

MVstream *__mvMV_Stream(MVid id)
{
    MVmovie *movie = __mvFindMovie(id);
    return movie != nullptr ? movie->stream : nullptr;
}

MVfilespace *__mvMV_FileSpace(MVid id)
{
    MVmovie *movie = __mvFindMovie(id);
    return movie != nullptr ? movie->fileSpace : nullptr;
}

int __mvMV_TrackCount(MVid id)
{
    MVmovie *movie = __mvFindMovie(id);
    return movie != nullptr ? __mvIS_Size(movie->tracks) : 0;
}

MVid __mvMV_TrackAt(MVid id, int index)
{
    MVmovie *movie = __mvFindMovie(id);
    return movie != nullptr ? __mvIS_Elem(movie->tracks, index) : 0;
}

uint32_t __mvMV_DirectorySize(MVid id)
{
    MVmovie *movie = __mvFindMovie(id);
    return movie != nullptr ? movie->directorySize : 0;
}

void __mvMV_SetDirectorySize(MVid id, uint32_t size)
{
    if (MVmovie *movie = __mvFindMovie(id))
        movie->directorySize = size;
}

MVid __mvMV_FirstTrack(MVmovie *movie, int medium)
{
    int kind = medium == DM_MEDIUM_AUDIO ? MV_KIND_AUDIO : MV_KIND_IMAGE;
    for (int i = 0; i < __mvIS_Size(movie->tracks); i++) {
        MVid track = __mvIS_Elem(movie->tracks, i);
        if (track % 10 == kind)
            return track;
    }
    return 0;
}
