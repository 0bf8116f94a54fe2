// The file-space manager of one movie: a table of the byte ranges (blocks)
// of its file that hold headers, directories and frame data.
//
// Each block has an offset, the bytes in use, a capacity (the span from its
// offset that belongs to it, never less than the bytes in use), an owner and
// a free flag. The owner is the address of the 32-bit variable in which the
// block's user keeps the block's offset (a directory entry's offset, or the
// movie's header-block offset); whenever the manager places or moves a block
// it writes the new offset there. An owner must therefore stay at one
// address while its block is in use (keep directory entries in stable
// storage), and a user must free its block before its owner goes away.
//
// Phases: 0 new, 1 initial (a reader records the blocks it finds with
// InitBlock; a new movie records its 4-byte header block), 2 running (Alloc
// and Free). InitDone sorts the table and gives every gap to the block before
// it, so that afterwards the blocks tile the file from offset 0 in offset
// order and the file length is the last block's offset plus its capacity.
// Blocks the manager appends start at multiples of 8, and the file grows by
// one byte ("0") written at its new last position.
//
// Results: 0 or -1 with mvErrno set (1004 no memory or a file past 4 GiB,
// 1008 a call in the wrong phase or an offset no block holds, stream errors
// as the stream reports them). The manager is not locked; it belongs to the
// application thread.
#ifndef CINELARK_MOVIE_FILESPACE_H
#define CINELARK_MOVIE_FILESPACE_H

#include <stddef.h>
#include <stdint.h>

struct MVstream;
struct MVfilespace;

enum MVfilespacePhase {
    MV_FM_NEW = 0,
    MV_FM_INITIAL = 1,
    MV_FM_RUNNING = 2
};

// A copy of one block record, for readers of the table.
struct MVblockInfo {
    uint32_t offset;
    uint32_t inUse;
    uint32_t capacity;
    uint32_t *owner;
    int isFree;
};

// The stream is not owned; it must outlive the manager.
int __mvFM_Create(MVstream *stream, MVfilespace **out);
void __mvFM_Destroy(MVfilespace *manager);
int __mvFM_InitStart(MVfilespace *manager);
// Records an existing block (in use = capacity = size); owner may be null.
int __mvFM_InitBlock(MVfilespace *manager, uint32_t offset, uint32_t size, uint32_t *owner);
int __mvFM_InitDone(MVfilespace *manager);
// Finds or makes space of that size and writes its offset to *owner.
int __mvFM_Alloc(MVfilespace *manager, uint32_t size, uint32_t *owner);
// Marks free the block that holds the offset. A block that several owners
// share (records of one offset given to InitBlock) stays in use until each
// has freed it; owner names the one leaving.
int __mvFM_Free(MVfilespace *manager, uint32_t offset, uint32_t *owner = nullptr);
// Makes the block at offset 0 at least size bytes, moving the blocks after
// it elsewhere as needed, and sets its bytes in use to size.
int __mvFM_EnsureDirSpace(MVfilespace *manager, uint32_t size);
uint64_t __mvFM_FileLength(const MVfilespace *manager);
// Copies bytes inside the stream (the ranges may not overlap).
int __mvFM_CopyData(MVfilespace *manager, uint32_t from, uint32_t to, uint32_t size);
MVstream *__mvFM_Storage(const MVfilespace *manager);

int __mvFM_Phase(const MVfilespace *manager);
int __mvFM_BlockCount(const MVfilespace *manager);
// 0 and a copy of the block at that index, -1 out of range.
int __mvFM_Block(const MVfilespace *manager, int index, MVblockInfo *info);

#endif
