// The routine set of registry rows whose codecs run on hardware or on closed
// libraries that Linux does not have (the board JPEG, MVC2 and the two MPEG
// audio coders): they recognise no stream, and every attempt to open a
// compressor or decompressor fails with -7, so callers learn at open time
// that the scheme cannot be used here.
#ifndef CINELARK_COMPRESSION_NO_CODEC_H
#define CINELARK_COMPRESSION_NO_CODEC_H

#include "codec.h"

namespace cl {

int OpenWithoutCodec(int scheme, CL_Handle* handle);
int CompressWithoutCodec(CL_Handle handle, int frames, void* frameBuffer, int* compressedSize,
                         void* compressedData);
int DecompressWithoutCodec(CL_Handle handle, int frames, int compressedDataSize, void* compressedData,
                           void* frameBuffer);
int CloseWithoutCodec(CL_Handle handle);

constexpr CL_RoutineSet kNoCodec = {OpenWithoutCodec,  CompressWithoutCodec,   CloseWithoutCodec,
                                    OpenWithoutCodec,  DecompressWithoutCodec, CloseWithoutCodec,
                                    nullptr,           nullptr,                nullptr,
                                    nullptr};

}  // namespace cl

#endif
