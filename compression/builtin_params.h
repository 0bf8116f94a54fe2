// Parameter tables of the built-in algorithms, in table order. Each function
// returns the rows of one algorithm; the registry copies them into the row's
// 256-descriptor table when it is installed.
#ifndef CINELARK_COMPRESSION_BUILTIN_PARAMS_H
#define CINELARK_COMPRESSION_BUILTIN_PARAMS_H

#include <vector>

#include "core.h"

namespace cl {

using ParamList = std::vector<ParamDesc>;

ParamList UncompressedAudioParams();
ParamList UlawParams();
ParamList AlawParams();
ParamList MpegAudioParams();
ParamList MultirateParams();
ParamList UncompressedVideoParams();
ParamList RleParams();
ParamList JpegParams();
ParamList MpegVideoParams();
ParamList Mvc1Params();
ParamList RtrParams();
ParamList HdccParams();
ParamList HwJpegParams();
ParamList Mvc2Params();
ParamList Rle24Params();

}  // namespace cl

#endif
