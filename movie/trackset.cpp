// The track set: a fixed array of track ids and a count.
#include "trackset.h"

#include "error.h"

#include <new>

struct MVtrackset {
    MVid ids[MV_TRACKSET_SIZE] = {};
    int count = 0;
};

int __mvIS_Create(MVtrackset **out)
{
    if (!out)
        return -1;
    *out = new (std::nothrow) MVtrackset;
    if (!*out) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    return 0;
}

void __mvIS_Destroy(MVtrackset *set)
{
    delete set;
}

int __mvIS_Add(MVtrackset *set, MVid id)
{
    if (!set || set->count >= MV_TRACKSET_SIZE) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    set->ids[set->count++] = id;
    return 0;
}

int __mvIS_Remove(MVtrackset *set, MVid id)
{
    if (set) {
        for (int i = 0; i < set->count; ++i) {
            if (set->ids[i] == id) {
                set->ids[i] = set->ids[--set->count];
                set->ids[set->count] = 0;
                return 0;
            }
        }
    }
    __mvSetErrno(MV_ERR_BAD_ID);
    return -1;
}

MVid __mvIS_Elem(const MVtrackset *set, int index)
{
    if (!set || index < 0 || index >= set->count)
        return 0;
    return set->ids[index];
}

int __mvIS_Size(const MVtrackset *set)
{
    return set ? set->count : 0;
}
