// The "RTR" codec: 8 x 8 Walsh-Hadamard blocks of greyscale or YUV samples,
// quantised by per-quality shift tables and coded with a byte-oriented
// run-length code.
#ifndef CINELARK_COMPRESSION_CODECS_RTR_RTR_H
#define CINELARK_COMPRESSION_CODECS_RTR_RTR_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kRtrRoutines;

}  // namespace cl::codecs

#endif
