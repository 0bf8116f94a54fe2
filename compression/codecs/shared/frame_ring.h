// The steps the video codecs take on the handle's frame buffer, one frame at
// a time: take the next frame to code or the space for the next decoded one,
// hand a decoded frame over, grow the area frames are converted in, convert
// between the caller's and the codec's pixel formats, and check that the
// frame buffer was laid out for the frames the parameters describe.
//
// Each step reports its failure through the codec handler with the caller's
// label ("clCompress RLE", ...) and returns the code, so a codec's frame loop
// only passes codes on.
#ifndef CINELARK_COMPRESSION_CODECS_SHARED_FRAME_RING_H
#define CINELARK_COMPRESSION_CODECS_SHARED_FRAME_RING_H

#include <cinelark/cl.h>

#include <cstdint>

#include "codec_io.h"

namespace cl::codecs {

// The next frame of the frame buffer (compressing), or null with the code in
// *status: the buffer's own, or -18 "unable to get a frame".
uint8_t* FrameToCode(CL_Handle handle, const char* label, CL_BufferHdl frames, int* status);

// Space for the next frame of the frame buffer (decompressing), or null with
// the code in *status: the buffer's own, or -18 "unable to get space for a
// frame".
uint8_t* FrameSpace(CL_Handle handle, const char* label, CL_BufferHdl frames, int* status);

// Adds the frame written into FrameSpace's space to the frame buffer: 0, or
// -18 "unable to put a frame".
int PutFrame(CL_Handle handle, const char* label, CL_BufferHdl frames);

// At least bytes of the area, or null after reporting -5 "unable to malloc
// buffer".
uint8_t* ReserveArea(CL_Handle handle, const char* label, ScratchArea& area, int64_t bytes);

// ConvertFrame, reporting -21 "no conversion from format ..." when no
// converter exists: 0 or -21.
int ConvertOrReport(CL_Handle handle, const char* label, int width, int height, int from, const uint8_t* src, int to,
                    uint8_t* dst, bool flip, bool fast = false);

// A frame buffer whose frames hold frameBytes cannot take a picture of
// width x height pixels of the original format, which needs neededBytes
// (fewer bits per component, or a smaller picture than a stream header
// announced): 0, or -18 "frames of %d bytes cannot hold ...".
int CheckFrameBytes(CL_Handle handle, const char* label, int frameBytes, int64_t neededBytes, int width, int height,
                    int original);

}  // namespace cl::codecs

#endif
