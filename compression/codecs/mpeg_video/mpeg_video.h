// The "MPEG Video" codec: a decoder of MPEG-1 video elementary streams
// (ISO/IEC 11172-2) and a compressor that stores frames unencoded.
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_MPEG_VIDEO_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_MPEG_VIDEO_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kMpegVideoRoutines;

}  // namespace cl::codecs

#endif
