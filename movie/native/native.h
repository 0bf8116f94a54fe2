// The native movie file format: recognising files, the version 1 and 2
// reader, and the version 3 reader and writer.
//
// All integers are big-endian and nothing is padded. Versions 1 and 2 are a
// fixed 592-byte header and an index of 20-byte records; version 3 is a
// 24-byte header, named text parameter records for the movie and each track,
// and a directory entry (with its own records) per stored block of frames.
// The readers build the movie with the object model's own calls, so every
// setting found in a file passes the same checks as one given by a program.
#ifndef CINELARK_MOVIE_NATIVE_NATIVE_H
#define CINELARK_MOVIE_NATIVE_NATIVE_H

#include <cstdint>

#include <cinelark/movie.h>

struct MVstream;

// Magic words at offset 0 of native files.
constexpr uint32_t kNativeMagic = 0x4D4F5649;  // "MOVI"
constexpr uint32_t kNativeOldMagic = 0x00010400;

// Sizes of the fixed parts of the format.
constexpr uint32_t kV12HeaderSize = 592;
constexpr uint32_t kV12IndexRecordSize = 20;
constexpr uint32_t kV3HeaderSize = 24;
constexpr uint32_t kV3TrackHeaderSize = 12;
constexpr uint32_t kV3EntrySize = 16;
constexpr uint32_t kV3RecordHeaderSize = 20;
constexpr uint32_t kV3NameField = 16;

// Reads a version 1 or 2 file (version 1 or 2) or a version 3 file from a
// stream at offset 0. The movie takes the stream, also on failure.
int __mvNV_ReadV12(MVstream *stream, int version, MVid *movie);
int __mvNV_ReadV3(MVstream *stream, MVid *movie);

// Writes the version 3 directory area of a movie at offset 0 of its stream,
// first making room for it by moving frame data that lies in the way.
int __mvNV_WriteV3(MVid movie);

#endif
