// Byte streams over a descriptor, a named file, caller memory, or nothing.
#include "stream.h"

#include "arena/semaphores.h"
#include "error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

struct MVstream {
    int kind = 0;
    int mode = 2;
    // Makes a seek-and-read pair atomic between threads (kinds 5 and 6).
    std::unique_ptr<cinelark::arena::Semaphore> lock;
    int fd = -1;
    int64_t base = 0;          // kind 5: the descriptor's position at creation
    std::string name;          // kind 6
    unsigned char *memory = nullptr;
    size_t size = 0;           // kind 7
    std::vector<uint8_t> block;  // kind 7: bytes the stream owns, if any
    int64_t position = 0;      // kinds 7 and 8
    int64_t dummyEnd = 0;      // kind 8: the end a seek from the end counts from
    int64_t highestWritten = 0;  // kind 8: for __mvS_Length
};

namespace {

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

int failFromSystem()
{
    return fail(errno ? errno : EIO);
}

// The semaphore is taken with the arena's P and V; this pairs them.
class SemaphoreHold {
public:
    explicit SemaphoreHold(cinelark::arena::Semaphore *s) : s_(s)
    {
        if (s_)
            s_->P();
    }
    ~SemaphoreHold()
    {
        if (s_)
            s_->V();
    }
    SemaphoreHold(const SemaphoreHold &) = delete;
    SemaphoreHold &operator=(const SemaphoreHold &) = delete;

private:
    cinelark::arena::Semaphore *s_;
};

// Takes a finished stream into *out, or reports no memory.
int handOut(std::unique_ptr<MVstream> stream, MVstream **out)
{
    if (!out)
        return fail(MV_ERR_INTERNAL);
    *out = stream.release();
    return 0;
}

std::unique_ptr<MVstream> newStream(int kind)
{
    std::unique_ptr<MVstream> s(new (std::nothrow) MVstream);
    if (!s)
        return nullptr;
    s->kind = kind;
    // The engine's file I/O and audio threads read a movie's stream at the
    // same time, each with a seek and a read that must stay together.
    if (kind == MV_STREAM_FD || kind == MV_STREAM_FILE || kind == MV_STREAM_MEM) {
        s->lock.reset(new (std::nothrow) cinelark::arena::Semaphore(1));
        if (!s->lock)
            return nullptr;
    }
    return s;
}

// The new position of a seek from one of three origins, with overflow and
// bounds checks; false when the result is not representable.
bool addOffset(int64_t origin, int64_t offset, int64_t *result)
{
    return !__builtin_add_overflow(origin, offset, result);
}

int seekFile(MVstream *s, int64_t offset, int whence, int64_t *newPosition)
{
    int64_t target = offset;
    if (whence == SEEK_SET && !addOffset(s->base, offset, &target))
        return fail(EINVAL);
    const off_t result = lseek(s->fd, static_cast<off_t>(target), whence);
    if (result < 0)
        return failFromSystem();
    if (newPosition)
        *newPosition = static_cast<int64_t>(result) - s->base;
    return 0;
}

int seekMemory(MVstream *s, int64_t offset, int whence, int64_t *newPosition)
{
    const int64_t end = s->kind == MV_STREAM_MEM ? static_cast<int64_t>(s->size) : s->dummyEnd;
    const int64_t origin = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->position : end;
    int64_t target;
    if (!addOffset(origin, offset, &target))
        return fail(s->kind == MV_STREAM_MEM ? MV_ERR_MEM_TOO_SMALL : EINVAL);
    if (s->kind == MV_STREAM_MEM && (target < 0 || target > static_cast<int64_t>(s->size)))
        return fail(MV_ERR_MEM_TOO_SMALL);
    s->position = target;
    if (newPosition)
        *newPosition = target;
    return 0;
}

// One system read or write of the whole count. Interrupted and partial
// transfers are continued; ending early (end of file, a full disk) is an
// error with the system's number, or EIO when the system gave none.
template <typename Transfer>
int transferAll(Transfer transfer, size_t count)
{
    size_t done = 0;
    while (done < count) {
        errno = 0;
        const size_t chunk = std::min(count - done, static_cast<size_t>(SSIZE_MAX));
        const ssize_t n = transfer(done, chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failFromSystem();
        done += static_cast<size_t>(n);
    }
    return 0;
}

bool fitsInMemory(const MVstream *s, size_t count)
{
    const size_t position = static_cast<size_t>(s->position);
    return position <= s->size && count <= s->size - position;
}

}  // namespace

int __mvS_CreateWithFile(const char *fileName, int openFlags, MVstream **out)
{
    if (!fileName)
        return fail(EINVAL);
    std::unique_ptr<MVstream> s = newStream(MV_STREAM_FILE);
    if (!s)
        return fail(MV_ERR_NO_MEMORY);
    try {
        s->name = fileName;
    } catch (...) {
        return fail(MV_ERR_NO_MEMORY);
    }
    s->fd = open(fileName, openFlags, 0644);
    if (s->fd < 0)
        return failFromSystem();
    s->mode = openFlags & O_ACCMODE;
    return handOut(std::move(s), out);
}

int __mvS_CreateWithFD(int fd, int, MVstream **out)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return failFromSystem();
    const off_t position = lseek(fd, 0, SEEK_CUR);
    if (position < 0)
        return failFromSystem();
    std::unique_ptr<MVstream> s = newStream(MV_STREAM_FD);
    if (!s)
        return fail(MV_ERR_NO_MEMORY);
    s->fd = fd;
    s->mode = flags & O_ACCMODE;
    s->base = position;
    return handOut(std::move(s), out);
}

