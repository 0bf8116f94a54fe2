// The G.711 codec: 16-bit linear samples stored as one u-law or A-law code
// byte each. One routine set serves both rows; the scheme a handle is opened
// with chooses the conversion.
#ifndef CINELARK_COMPRESSION_CODECS_G711_G711_H
#define CINELARK_COMPRESSION_CODECS_G711_G711_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kG711Routines;

}  // namespace cl::codecs

#endif
