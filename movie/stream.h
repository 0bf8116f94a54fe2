// Byte streams: the one interface for seek, read and write through which a
// movie reaches its storage, whatever that is.
//
//   kind 5  descriptor stream: a descriptor the caller owns; positions are
//           relative to where the descriptor stood when the stream was made;
//   kind 6  named-file stream: the library opened the file and closes it;
//   kind 7  memory stream: a block of caller memory of fixed size;
//   kind 8  dummy stream: counts bytes written and stores nothing (used to
//           measure what a writer would produce).
//
// Every operation returns 0 on success and -1 with mvErrno set on failure:
// the system's errno for failed system calls, 1021 for a memory stream read,
// written or seeked outside its size (nothing is copied and the position is
// left alone), 1008 for an operation the kind does not support, 1004 when out
// of memory. Short system reads and writes are failures.
//
// Threads: Seek, Read and Write take no lock and belong to the application
// thread. SeeknRead holds the stream's semaphore across its seek and read so
// that the playback engine's file thread and the application can both read
// frames; it is the only locked operation.
#ifndef CINELARK_MOVIE_STREAM_H
#define CINELARK_MOVIE_STREAM_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

enum MVstreamKind {
    MV_STREAM_FD = 5,
    MV_STREAM_FILE = 6,
    MV_STREAM_MEM = 7,
    MV_STREAM_DUMMY = 8
};

// Longest path the resource-part lookup builds, terminating zero included.
#define MV_STREAM_MAX_PATH 1024

struct MVstream;

int __mvS_CreateWithFile(const char *fileName, int openFlags, MVstream **out);
// The flag is accepted for the caller's convenience and not used.
int __mvS_CreateWithFD(int fd, int unusedFlag, MVstream **out);
int __mvS_CreateWithMem(void *address, size_t size, MVstream **out);
// A memory stream over bytes the stream takes and frees when destroyed
// (also when its creation fails): data a reader builds from a file.
int __mvS_CreateWithBlock(std::vector<uint8_t> &&bytes, MVstream **out);
int __mvS_CreateDummy(MVstream **out);
// Frees the stream; a named-file stream also closes its descriptor. A null
// stream is ignored.
int __mvS_Destroy(MVstream *stream);

int __mvS_Kind(const MVstream *stream);
// 0 read-only, 1 write-only, 2 read/write (always 2 for memory and dummy).
int __mvS_FileMode(const MVstream *stream);
// The name a named-file stream was opened with, else null.
const char *__mvS_FileName(const MVstream *stream);

// whence: 0 from the start, 1 from the current position, 2 from the end.
// newPosition may be null.
int __mvS_Seek(MVstream *stream, int64_t offset, int whence, int64_t *newPosition);
int __mvS_Read(MVstream *stream, void *buffer, size_t count);
int __mvS_Write(MVstream *stream, const void *buffer, size_t count);
// Seek to an absolute position and read, atomically with respect to other
// SeeknRead calls on the stream.
int __mvS_SeeknRead(MVstream *stream, int64_t offset, void *buffer, size_t count);

// The length of the stream's data (memory streams: their size; dummy
// streams: the highest position written). The position is left unchanged.
int __mvS_Length(MVstream *stream, int64_t *length);

// Opens the resource part of a named-file movie: for "dir/name" the files
// "dir/.HSresource/name" and then "dir/.resource/name", read-only. Kinds 5, 7
// and 8 have none (-1 with mvErrno ENOENT); other kinds 1008.
int __mvS_OpenResourceFork(MVstream *stream, MVstream **out);
// The candidate path for one resource subdirectory; -1 when it would not fit
// in MV_STREAM_MAX_PATH bytes. Exposed for the lookup's tests.
int __mvS_ResourcePath(const char *fileName, const char *subdirectory, char *path, size_t size);

#endif