int __mvS_CreateWithMem(void *address, size_t size, MVstream **out)
{
    if (!address && size > 0)
        return fail(EINVAL);
    if (size > static_cast<size_t>(INT64_MAX))
        return fail(EINVAL);
    std::unique_ptr<MVstream> s = newStream(MV_STREAM_MEM);
    if (!s)
        return fail(MV_ERR_NO_MEMORY);
    s->memory = static_cast<unsigned char *>(address);
    s->size = size;
    return handOut(std::move(s), out);
}

int __mvS_CreateWithBlock(std::vector<uint8_t> &&bytes, MVstream **out)
{
    std::vector<uint8_t> owned = std::move(bytes);
    std::unique_ptr<MVstream> s = newStream(MV_STREAM_MEM);
    if (!s)
        return fail(MV_ERR_NO_MEMORY);
    s->block = std::move(owned);
    s->memory = s->block.data();
    s->size = s->block.size();
    return handOut(std::move(s), out);
}

int __mvS_CreateDummy(MVstream **out)
{
    std::unique_ptr<MVstream> s = newStream(MV_STREAM_DUMMY);
    if (!s)
        return fail(MV_ERR_NO_MEMORY);
    return handOut(std::move(s), out);
}

int __mvS_Destroy(MVstream *stream)
{
    if (!stream)
        return 0;
    int result = 0;
    if (stream->kind == MV_STREAM_FILE && stream->fd >= 0 && close(stream->fd) != 0)
        result = failFromSystem();
    delete stream;
    return result;
}

int __mvS_Kind(const MVstream *stream)
{
    return stream ? stream->kind : 0;
}

int __mvS_FileMode(const MVstream *stream)
{
    return stream ? stream->mode : 0;
}

const char *__mvS_FileName(const MVstream *stream)
{
    return stream && stream->kind == MV_STREAM_FILE ? stream->name.c_str() : nullptr;
}

int __mvS_Seek(MVstream *stream, int64_t offset, int whence, int64_t *newPosition)
{
    if (!stream)
        return fail(MV_ERR_INTERNAL);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return fail(EINVAL);
    switch (stream->kind) {
    case MV_STREAM_FD:
    case MV_STREAM_FILE:
        return seekFile(stream, offset, whence, newPosition);
    case MV_STREAM_MEM:
    case MV_STREAM_DUMMY:
        return seekMemory(stream, offset, whence, newPosition);
    default:
        return fail(MV_ERR_INTERNAL);
    }
}

int __mvS_Read(MVstream *stream, void *buffer, size_t count)
{
    if (!stream || (!buffer && count > 0))
        return fail(MV_ERR_INTERNAL);
    switch (stream->kind) {
    case MV_STREAM_FD:
    case MV_STREAM_FILE: {
        unsigned char *bytes = static_cast<unsigned char *>(buffer);
        return transferAll([&](size_t done, size_t n) { return read(stream->fd, bytes + done, n); }, count);
    }
    case MV_STREAM_MEM:
        if (!fitsInMemory(stream, count))
            return fail(MV_ERR_MEM_TOO_SMALL);
        if (count > 0)
            std::memcpy(buffer, stream->memory + stream->position, count);
        stream->position += static_cast<int64_t>(count);
        return 0;
    default:
        return fail(MV_ERR_INTERNAL);
    }
}

