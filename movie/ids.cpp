// Ids and the three process-wide registries that resolve them.
//
// An id is counter x 10 + kind, with one counter for every kind starting at
// 1000: the first movie of a process is 10001 and the last digit of any id
// tells its kind. Registries are made on first use and live until exit.
#include <cinelark/movie.h>

#include "error.h"
#include "model.h"
#include "registry.h"

namespace {

int idCounter = 1000;

MVregistry *registries[4];  // indexed by kind; slot 0 unused

MVregistry *registryOf(int kind)
{
    MVregistry *&registry = registries[kind];
    if (registry == nullptr && __mvM_Create(&registry) != 0)
        registry = nullptr;
    return registry;
}

void *find(int kind, MVid id)
{
    MVregistry *registry = registryOf(kind);
    void *object = nullptr;
    if (registry == nullptr || __mvM_Find(registry, id, &object) != 0) {
        __mvSetErrno(MV_ERR_BAD_ID);
        return nullptr;
    }
    return object;
}

int add(int kind, MVid id, void *object)
{
    MVregistry *registry = registryOf(kind);
    if (registry == nullptr) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    return __mvM_Add(registry, id, object);
}

}  // namespace

MVid __mvNewID(int kind)
{
    return idCounter++ * 10 + kind;
}

int __mvRegisterMovie(MVmovie *movie) { return add(MV_KIND_MOVIE, movie->id, movie); }

int __mvRegisterTrack(MVtrack *track) { return add(track->kind, track->id, track); }

void __mvUnregisterMovie(MVid id)
{
    if (MVregistry *registry = registryOf(MV_KIND_MOVIE))
        __mvM_Remove(registry, id);
}

void __mvUnregisterTrack(MVtrack *track)
{
    if (MVregistry *registry = registryOf(track->kind))
        __mvM_Remove(registry, track->id);
}

MVmovie *__mvFindMovie(MVid id) { return static_cast<MVmovie *>(find(MV_KIND_MOVIE, id)); }

MVaudioTrack *__mvFindAudioTrack(MVid id)
{
    return static_cast<MVaudioTrack *>(find(MV_KIND_AUDIO, id));
}

MVimageTrack *__mvFindImageTrack(MVid id)
{
    return static_cast<MVimageTrack *>(find(MV_KIND_IMAGE, id));
}

MVtrack *__mvFindTrack(MVid id)
{
    if (MVtrack *track = __mvFindAudioTrack(id))
        return track;
    return __mvFindImageTrack(id);
}
