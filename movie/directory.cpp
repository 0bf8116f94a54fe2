// Frame directories: a doubly linked list of entries between two sentinels,
// with a cursor, over the movie's file-space manager.
#include "directory.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include <cinelark/movie.h>

#include "error.h"
#include "filespace.h"
#include "stream.h"
#include "user_params.h"

namespace {

constexpr uint32_t kNoOffset = 0xFFFFFFFFu;

struct Entry {
    int32_t first = 0;
    int32_t count = 0;
    uint32_t offset = kNoOffset;  // owner variable of the entry's block
    uint32_t size = kNoOffset;
    DMparams *params = nullptr;
    Entry *next = nullptr;
    Entry *prev = nullptr;
};

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

DMparams *newList()
{
    DMparams *list = nullptr;
    if (dmParamsCreate(&list) != 0)
        return nullptr;
    return list;
}

}  // namespace

struct MVdirectory {
    Entry head;
    Entry tail;
    // Moved by seeks; read without moving by lookups from other threads,
    // which start from it as a hint.
    std::atomic<Entry *> cursor{nullptr};
    MVfilespace *fileSpace = nullptr;
    // Holds a whole entry while it is split; only grows.
    std::vector<uint8_t> scratch;
    // Remembered position of the last index lookup, so that walking the
    // entries by index is linear overall.
    int indexAt = -1;
    Entry *indexEntry = nullptr;
    int entryCount = 0;

    bool isSentinel(const Entry *e) const { return e == &head || e == &tail; }
    void forgetIndex() { indexAt = -1, indexEntry = nullptr; }

    // Links e before `before` and shifts the first frames after it.
    void linkBefore(Entry *e, Entry *before)
    {
        e->first = before->first;
        e->prev = before->prev;
        e->next = before;
        before->prev->next = e;
        before->prev = e;
        for (Entry *p = before; p != nullptr; p = p->next)
            p->first += e->count;
        entryCount++;
        forgetIndex();
    }

    // Unlinks e (a real entry), frees its space and list, and shifts back the
    // first frames after it. Returns the entry that followed it.
    Entry *unlink(Entry *e)
    {
        Entry *after = e->next;
        e->prev->next = after;
        after->prev = e->prev;
        for (Entry *p = after; p != nullptr; p = p->next)
            p->first -= e->count;
        entryCount--;
        forgetIndex();
        release(e);
        return after;
    }

    void release(Entry *e)
    {
        if (e->offset != kNoOffset)
            __mvFM_Free(fileSpace, e->offset, &e->offset);
        dmParamsDestroy(e->params);
        delete e;
    }

    // A new entry of count frames holding data in new file space, not linked.
    Entry *make(int count, uint32_t size, const void *data)
    {
        auto *e = new (std::nothrow) Entry;
        if (e == nullptr || (e->params = newList()) == nullptr) {
            delete e;
            fail(MV_ERR_NO_MEMORY);
            return nullptr;
        }
        e->count = count;
        e->size = size;
        if (__mvFM_Alloc(fileSpace, size, &e->offset) != 0) {
            e->offset = kNoOffset;
            release(e);
            return nullptr;
        }
        MVstream *stream = __mvFM_Storage(fileSpace);
        if (size > 0 && (__mvS_Seek(stream, e->offset, 0, nullptr) != 0 ||
                         __mvS_Write(stream, data, size) != 0)) {
            release(e);
            return nullptr;
        }
        return e;
    }
};

int __mvDL_Create(MVdirectory **out, MVfilespace *fileSpace)
{
    auto *d = new (std::nothrow) MVdirectory;
    if (d == nullptr)
        return fail(MV_ERR_NO_MEMORY);
    d->head.next = &d->tail;
    d->tail.prev = &d->head;
    d->cursor = &d->tail;
    d->fileSpace = fileSpace;
    *out = d;
    return 0;
}

