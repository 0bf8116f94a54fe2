// The file formats' entry points, called by the open, is-movie and write
// operations of the object model.
//
// The formats build movies with the object model's own operations
// (__mvMV_Create, mvAddTrack, __mvT_InitDirEntry, __mvMV_LoadDone) and write
// them by walking the movie's track set and each track's directory.
#ifndef CINELARK_MOVIE_FORMATS_H
#define CINELARK_MOVIE_FORMATS_H

#include <cinelark/movie.h>

struct MVstream;

// Recognises the stream's format: 0 and *fileFormat one of MV_FORMAT_*, or
// -1 with 1003 (a stream that cannot be read counts as not a movie). The
// stream is left at offset 0.
int __mvDetectFormat(MVstream *stream, int *fileFormat);

// Reads a movie of a detected format from a stream positioned at 0. The
// movie takes the stream, also on failure (it is then destroyed).
int __mvReadMovie(MVstream *stream, int fileFormat, MVid *movie);

// Writes a movie to its own stream: native version 3 for MV_FORMAT_NATIVE_3,
// QuickTime for MV_FORMAT_QUICKTIME. The caller has already turned versions 1
// and 2 into version 3 and clears the dirty mark after a success.
int __mvWriteMovie(MVid movie, int fileFormat);

#endif
