// The "RLE" codec: run-length codes of one byte per pixel in the RGB332
// layout.
#ifndef CINELARK_COMPRESSION_CODECS_RLE_RLE_H
#define CINELARK_COMPRESSION_CODECS_RLE_RLE_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kRleRoutines;

}  // namespace cl::codecs

#endif
