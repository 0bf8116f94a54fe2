// QuickTime movie files: the reader of the subset the library accepts and
// the writer of the form it produces.
//
// A QuickTime file is a sequence of atoms (32-bit size including the 8-byte
// header, then a 4-character type). The reader parses the "moov" atom and
// skips every other top-level atom; the movie it builds has one image track
// and at most one audio track whose directory entries point straight at the
// samples inside the file. The writer wraps all frame data in one "mdat"
// atom starting at offset 0 and appends a "moov" that describes it.
//
// Both keep their working state in a per-call context, so reads and writes
// of different movies on different threads never meet. Results: 0, or -1
// with mvErrno set (1003 structural faults, 1007 unsupported constructs with
// a detail naming them, 1008 samples outside the chunks or a coding without
// a QuickTime description, 1016 no image track when writing).
#ifndef CINELARK_MOVIE_QUICKTIME_QUICKTIME_H
#define CINELARK_MOVIE_QUICKTIME_QUICKTIME_H

#include <cinelark/movie.h>

struct MVstream;

// Reads a QuickTime movie from a stream at offset 0. The movie takes the
// stream, also on failure.
int __mvQT_Read(MVstream *stream, MVid *movie);

// Writes a movie whose file format is QuickTime to its own stream.
int __mvQT_Write(MVid movie);

#endif