int __mvS_Write(MVstream *stream, const void *buffer, size_t count)
{
    if (!stream || (!buffer && count > 0))
        return fail(MV_ERR_INTERNAL);
    switch (stream->kind) {
    case MV_STREAM_FD:
    case MV_STREAM_FILE: {
        const unsigned char *bytes = static_cast<const unsigned char *>(buffer);
        return transferAll([&](size_t done, size_t n) { return write(stream->fd, bytes + done, n); }, count);
    }
    case MV_STREAM_MEM:
        if (!fitsInMemory(stream, count))
            return fail(MV_ERR_MEM_TOO_SMALL);
        if (count > 0)
            std::memcpy(stream->memory + stream->position, buffer, count);
        stream->position += static_cast<int64_t>(count);
        return 0;
    case MV_STREAM_DUMMY: {
        int64_t end;
        if (count > static_cast<size_t>(INT64_MAX) ||
            __builtin_add_overflow(stream->position, static_cast<int64_t>(count), &end))
            return fail(EINVAL);
        stream->position = end;
        stream->highestWritten = std::max(stream->highestWritten, end);
        return 0;
    }
    default:
        return fail(MV_ERR_INTERNAL);
    }
}

int __mvS_SeeknRead(MVstream *stream, int64_t offset, void *buffer, size_t count)
{
    if (!stream)
        return fail(MV_ERR_INTERNAL);
    SemaphoreHold hold(stream->lock.get());
    if (__mvS_Seek(stream, offset, SEEK_SET, nullptr) != 0)
        return -1;
    return __mvS_Read(stream, buffer, count);
}

int __mvS_Length(MVstream *stream, int64_t *length)
{
    if (!stream || !length)
        return fail(MV_ERR_INTERNAL);
    switch (stream->kind) {
    case MV_STREAM_FD:
    case MV_STREAM_FILE: {
        struct stat st;
        if (fstat(stream->fd, &st) != 0)
            return failFromSystem();
        *length = std::max<int64_t>(0, static_cast<int64_t>(st.st_size) - stream->base);
        return 0;
    }
    case MV_STREAM_MEM:
        *length = static_cast<int64_t>(stream->size);
        return 0;
    case MV_STREAM_DUMMY:
        *length = stream->highestWritten;
        return 0;
    default:
        return fail(MV_ERR_INTERNAL);
    }
}

int __mvS_ResourcePath(const char *fileName, const char *subdirectory, char *path, size_t size)
{
    if (!fileName || !subdirectory || !path || size == 0)
        return -1;
    const char *slash = std::strrchr(fileName, '/');
    int n;
    if (slash) {
        const int directoryLength = static_cast<int>(slash - fileName + 1);
        n = std::snprintf(path, size, "%.*s%s/%s", directoryLength, fileName, subdirectory, slash + 1);
    } else {
        n = std::snprintf(path, size, "%s/%s", subdirectory, fileName);
    }
    return n >= 0 && static_cast<size_t>(n) < size ? 0 : -1;
}

int __mvS_OpenResourceFork(MVstream *stream, MVstream **out)
{
    if (!stream)
        return fail(MV_ERR_INTERNAL);
    switch (stream->kind) {
    case MV_STREAM_FD:
    case MV_STREAM_MEM:
    case MV_STREAM_DUMMY:
        return fail(ENOENT);
    case MV_STREAM_FILE:
        break;
    default:
        return fail(MV_ERR_INTERNAL);
    }
    // Both conventions for keeping a file's resource part beside it.
    static constexpr const char *kSubdirectories[] = {".HSresource", ".resource"};
    int error = ENOENT;
    for (const char *subdirectory : kSubdirectories) {
        char path[MV_STREAM_MAX_PATH];
        if (__mvS_ResourcePath(stream->name.c_str(), subdirectory, path, sizeof path) != 0) {
            error = ENAMETOOLONG;
            continue;
        }
        if (__mvS_CreateWithFile(path, O_RDONLY, out) == 0)
            return 0;
        error = mvErrno;
    }
    return fail(error);
}
