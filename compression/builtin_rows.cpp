// The built-in rows of the two algorithm tables, in the order that fixes
// their scheme identifiers (audio 0, 1, ...; video 0x8000, 0x8001, ...).
//
// Adding a codec: put its folder under codecs/, declare its routine set in
// the folder's header, include that header here and point the row at it.
// Rows on kNoCodec belong to hardware or closed libraries and stay so.
#include "builtin_params.h"
#include "codecs/g711/g711.h"
#include "codecs/hdcc/hdcc.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/mpeg_video/mpeg_video.h"
#include "codecs/mvc1/mvc1.h"
#include "codecs/rle/rle.h"
#include "codecs/rle24/rle24.h"
#include "codecs/rtr/rtr.h"
#include "codecs/uncompressed/uncompressed.h"
#include "core.h"
#include "no_codec.h"

#include <cstring>

namespace cl {
namespace {

struct BuiltinRow {
  int32_t scheme;
  int32_t capabilities;
  const char* name;
  int32_t maxHeaderSize;
  ParamList (*params)();
  const CL_RoutineSet* routines;
};

// scheme, capabilities, name, maximum header size, parameters, routines
const BuiltinRow kBuiltinRows[] = {
    {CL_UNCOMPRESSED_AUDIO, 3, "Uncompressed Audio", 168, UncompressedAudioParams, &codecs::kUncompressedAudioRoutines},
    {CL_G711_ULAW,          3, "u-law (G.711)",      168, UlawParams,              &codecs::kG711Routines},
    {CL_G711_ALAW,          3, "a-law (G.711)",      168, AlawParams,              &codecs::kG711Routines},
    {CL_MPEG_AUDIO,         3, "MPEG Audio (Aware)", 148, MpegAudioParams,         &kNoCodec},
    {CL_MULTIRATE_AUDIO,    3, "Multirate (Aware)",  148, MultirateParams,         &kNoCodec},
    {CL_UNCOMPRESSED_VIDEO, 3, "Uncompressed Video", 168, UncompressedVideoParams, &codecs::kUncompressedVideoRoutines},
    {CL_RLE,                3, "RLE",                168, RleParams,               &codecs::kRleRoutines},
    {CL_JPEG,               3, "JPEG",               868, JpegParams,              &codecs::kJpegRoutines},
    {CL_MPEG_VIDEO,         1, "MPEG Video",         240, MpegVideoParams,         &codecs::kMpegVideoRoutines},
    {CL_MVC1,               3, "MVC1",               168, Mvc1Params,              &codecs::kMvc1Routines},
    {CL_RTR,                3, "RTR",                192, RtrParams,               &codecs::kRtrRoutines},
    {CL_HDCC,               3, "HDCC",               176, HdccParams,              &codecs::kHdccRoutines},
    {CL_HWJPEG,             3, "HwJpeg",             868, HwJpegParams,            &kNoCodec},
    {CL_MVC2,               3, "MVC2",               0,   Mvc2Params,              &kNoCodec},
    {CL_RLE24,              3, "RLE24",              168, Rle24Params,             &codecs::kRle24Routines},
};

}  // namespace

void InstallBuiltinRows(AlgorithmTable& audio, AlgorithmTable& video) {
  for (const BuiltinRow& b : kBuiltinRows) {
    AlgorithmTable& table = TypeOfScheme(b.scheme) ? video : audio;
    Algorithm& row = table.rows[table.count++];
    row.scheme = b.scheme;
    row.capabilities = b.capabilities;
    std::strncpy(row.name, b.name, kNameBytes - 1);
    row.maxHeaderSize = b.maxHeaderSize;
    row.routines = *b.routines;
    row.params = std::make_unique<ParamTable>();
    ParamList list = b.params();
    for (size_t i = 0; i < list.size(); ++i) (*row.params)[i] = list[i];
    row.paramCount = static_cast<int32_t>(list.size());
  }
}

}  // namespace cl
