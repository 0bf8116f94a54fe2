// What the uncompressed video and audio routines share: the private state
// of a handle, the stream header's parameters and the routines that are the
// same for both rows.
#ifndef CINELARK_COMPRESSION_CODECS_UNCOMPRESSED_UNCOMPRESSED_STATE_H
#define CINELARK_COMPRESSION_CODECS_UNCOMPRESSED_UNCOMPRESSED_STATE_H

#include <cinelark/cl.h>

#include <cstdint>

#include "../shared/codec_io.h"
#include "codec.h"

namespace cl::codecs::uncompressed {

constexpr int kHeaderBytes = 64;
constexpr int kMaxHeaderBytes = 168;

// The parameters the stream header carries, in the order it carries them.
constexpr int32_t kHeaderParams[] = {CL_ALGORITHM_ID,     CL_ALGORITHM_VERSION, CL_INTERNAL_FORMAT, CL_NUMBER_OF_FRAMES,
                                     CL_FRAME_RATE,       CL_IMAGE_WIDTH,       CL_IMAGE_HEIGHT};

struct State {
  int32_t reserved = 0;
  bool headerPending = true;
  bool headerRead = false;   // a stream header was applied to this handle
  ScratchArea area;          // converted or byte-swapped frames
  bool inGetParams = false;  // guards the codec's own clGetParams calls
};

inline State* StateOf(CL_Handle handle) { return static_cast<State*>(clGetUnique(handle)); }

int OpenCompressor(int scheme, CL_Handle* handle);
int OpenDecompressor(int scheme, CL_Handle* handle);
int Close(CL_Handle handle);
int QueryScheme(const void* header);
int ReadHeader(CL_Handle handle, int size, void* header);
int GetParams(CL_Handle handle, int* pv, int length);
int SetParams(CL_Handle handle, int* pv, int length);

// Writes the header before the first frame of a compressor, or reads it
// before the first frame of a decompressor; sets *compressedSize to the
// header's length when it writes one (and to 0 otherwise).
int PutHeaderOnce(CL_Handle handle, const char* label, int* compressedSize);
int TakeHeaderOnce(CL_Handle handle, const char* label);

// Audio and video frame movers (uncompressed_audio.cpp, uncompressed_video.cpp).
int CompressVideo(CL_Handle handle, int frames, void* frameBuffer, int* compressedSize, void* compressedData);
int DecompressVideo(CL_Handle handle, int frames, int compressedDataSize, void* compressedData, void* frameBuffer);
int CompressAudio(CL_Handle handle, int frames, void* frameBuffer, int* compressedSize, void* compressedData);
int DecompressAudio(CL_Handle handle, int frames, int compressedDataSize, void* compressedData, void* frameBuffer);

}  // namespace cl::codecs::uncompressed

#endif
