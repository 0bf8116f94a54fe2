// The uncompressed codecs: "Uncompressed Video" stores each frame in its
// internal pixel format as it is, "Uncompressed Audio" stores the samples as
// they are. Both streams start with the 64-byte common stream header.
#ifndef CINELARK_COMPRESSION_CODECS_UNCOMPRESSED_UNCOMPRESSED_H
#define CINELARK_COMPRESSION_CODECS_UNCOMPRESSED_UNCOMPRESSED_H

#include "codec.h"

namespace cl::codecs {

extern const CL_RoutineSet kUncompressedVideoRoutines;
extern const CL_RoutineSet kUncompressedAudioRoutines;

}  // namespace cl::codecs

#endif
