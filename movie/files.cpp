// The public operations on movie files: recognising, opening, creating,
// writing and closing movies on named files, descriptors and memory.
#include <fcntl.h>
#include <unistd.h>

#include <cinelark/movie.h>

#include "api.h"
#include "engine_hooks.h"
#include "error.h"
#include "formats.h"
#include "model.h"
#include "param_rules.h"
#include "stream.h"

using namespace cinelark::movie;

namespace {

// A new movie is complete as soon as it exists: it has no tracks to load,
// so its loading phase ends at once and it starts clean.
int createOn(MVstream *stream, DMparams *params, DMparams *returnParams, MVid *movie)
{
    MVid id = 0;
    if (__mvMV_Create(stream, params, returnParams, &id) != 0)
        return -1;
    if (__mvMV_LoadDone(id, 0) != 0) {
        MVmovie *object = __mvFindMovie(id);
        __mvUnregisterMovie(id);
        __mvMV_Destroy(object);
        return -1;
    }
    *movie = id;
    return 0;
}

int openOn(MVstream *stream, MVid *movie)
{
    int format = 0;
    if (__mvDetectFormat(stream, &format) != 0) {
        __mvS_Destroy(stream);
        return failWith(MV_ERR_NOT_MOVIE);
    }
    return __mvReadMovie(stream, format, movie);
}

int isMovie(MVstream *stream)
{
    int format = 0;
    int found = __mvDetectFormat(stream, &format) == 0;
    __mvS_Destroy(stream);
    return found ? 1 : 0;
}

}  // namespace

extern "C" {

int mvIsMovieFile(const char *fileName)
{
    return guarded([&] {
        MVstream *stream = nullptr;
        if (fileName == nullptr || __mvS_CreateWithFile(fileName, O_RDONLY, &stream) != 0)
            return 0;
        return isMovie(stream);
    });
}

int mvIsMovieFD(int fd)
{
    return guarded([&] {
        MVstream *stream = nullptr;
        if (fd < 0 || __mvS_CreateWithFD(fd, 0, &stream) != 0)
            return 0;
        return isMovie(stream);
    });
}

int mvIsMovieMem(void *address, size_t size)
{
    return guarded([&] {
        MVstream *stream = nullptr;
        if (address == nullptr || __mvS_CreateWithMem(address, size, &stream) != 0)
            return 0;
        return isMovie(stream);
    });
}

int mvOpenFile(const char *fileName, int openFlags, MVid *movie)
{
    return guarded([&] {
        int access = openFlags & O_ACCMODE;
        if (fileName == nullptr || movie == nullptr || (access != O_RDONLY && access != O_RDWR))
            return invalidArgument();
        MVstream *stream = nullptr;
        if (__mvS_CreateWithFile(fileName, access, &stream) != 0)
            return -1;
        return openOn(stream, movie);
    });
}

int mvOpenFD(int fd, MVid *movie)
{
    return guarded([&] {
        if (fd < 0 || movie == nullptr)
            return invalidArgument();
        MVstream *stream = nullptr;
        if (__mvS_CreateWithFD(fd, 0, &stream) != 0)
            return -1;
        return openOn(stream, movie);
    });
}

int mvOpenMem(void *address, size_t size, MVid *movie)
{
    return guarded([&] {
        if (address == nullptr || movie == nullptr)
            return invalidArgument();
        MVstream *stream = nullptr;
        if (__mvS_CreateWithMem(address, size, &stream) != 0)
            return -1;
        return openOn(stream, movie);
    });
}

int mvCreateFile(const char *fileName, DMparams *params, DMparams *returnParams, MVid *movie)
{
    return guarded([&] {
        if (fileName == nullptr || params == nullptr || movie == nullptr)
            return invalidArgument();
        // Refuse bad settings before the file is truncated, so that a wrong
        // call loses nothing.
        if (checkParams(params, movieRules(), true, MV_ERR_MOVIE_SETTINGS) != 0)
            return -1;
        int fd = open(fileName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return failWith(errno);
        close(fd);
        MVstream *stream = nullptr;
        if (__mvS_CreateWithFile(fileName, O_RDWR, &stream) != 0)
            return -1;
        return createOn(stream, params, returnParams, movie);
    });
}

int mvCreateFD(int fd, DMparams *params, DMparams *returnParams, MVid *movie)
{
    return guarded([&] {
        if (fd < 0 || params == nullptr || movie == nullptr)
            return invalidArgument();
        MVstream *stream = nullptr;
        if (__mvS_CreateWithFD(fd, 0, &stream) != 0)
            return -1;
        return createOn(stream, params, returnParams, movie);
    });
}

int mvCreateMem(void *address, size_t size, DMparams *params, DMparams *returnParams,
                MVid *movie)
{
    return guarded([&] {
        if (address == nullptr || params == nullptr || movie == nullptr)
            return invalidArgument();
        MVstream *stream = nullptr;
        if (__mvS_CreateWithMem(address, size, &stream) != 0)
            return -1;
        return createOn(stream, params, returnParams, movie);
    });
}

int mvWrite(MVid id)
{
    return guarded([&] {
        MVmovie *movie = __mvFindMovie(id);
        if (movie == nullptr)
            return -1;
        if (!movie->dirty)
            return 0;
        if (__mvS_FileMode(movie->stream) == O_RDONLY)
            return failWith(MV_ERR_READ_ONLY);
        // Versions 1 and 2 are read only: a changed movie of either is
        // written as version 3 and says so from then on.
        int format = dmParamsGetEnum(movie->params, MV_FILE_FORMAT);
        if (format == MV_FORMAT_NATIVE_1 || format == MV_FORMAT_NATIVE_2) {
            if (dmParamsSetEnum(movie->params, MV_FILE_FORMAT, MV_FORMAT_NATIVE_3) != 0)
                return failWith(MV_ERR_NO_MEMORY);
            format = MV_FORMAT_NATIVE_3;
        }
        if (__mvWriteMovie(id, format) != 0)
            return -1;
        movie->dirty = false;
        return 0;
    });
}

int mvClose(MVid id)
{
    return guarded([&] {
        MVmovie *movie = __mvFindMovie(id);
        if (movie == nullptr)
            return -1;
        if (__mvPB_CloseHackForPublicAPI(id) != 0)
            return -1;
        if (movie->dirty && mvWrite(id) != 0)
            return -1;
        __mvUnregisterMovie(id);
        __mvMV_Destroy(movie);
        return 0;
    });
}

}  // extern "C"
