// The "RLE24" codec: run-length codes of 32-bit pixels stored as three bytes
// each.
#ifndef CINELARK_COMPRESSION_CODECS_RLE24_RLE24_H
#define CINELARK_COMPRESSION_CODECS_RLE24_RLE24_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kRle24Routines;

}  // namespace cl::codecs

#endif
