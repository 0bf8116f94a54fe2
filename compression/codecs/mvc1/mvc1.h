// The "MVC1" codec: a lossy intra-frame code of 4 x 4 blocks, each a 16-bit
// pixel mask with two colours, or two colours for each 2 x 2 quadrant, in
// 15-bit colour or 8-bit grey.
#ifndef CINELARK_COMPRESSION_CODECS_MVC1_MVC1_H
#define CINELARK_COMPRESSION_CODECS_MVC1_MVC1_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kMvc1Routines;

}  // namespace cl::codecs

#endif
