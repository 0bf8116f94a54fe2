// Routine sets for registry rows that have no working codec in this build.
//
// kAwaitingCodec<scheme> serves rows whose streams use the common stream
// header: they recognise and read that header, but opening a compressor or
// decompressor fails with -7 because there is nothing to code with.
// kAwaitingCodecWith<query, read> does the same for streams of other forms.
// kNoCodec serves the rows whose codecs run on hardware or closed libraries
// that Linux does not have; they recognise nothing.
#ifndef CINELARK_COMPRESSION_AWAITING_CODEC_H
#define CINELARK_COMPRESSION_AWAITING_CODEC_H

#include "codec.h"

namespace cl {

int OpenWithoutCodec(int scheme, CL_Handle* handle);
int CompressWithoutCodec(CL_Handle handle, int frames, void* frameBuffer, int* compressedSize,
                         void* compressedData);
int DecompressWithoutCodec(CL_Handle handle, int frames, int compressedDataSize, void* compressedData,
                           void* frameBuffer);
int CloseWithoutCodec(CL_Handle handle);
int ReadCommonHeaderRoutine(CL_Handle handle, int size, void* header);

template <int Scheme>
int QueryCommonHeaderRoutine(const void* header) {
  return QueryCommonHeader(header, Scheme);
}

// Streams that do not start with the common header: a JPEG interchange
// image (SOI then APP0, the word 0xFFD8FFE0) and an MPEG-1 video elementary
// stream (the sequence header start code 0x000001B3).
int QueryJpegStream(const void* header);
int QueryMpegVideoStream(const void* header);

template <CL_QuerySchemeRoutine Query, CL_ReadHeaderRoutine Read>
constexpr CL_RoutineSet kAwaitingCodecWith = {
    OpenWithoutCodec, CompressWithoutCodec,   CloseWithoutCodec, OpenWithoutCodec, DecompressWithoutCodec,
    CloseWithoutCodec, Query,                 Read,              nullptr,          nullptr};

// A row whose stream starts with the common header.
template <int Scheme>
constexpr CL_RoutineSet kAwaitingCodec = kAwaitingCodecWith<QueryCommonHeaderRoutine<Scheme>, ReadCommonHeaderRoutine>;

constexpr CL_RoutineSet kNoCodec = {OpenWithoutCodec,  CompressWithoutCodec,   CloseWithoutCodec,
                                    OpenWithoutCodec,  DecompressWithoutCodec, CloseWithoutCodec,
                                    nullptr,           nullptr,                nullptr,
                                    nullptr};

}  // namespace cl

#endif
