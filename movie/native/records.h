// Parameter records of version 3 files: a 16-byte name field (the name, a
// zero byte, then spaces), a 32-bit value length that counts the value's
// terminating zero, and the value as text.
#ifndef CINELARK_MOVIE_NATIVE_RECORDS_H
#define CINELARK_MOVIE_NATIVE_RECORDS_H

#include <cstdint>
#include <span>
#include <vector>

#include <cinelark/dmparams.h>

#include "bytes.h"
#include "param_tables.h"

struct MVstream;

namespace cinelark::native {

// Reads a file front to back through its stream, never past the length the
// file had when reading began, so that a count or size in a damaged file
// cannot make a read run past the end or an allocation grow past the file.
class StreamCursor {
public:
    // 0, or -1 with the stream's error.
    int start(MVstream *stream);
    // Reads the next count bytes; -1 with 1003 when they are not all in the
    // file, or with the stream's error.
    int read(void *buffer, size_t count);
    int read(std::vector<uint8_t> &buffer, size_t count);
    uint64_t position() const { return position_; }
    uint64_t length() const { return length_; }
    uint64_t remaining() const { return length_ - position_; }
    MVstream *stream() const { return stream_; }

private:
    MVstream *stream_ = nullptr;
    uint64_t position_ = 0;
    uint64_t length_ = 0;
};

// Reads count records with one table into list. Known names are converted
// and stored under their library names; unknown names are registered as
// user parameters and stored as strings. 0, or -1 with mvErrno: 1003 for a
// malformed record (a value past the end of the file or longer than 1 MiB,
// a binary integer of fewer than four bytes, a number that does not parse,
// an empty name), 1004 for memory, or the stream's error.
int readRecords(StreamCursor &cursor, uint32_t count, std::span<const ParamRow> table, DMparams *list);

// Appends the records of list (in list order) to out and adds their number
// to *count. A registered user parameter whose name does not fit the name
// field fails with nameError (and the name as detail).
int writeRecords(const DMparams *list, std::span<const ParamRow> table, ByteWriter &out, uint32_t *count,
                 int nameError);

}  // namespace cinelark::native

#endif