void __mvDL_Destroy(MVdirectory *d)
{
    if (d == nullptr)
        return;
    // Freeing blocks can fail while a file is still being loaded; the error
    // that led here is the one to keep.
    int savedErrno = mvErrno;
    for (Entry *e = d->head.next; e != &d->tail;) {
        Entry *next = e->next;
        d->release(e);
        e = next;
    }
    delete d;
    mvErrno = savedErrno;
}

int __mvDL_Seek(MVdirectory *d, int frame, int *firstFrame, int *frameCount, uint32_t *offset,
                uint32_t *size)
{
    Entry *e = d->cursor;
    while (frame < e->first) {
        e = e->prev;
        if (e == &d->head)
            return fail(MV_ERR_FRAME_RANGE);
    }
    while (e != &d->tail && e->next->first <= frame)
        e = e->next;
    if (e == &d->tail && frame > e->first)
        return fail(MV_ERR_FRAME_RANGE);
    d->cursor = e;
    if (firstFrame)
        *firstFrame = e->first;
    if (frameCount)
        *frameCount = e->count;
    if (offset)
        *offset = e->offset;
    if (size)
        *size = e->size;
    return 0;
}

int __mvDL_InitEntry(MVdirectory *d, int frameCount, uint32_t offset, uint32_t size,
                     DMparams *frameParams)
{
    if (frameCount < 0 || d->tail.first > std::numeric_limits<int32_t>::max() - frameCount) {
        dmParamsDestroy(frameParams);
        return fail(MV_ERR_FRAME_RANGE);
    }
    auto *e = new (std::nothrow) Entry;
    if (e == nullptr) {
        dmParamsDestroy(frameParams);
        return fail(MV_ERR_NO_MEMORY);
    }
    e->params = frameParams != nullptr ? frameParams : newList();
    if (e->params == nullptr) {
        delete e;
        return fail(MV_ERR_NO_MEMORY);
    }
    e->count = frameCount;
    e->size = size;
    e->offset = offset;
    if (__mvFM_InitBlock(d->fileSpace, offset, size, &e->offset) != 0) {
        // The entry never got a block, so only its list goes.
        dmParamsDestroy(e->params);
        delete e;
        return -1;
    }
    d->linkBefore(e, &d->tail);
    return 0;
}

int __mvDL_InsertEntry(MVdirectory *d, int frameCount, uint32_t size, const void *data)
{
    if (frameCount < 0 || d->tail.first > std::numeric_limits<int32_t>::max() - frameCount)
        return fail(MV_ERR_FRAME_RANGE);
    Entry *e = d->make(frameCount, size, data);
    if (e == nullptr)
        return -1;
    d->linkBefore(e, d->cursor);
    return 0;
}

int __mvDL_DeleteEntry(MVdirectory *d)
{
    if (d->isSentinel(d->cursor))
        return fail(MV_ERR_FRAME_RANGE);
    d->cursor = d->unlink(d->cursor);
    return 0;
}

int __mvDL_SplitEntry(MVdirectory *d, int framesFirst, uint32_t bytesFirst)
{
    Entry *old = d->cursor;
    if (d->isSentinel(old) || framesFirst < 0 || framesFirst > old->count ||
        bytesFirst > old->size)
        return fail(MV_ERR_FRAME_RANGE);
    try {
        if (d->scratch.size() < old->size)
            d->scratch.resize(old->size);
    } catch (const std::bad_alloc &) {
        return fail(MV_ERR_NO_MEMORY);
    }
    if (__mvDL_Read(d, d->scratch.data()) != 0)
        return -1;
    Entry *first = d->make(framesFirst, bytesFirst, d->scratch.data());
    if (first == nullptr)
        return -1;
    Entry *second = d->make(old->count - framesFirst, old->size - bytesFirst,
                            d->scratch.data() + bytesFirst);
    if (second == nullptr) {
        d->release(first);
        return -1;
    }
    // The two halves take the old entry's place with the same frame numbers,
    // so nothing after them shifts.
    first->first = old->first;
    second->first = old->first + framesFirst;
    first->prev = old->prev;
    first->next = second;
    second->prev = first;
    second->next = old->next;
    old->prev->next = first;
    old->next->prev = second;
    d->entryCount++;
    d->forgetIndex();
    d->release(old);
    d->cursor = second;
    return 0;
}

