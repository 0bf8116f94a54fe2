// The "HDCC" codec: conditional replenishment of 8-bit pictures in 4 x 4
// tiles. Each frame sends, as 20-byte records, at most a fixed number of the
// tiles whose sampled luminance changed most since the decoder last got
// them; the decoder writes the tiles into the frame it still holds.
#ifndef CINELARK_COMPRESSION_CODECS_HDCC_HDCC_H
#define CINELARK_COMPRESSION_CODECS_HDCC_HDCC_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kHdccRoutines;

}  // namespace cl::codecs

#endif
