// An id registry: a doubly linked list behind a sentinel record. New entries
// go right after the sentinel, so a walk meets the newest first.
#include "registry.h"

#include "error.h"

#include <new>

namespace {

struct Record {
    MVid id;
    void *object;
    Record *next;
    Record *previous;
};

}  // namespace

struct MVregistry {
    // The sentinel: id -1, and the list is a ring through it.
    Record head{-1, nullptr, &head, &head};
    int count = 0;

    MVregistry() = default;
    MVregistry(const MVregistry &) = delete;
    MVregistry &operator=(const MVregistry &) = delete;

    ~MVregistry()
    {
        Record *r = head.next;
        while (r != &head) {
            Record *next = r->next;
            delete r;
            r = next;
        }
    }

    Record *find(MVid id) const
    {
        for (Record *r = head.next; r != &head; r = r->next)
            if (r->id == id)
                return r;
        return nullptr;
    }
};

int __mvM_Create(MVregistry **out)
{
    if (!out)
        return -1;
    *out = new (std::nothrow) MVregistry;
    if (!*out) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    return 0;
}

void __mvM_Destroy(MVregistry *registry)
{
    delete registry;
}

int __mvM_Add(MVregistry *registry, MVid id, void *object)
{
    if (!registry) {
        __mvSetErrno(MV_ERR_INTERNAL);
        return -1;
    }
    Record *r = new (std::nothrow) Record{id, object, registry->head.next, &registry->head};
    if (!r) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    registry->head.next->previous = r;
    registry->head.next = r;
    ++registry->count;
    return 0;
}

int __mvM_Find(const MVregistry *registry, MVid id, void **object)
{
    Record *r = registry && id != -1 ? registry->find(id) : nullptr;
    if (!r) {
        __mvSetErrno(MV_ERR_BAD_ID);
        return -1;
    }
    if (object)
        *object = r->object;
    return 0;
}

int __mvM_Remove(MVregistry *registry, MVid id)
{
    Record *r = registry && id != -1 ? registry->find(id) : nullptr;
    if (!r) {
        __mvSetErrno(MV_ERR_BAD_ID);
        return -1;
    }
    r->previous->next = r->next;
    r->next->previous = r->previous;
    delete r;
    --registry->count;
    return 0;
}

int __mvM_Count(const MVregistry *registry)
{
    return registry ? registry->count : 0;
}

MVid __mvM_IdAt(const MVregistry *registry, int index)
{
    if (!registry || index < 0)
        return -1;
    for (Record *r = registry->head.next; r != &registry->head; r = r->next)
        if (index-- == 0)
            return r->id;
    return -1;
}
