// The file-space manager: which byte ranges of a movie's file hold what, and
// where new frame data goes.
//
// The table is a vector of block records kept in offset order once loading
// is over. Allocation is a linear first-fit scan (a free block is reused only
// when it wastes at most half of itself, so that small frames do not eat big
// holes); lookup by offset is a binary search.
#include "filespace.h"

#include "error.h"
#include "stream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

struct Block {
    uint32_t offset;
    uint32_t inUse;
    uint32_t capacity;
    uint32_t *owner;
    bool isFree;
    // Owners beyond the first of a block that several users share (a file
    // that points repeated frames at one copy of their data); the block is
    // free only when the last of them frees it.
    std::vector<uint32_t *> sharers;

    uint64_t end() const { return uint64_t(offset) + capacity; }
};

// Appended blocks start at multiples of this.
constexpr uint64_t kBlockAlignment = 8;
// Largest piece CopyData moves at once, so that moving a large block never
// needs a buffer of its whole size.
constexpr size_t kCopyChunk = 1 << 20;
// The byte written at the new end of the file to make the system extend it.
constexpr char kFillByte = '0';

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

}  // namespace

struct MVfilespace {
    int phase = MV_FM_NEW;
    MVstream *stream = nullptr;
    std::vector<Block> blocks;

    uint64_t fileLength() const { return blocks.empty() ? 0 : blocks.back().end(); }

    // Room for one more record, growing to the larger of count + 1 and twice
    // the old capacity.
    bool reserveOne()
    {
        if (blocks.size() < blocks.capacity())
            return true;
        try {
            blocks.reserve(std::max(blocks.size() + 1, 2 * blocks.capacity()));
        } catch (...) {
            return false;
        }
        return true;
    }
};

int __mvFM_Create(MVstream *stream, MVfilespace **out)
{
    if (!out)
        return fail(MV_ERR_INTERNAL);
    *out = nullptr;
    MVfilespace *manager = new (std::nothrow) MVfilespace;
    if (!manager)
        return fail(MV_ERR_NO_MEMORY);
    manager->stream = stream;
    *out = manager;
    return 0;
}

void __mvFM_Destroy(MVfilespace *manager)
{
    delete manager;
}

int __mvFM_InitStart(MVfilespace *manager)
{
    if (!manager)
        return fail(MV_ERR_INTERNAL);
    manager->phase = MV_FM_INITIAL;
    return 0;
}

int __mvFM_InitBlock(MVfilespace *manager, uint32_t offset, uint32_t size, uint32_t *owner)
{
    if (!manager || manager->phase == MV_FM_RUNNING)
        return fail(MV_ERR_INTERNAL);
    if (uint64_t(offset) + size > UINT32_MAX)
        return fail(MV_ERR_NO_MEMORY);
    if (!manager->reserveOne())
        return fail(MV_ERR_NO_MEMORY);
    manager->blocks.push_back(Block{offset, size, size, owner, false, {}});
    return 0;
}

namespace {

// Makes the records of one offset (sorted next to each other) one shared
// block, as large as the largest.
bool mergeSharedBlocks(std::vector<Block> &blocks)
{
    size_t kept = 0;
    try {
        for (size_t i = 0; i < blocks.size(); ++i) {
            if (kept > 0 && blocks[i].offset == blocks[kept - 1].offset) {
                Block &shared = blocks[kept - 1];
                shared.inUse = std::max(shared.inUse, blocks[i].inUse);
                shared.capacity = std::max(shared.capacity, blocks[i].capacity);
                shared.sharers.push_back(blocks[i].owner);
            } else {
                if (kept != i)
                    blocks[kept] = std::move(blocks[i]);
                ++kept;
            }
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    blocks.erase(blocks.begin() + ptrdiff_t(kept), blocks.end());
    return true;
}

}  // namespace

int __mvFM_InitDone(MVfilespace *manager)
{
    if (!manager)
        return fail(MV_ERR_INTERNAL);
    manager->phase = MV_FM_RUNNING;
    std::vector<Block> &blocks = manager->blocks;
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const Block &a, const Block &b) { return a.offset < b.offset; });
    if (!mergeSharedBlocks(blocks))
        return fail(MV_ERR_NO_MEMORY);
    uint64_t furthest = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        furthest = std::max(furthest, blocks[i].end());
        if (i + 1 < blocks.size()) {
            const uint32_t distance = blocks[i + 1].offset - blocks[i].offset;
            if (blocks[i].capacity < distance)
                blocks[i].capacity = distance;
        }
    }
    // A damaged file may hold blocks that overlap; the last block then ends
    // before an earlier one does. Giving it the rest keeps every appended
    // block clear of data already in the file.
    if (!blocks.empty() && blocks.back().end() < furthest)
        blocks.back().capacity = static_cast<uint32_t>(furthest - blocks.back().offset);
    return 0;
}

