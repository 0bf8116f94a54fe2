// The frame directory of one track: an ordered list of entries, each naming
// one contiguous byte range of the movie's file and the frames it holds (one
// picture per image entry, any number of whole sample frames per audio
// entry), with the entry's own per-frame parameter list.
//
// The list sits between a head and a tail sentinel (first frame 0, count 0,
// offset and size 0xFFFFFFFF). Each entry's first frame is the previous
// entry's first frame plus its count, so the tail's first frame is the
// track's total. A cursor remembers the entry of the last seek; seeks step
// from it, so sequential access costs constant time.
//
// Each entry's offset field is the owner variable of its block in the
// file-space manager, which rewrites it when the block moves; entries are
// therefore separate heap nodes that never move.
//
// Results: 0 or -1 with mvErrno set: 1011 for a frame outside the directory,
// 1004 for memory, file-space and stream errors as they report them.
//
// Threads: no locks. Reads go through the stream's locked seek-and-read, so
// the playback engine's file thread may read while the application thread
// reads too, but the cursor is shared: one thread at a time per directory
// seeks and reads through it. __mvDL_FrameParams only reads the entries and
// leaves the cursor alone, so any thread may ask it while another one reads
// (as long as nobody edits the directory).
#ifndef CINELARK_MOVIE_DIRECTORY_H
#define CINELARK_MOVIE_DIRECTORY_H

#include <cstddef>
#include <cstdint>

#include <cinelark/dmparams.h>

struct MVfilespace;
struct MVdirectory;

int __mvDL_Create(MVdirectory **out, MVfilespace *fileSpace);
// Frees every entry, its block and its per-frame list. Null is ignored.
void __mvDL_Destroy(MVdirectory *directory);

// Makes the entry holding frame the cursor and reports it. A frame equal to
// the total lands on the tail (count 0): inserting there appends. Any out
// pointer may be null.
int __mvDL_Seek(MVdirectory *directory, int frame, int *firstFrame, int *frameCount,
                uint32_t *offset, uint32_t *size);
// Appends an entry while a file is loaded and records its block with the
// file-space manager. The directory takes frameParams (null: an empty list)
// and destroys it if the entry cannot be added.
int __mvDL_InitEntry(MVdirectory *directory, int frameCount, uint32_t offset, uint32_t size,
                     DMparams *frameParams);
// A new entry before the cursor, in new file space holding data, with an
// empty per-frame list. The cursor stays on the entry it was on.
int __mvDL_InsertEntry(MVdirectory *directory, int frameCount, uint32_t size,
                       const void *data);
// Removes the cursor entry and frees its space; the next entry becomes the
// cursor. Fails with 1011 on a sentinel.
int __mvDL_DeleteEntry(MVdirectory *directory);
// Splits the cursor entry after framesFirst frames and bytesFirst bytes into
// two entries in new space; the second becomes the cursor.
int __mvDL_SplitEntry(MVdirectory *directory, int framesFirst, uint32_t bytesFirst);
// Reads the cursor entry's whole data (its size in bytes) into buffer.
int __mvDL_Read(MVdirectory *directory, void *buffer);
// Reads size bytes from byte `at` of the cursor entry.
int __mvDL_ReadPart(MVdirectory *directory, uint32_t at, uint32_t size, void *buffer);

// The cursor entry's per-frame list (null on a sentinel).
DMparams *__mvDL_GetParams(MVdirectory *directory);
// Copies "MV_KEY_FRAME" (an int) and registered user parameters of list into
// the cursor entry's per-frame list, and into returned when given.
int __mvDL_SetParams(MVdirectory *directory, const DMparams *list, DMparams *returned);

// The per-frame list of the entry holding frame, found from the cursor
// without moving it; null for a frame outside the directory.
const DMparams *__mvDL_FrameParams(const MVdirectory *directory, int frame);

int __mvDL_TotalFrames(const MVdirectory *directory);
int __mvDL_DirCount(const MVdirectory *directory);
// The entry at an index from 0. Walking the indexes in order costs constant
// time per entry. Any out pointer may be null.
int __mvDL_DirEntry(MVdirectory *directory, int index, uint32_t *offset, uint32_t *size,
                    int *frameCount, DMparams **frameParams);

#endif
