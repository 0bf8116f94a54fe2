// The track set of a movie: up to MV_TRACKSET_SIZE track ids in the order
// they were added. Removing an id moves the last id into its slot, so the
// set's order is the order tracks are searched and written, not always the
// order they were added.
//
// Results: 0 or -1 with mvErrno set: 1004 when the set is full (an eleventh
// track is refused rather than written past the set) or out of memory, 1001
// when removing an id that is not there.
#ifndef CINELARK_MOVIE_TRACKSET_H
#define CINELARK_MOVIE_TRACKSET_H

typedef int MVid;

#define MV_TRACKSET_SIZE 10

struct MVtrackset;

int __mvIS_Create(MVtrackset **out);
void __mvIS_Destroy(MVtrackset *set);
int __mvIS_Add(MVtrackset *set, MVid id);
int __mvIS_Remove(MVtrackset *set, MVid id);
// The id at an index, 0 when the index is out of range.
MVid __mvIS_Elem(const MVtrackset *set, int index);
int __mvIS_Size(const MVtrackset *set);

#endif