int __mvFM_Alloc(MVfilespace *manager, uint32_t size, uint32_t *owner)
{
    if (!manager || manager->phase != MV_FM_RUNNING)
        return fail(MV_ERR_INTERNAL);

    for (Block &block : manager->blocks) {
        if (block.isFree && block.capacity >= size && uint64_t(block.capacity) <= 2 * uint64_t(size)) {
            block.inUse = size;
            block.isFree = false;
            block.owner = owner;
            block.sharers.clear();
            if (owner)
                *owner = block.offset;
            return 0;
        }
    }

    const uint64_t length = manager->fileLength();
    const uint64_t start = (length + kBlockAlignment - 1) / kBlockAlignment * kBlockAlignment;
    if (start + size > UINT32_MAX)
        return fail(MV_ERR_NO_MEMORY);
    if (!manager->reserveOne())
        return fail(MV_ERR_NO_MEMORY);
    if (size > 0) {
        static const char fill = kFillByte;
        if (__mvS_Seek(manager->stream, int64_t(start + size - 1), SEEK_SET, nullptr) != 0 ||
            __mvS_Write(manager->stream, &fill, 1) != 0)
            return -1;
    }
    if (!manager->blocks.empty())
        manager->blocks.back().capacity += static_cast<uint32_t>(start - length);
    const uint32_t offset = static_cast<uint32_t>(start);
    manager->blocks.push_back(Block{offset, size, size, owner, false, {}});
    if (owner)
        *owner = offset;
    return 0;
}

int __mvFM_Free(MVfilespace *manager, uint32_t offset, uint32_t *owner)
{
    if (!manager || manager->blocks.empty())
        return fail(MV_ERR_INTERNAL);
    std::vector<Block> &blocks = manager->blocks;
    size_t index = 0;
    if (blocks.size() >= 2) {
        // The last block whose offset is not greater than the given one.
        auto after = std::upper_bound(blocks.begin(), blocks.end(), offset,
                                      [](uint32_t value, const Block &b) { return value < b.offset; });
        if (after == blocks.begin())
            return fail(MV_ERR_INTERNAL);
        index = static_cast<size_t>(after - blocks.begin()) - 1;
    }
    Block &block = blocks[index];
    if (!block.sharers.empty()) {
        // One user of a shared block leaves; the others keep it.
        auto leaving = std::find(block.sharers.begin(), block.sharers.end(), owner);
        if (leaving == block.sharers.end()) {
            if (owner == block.owner)
                block.owner = block.sharers.back();
            leaving = block.sharers.end() - 1;
        }
        block.sharers.erase(leaving);
        return 0;
    }
    block.isFree = true;
    block.inUse = 0;
    block.owner = nullptr;
    return 0;
}

int __mvFM_EnsureDirSpace(MVfilespace *manager, uint32_t size)
{
    if (!manager || manager->phase != MV_FM_RUNNING || manager->blocks.empty())
        return fail(MV_ERR_INTERNAL);
    std::vector<Block> &blocks = manager->blocks;
    while (blocks[0].capacity < size) {
        if (blocks.size() == 1) {
            blocks[0].capacity = size;
            break;
        }
        const Block second = blocks[1];
        if (!second.isFree) {
            // Allocation may append to the table, never reorder it, so the
            // second record stays at index 1.
            uint32_t moved = 0;
            uint32_t *owner = second.owner ? second.owner : &moved;
            if (__mvFM_Alloc(manager, second.inUse, owner) != 0)
                return -1;
            if (__mvFM_CopyData(manager, second.offset, *owner, second.inUse) != 0)
                return -1;
            // Every user of a shared block follows it.
            for (uint32_t *sharer : second.sharers) {
                if (sharer)
                    *sharer = *owner;
            }
            for (Block &b : blocks)
                if (b.owner == owner && b.offset == *owner)
                    b.sharers = second.sharers;
            if (!second.owner) {
                // Nobody tracks this block; its record must not keep
                // pointing at a local variable.
                for (Block &b : blocks)
                    if (b.owner == &moved)
                        b.owner = nullptr;
            }
        }
        blocks[0].capacity += blocks[1].capacity;
        blocks.erase(blocks.begin() + 1);
    }
    blocks[0].inUse = size;
    return 0;
}

uint64_t __mvFM_FileLength(const MVfilespace *manager)
{
    return manager ? manager->fileLength() : 0;
}

int __mvFM_CopyData(MVfilespace *manager, uint32_t from, uint32_t to, uint32_t size)
{
    if (!manager)
        return fail(MV_ERR_INTERNAL);
    if (size == 0 || from == to)
        return 0;
    const size_t chunk = std::min<size_t>(size, kCopyChunk);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[chunk]);
    if (!buffer)
        return fail(MV_ERR_NO_MEMORY);
    // Copying backwards when the destination lies inside the source keeps
    // overlapping moves correct.
    const bool backwards = to > from && to < uint64_t(from) + size;
    uint64_t done = 0;
    while (done < size) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk, size - done));
        const uint64_t at = backwards ? size - done - n : done;
        if (__mvS_SeeknRead(manager->stream, int64_t(from + at), buffer.get(), n) != 0 ||
            __mvS_Seek(manager->stream, int64_t(to + at), SEEK_SET, nullptr) != 0 ||
            __mvS_Write(manager->stream, buffer.get(), n) != 0)
            return -1;
        done += n;
    }
    return 0;
}

MVstream *__mvFM_Storage(const MVfilespace *manager)
{
    return manager ? manager->stream : nullptr;
}

int __mvFM_Phase(const MVfilespace *manager)
{
    return manager ? manager->phase : MV_FM_NEW;
}

int __mvFM_BlockCount(const MVfilespace *manager)
{
    return manager ? static_cast<int>(manager->blocks.size()) : 0;
}

int __mvFM_Block(const MVfilespace *manager, int index, MVblockInfo *info)
{
    if (!manager || !info || index < 0 || static_cast<size_t>(index) >= manager->blocks.size())
        return -1;
    const Block &b = manager->blocks[static_cast<size_t>(index)];
    *info = MVblockInfo{b.offset, b.inUse, b.capacity, b.owner, b.isFree ? 1 : 0};
    return 0;
}