int __mvDL_Read(MVdirectory *d, void *buffer)
{
    if (d->isSentinel(d->cursor))
        return fail(MV_ERR_FRAME_RANGE);
    return __mvDL_ReadPart(d, 0, d->cursor.load()->size, buffer);
}

int __mvDL_ReadPart(MVdirectory *d, uint32_t at, uint32_t size, void *buffer)
{
    const Entry *e = d->cursor.load();
    if (d->isSentinel(e) || at > e->size || size > e->size - at)
        return fail(MV_ERR_FRAME_RANGE);
    if (size == 0)
        return 0;
    return __mvS_SeeknRead(__mvFM_Storage(d->fileSpace), int64_t(e->offset) + at, buffer, size);
}

DMparams *__mvDL_GetParams(MVdirectory *d)
{
    if (d->isSentinel(d->cursor)) {
        fail(MV_ERR_FRAME_RANGE);
        return nullptr;
    }
    return d->cursor.load()->params;
}

int __mvDL_SetParams(MVdirectory *d, const DMparams *list, DMparams *returned)
{
    DMparams *own = __mvDL_GetParams(d);
    if (own == nullptr)
        return -1;
    int keyType = dmParamsGetTypeByName(list, MV_KEY_FRAME);
    if (keyType != 0 && keyType != DM_TYPE_INT) {
        __mvSetErrorWithDetail(MV_ERR_WRONG_TYPE, MV_KEY_FRAME);
        return -1;
    }
    int count = dmParamsGetNumElems(list);
    for (int i = 0; i < count; i++)
        if (__mvUP_IsRegistered(dmParamsGetElem(list, i)) &&
            dmParamsGetElemType(list, i) != DM_TYPE_STRING)
            return fail(MV_ERR_USER_PARAM_TYPE);
    auto copy = [&](const char *name) {
        return dmParamsCopyElem(list, name, own) == 0 &&
               (returned == nullptr || dmParamsCopyElem(list, name, returned) == 0);
    };
    if (keyType != 0 && !copy(MV_KEY_FRAME))
        return fail(MV_ERR_NO_MEMORY);
    for (int i = 0; i < count; i++) {
        const char *name = dmParamsGetElem(list, i);
        if (__mvUP_IsRegistered(name) && !copy(name))
            return fail(MV_ERR_NO_MEMORY);
    }
    return 0;
}

const DMparams *__mvDL_FrameParams(const MVdirectory *d, int frame)
{
    const Entry *e = d->cursor.load();
    while (e != &d->head && frame < e->first)
        e = e->prev;
    while (e != &d->tail && e->next->first <= frame)
        e = e->next;
    return d->isSentinel(e) ? nullptr : e->params;
}

int __mvDL_TotalFrames(const MVdirectory *d) { return d->tail.first; }

int __mvDL_DirCount(const MVdirectory *d) { return d->entryCount; }

int __mvDL_DirEntry(MVdirectory *d, int index, uint32_t *offset, uint32_t *size,
                    int *frameCount, DMparams **frameParams)
{
    if (index < 0 || index >= d->entryCount)
        return fail(MV_ERR_FRAME_RANGE);
    Entry *e;
    int at;
    if (d->indexEntry != nullptr && d->indexAt <= index) {
        e = d->indexEntry;
        at = d->indexAt;
    } else {
        e = d->head.next;
        at = 0;
    }
    for (; at < index; at++)
        e = e->next;
    d->indexAt = index;
    d->indexEntry = e;
    if (offset)
        *offset = e->offset;
    if (size)
        *size = e->size;
    if (frameCount)
        *frameCount = e->count;
    if (frameParams)
        *frameParams = e->params;
    return 0;
}
