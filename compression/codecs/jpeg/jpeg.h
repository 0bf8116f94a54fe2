// The "JPEG" codec: each video frame is one baseline JPEG image, coded and
// decoded by libjpeg-turbo.
#ifndef CINELARK_COMPRESSION_CODECS_JPEG_JPEG_H
#define CINELARK_COMPRESSION_CODECS_JPEG_JPEG_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kJpegRoutines;

}  // namespace cl::codecs

#endif
