// An id registry: maps MVids to objects. The newest entry comes first (it is
// inserted right after the sentinel head, whose id is -1); lookup and removal
// walk the list by id. The library keeps three, for movies, audio tracks and
// image tracks, each made on first use.
//
// Results: 0 or -1 with mvErrno set: 1001 when an id is absent, 1004 when out
// of memory. Not locked.
#ifndef CINELARK_MOVIE_REGISTRY_H
#define CINELARK_MOVIE_REGISTRY_H

typedef int MVid;

struct MVregistry;

int __mvM_Create(MVregistry **out);
// Frees the registry's records; the objects stay the caller's.
void __mvM_Destroy(MVregistry *registry);
int __mvM_Add(MVregistry *registry, MVid id, void *object);
// 0 and the object in *object (which may be null to test presence only).
int __mvM_Find(const MVregistry *registry, MVid id, void **object);
int __mvM_Remove(MVregistry *registry, MVid id);
// The number of entries, and the id of the entry at an index counted from
// the newest (-1 out of range): for walking a registry.
int __mvM_Count(const MVregistry *registry);
MVid __mvM_IdAt(const MVregistry *registry, int index);

#endif
