// Parameter tables of the built-in algorithms.
//
// Every table starts with the 20 common parameters. The video rows share the
// columns of "Uncompressed Video" and the audio rows those of "Uncompressed
// Audio"; each other row lists only where it differs and appends its own
// parameters. Floats are stored as their IEEE single-precision bits. Where a
// table stores a float range as raw words ("Multirate (Aware)" compression
// ratio), the words are kept exactly as the format fixes them.
#include "builtin_params.h"

#include <bit>
#include <climits>

namespace cl {
namespace {

constexpr int32_t F(float value) { return std::bit_cast<int32_t>(value); }

enum Type : int32_t { kEnum = 0, kRange = 1, kFloatEnum = 2, kFloatRange = 3 };

// Identifiers follow from positions; only "HwJpeg" overrides one stretch.
void Append(ParamList& list, const char* name, int32_t type, int32_t min, int32_t max, int32_t def) {
  ParamDesc d;
  d.id = ParamIdentifier(static_cast<int>(list.size()));
  d.type = type;
  d.min = min;
  d.max = max;
  d.def = def;
  d.name = name;
  list.push_back(d);
}

// An unnamed descriptor, counted in a table but answering to no name.
void AppendEmpty(ParamList& list) { Append(list, nullptr, kEnum, 0, 0, 0); }

void SetRange(ParamList& list, int position, int32_t min, int32_t max, int32_t def) {
  list[position].min = min;
  list[position].max = max;
  list[position].def = def;
}

ParamList VideoCommon(int32_t scheme) {
  ParamList l;
  l.reserve(kCommonParams + 13);
  Append(l, "Image width", kRange, 1, 1000000, 320);
  Append(l, "Image height", kRange, 1, 1000000, 240);
  Append(l, "Original format", kRange, 0, 32, CL_RGBX);
  Append(l, "Internal format", kRange, -1, 32, -1);
  Append(l, "Number of components", kRange, 1, 8, 3);
  Append(l, "Bits per component", kRange, 1, 16, 8);
  Append(l, "Frame rate", kFloatRange, F(0.0f), F(1000000.0f), F(30.0f));
  Append(l, "Compression ratio", kFloatRange, F(1.0f), F(1.0f), F(1.0f));
  Append(l, "Exact compression ratio flag", kEnum, 0, 1, 0);
  Append(l, "Frame buffer size", kRange, 0, INT_MAX, 0);
  Append(l, "Compressed buffer size", kRange, 0, INT_MAX, 0);
  Append(l, "Block Size (in frames)", kRange, 0, INT_MAX, 1);
  Append(l, "Preroll (in blocks)", kRange, 0, INT_MAX, 0);
  Append(l, "Frame type", kRange, 0, 3, 1);
  Append(l, "Algorithm ID", kRange, scheme, scheme, scheme);
  Append(l, "Algorithm version", kRange, 1, 1, 1);
  Append(l, "Orientation", kEnum, 0, 1, 0);
  Append(l, "Number of frames", kRange, 0, INT_MAX, 0);
  Append(l, "Speed of playback", kFloatRange, F(1.0f), F(1.0f), F(1.0f));
  Append(l, "Last frame index", kRange, 0, INT_MAX, 0);
  return l;
}

ParamList AudioCommon(int32_t algorithmId) {
  ParamList l = VideoCommon(algorithmId);
  SetRange(l, CL_IMAGE_WIDTH, 1, 1, 1);
  SetRange(l, CL_IMAGE_HEIGHT, 1, 1, 1);
  l[CL_ORIGINAL_FORMAT].type = kEnum;
  l[CL_INTERNAL_FORMAT].type = kEnum;
  SetRange(l, CL_INTERNAL_FORMAT, -1, 1, -1);
  SetRange(l, CL_BITS_PER_COMPONENT, 1, 32, 16);
  SetRange(l, CL_FRAME_RATE, F(0.0f), F(44100.0f), F(44100.0f));
  return l;
}

ParamList G711Common() {
  // Both G.711 rows carry Algorithm ID 2 in their table; opening a handle
  // replaces the value (not the range) with the handle's own scheme.
  ParamList l = AudioCommon(2);
  l[CL_NUMBER_OF_COMPONENTS].def = 2;
  SetRange(l, CL_COMPRESSION_RATIO, F(2.0f), F(2.0f), F(2.0f));
  return l;
}

ParamList AwareCommon(int32_t algorithmId) {
  ParamList l = AudioCommon(algorithmId);
  l[CL_ORIGINAL_FORMAT].type = kRange;
  SetRange(l, CL_ORIGINAL_FORMAT, 0, 1, 1);
  l[CL_INTERNAL_FORMAT].type = kRange;
  SetRange(l, CL_NUMBER_OF_COMPONENTS, 1, 2, 2);
  SetRange(l, CL_BITS_PER_COMPONENT, 16, 16, 16);
  SetRange(l, CL_FRAME_RATE, F(0.0f), F(48000.0f), F(44100.0f));
  SetRange(l, CL_COMPRESSION_RATIO, F(1.14f), F(48.0f), F(5.125f));
  return l;
}

}  // namespace

ParamList UncompressedAudioParams() { return AudioCommon(0); }
ParamList UlawParams() { return G711Common(); }
ParamList AlawParams() { return G711Common(); }

ParamList MpegAudioParams() {
  ParamList l = AwareCommon(3);
  Append(l, "Channel policy", kEnum, 1, 3, 2);
  Append(l, "Noise margin", kFloatRange, F(-20.0f), F(20.0f), F(0.0f));
  Append(l, "Bitrate mode", kEnum, 1, 2, 1);
  Append(l, "Bitrate target", kRange, 32000, 448000, 256000);
  Append(l, "Algo layer", kEnum, 1, 2, 2);
  return l;
}

ParamList MultirateParams() {
  ParamList l = AwareCommon(4);
  SetRange(l, CL_BITS_PER_COMPONENT, 1, 16, 16);
  SetRange(l, CL_COMPRESSION_RATIO, 0x04080000, 0x41400000, 0x042C8000);
  Append(l, "Channel policy", kEnum, 1, 3, 1);
  Append(l, "Noise margin", kFloatRange, F(-124.0f), F(-20.0f), F(-90.0f));
  Append(l, "Bitrate mode", kEnum, 2, 4, 2);
  return l;
}

ParamList UncompressedVideoParams() { return VideoCommon(CL_UNCOMPRESSED_VIDEO); }

ParamList RleParams() {
  ParamList l = VideoCommon(CL_RLE);
  SetRange(l, CL_INTERNAL_FORMAT, -1, 3, 3);
  return l;
}

ParamList JpegParams() {
  ParamList l = VideoCommon(CL_JPEG);
  SetRange(l, CL_INTERNAL_FORMAT, -1, 7, -1);
  SetRange(l, CL_COMPRESSION_RATIO, F(1.0f), F(1000000.0f), F(15.0f));
  Append(l, "Quality Factor", kRange, 0, 100, 75);
  Append(l, "Stream headers flag", kRange, 0, 1, 1);
  return l;
}

ParamList MpegVideoParams() {
  ParamList l = VideoCommon(CL_MPEG_VIDEO);
  SetRange(l, CL_INTERNAL_FORMAT, -1, 7, 7);
  SetRange(l, CL_BITS_PER_COMPONENT, 1, 32, 8);
  SetRange(l, CL_COMPRESSION_RATIO, F(1.0f), F(1000000.0f), F(48.0f));
  Append(l, "End of sequence", kRange, 0, 1, 0);
  AppendEmpty(l);
  AppendEmpty(l);
  return l;
}

ParamList Mvc1Params() {
  ParamList l = VideoCommon(CL_MVC1);
  SetRange(l, CL_INTERNAL_FORMAT, -1, 4, -1);
  SetRange(l, CL_COMPRESSION_RATIO, F(2.6666667f), F(12.0f), F(5.3f));
  return l;
}

ParamList RtrParams() {
  ParamList l = VideoCommon(CL_RTR);
  SetRange(l, CL_INTERNAL_FORMAT, -1, 7, -1);
  SetRange(l, CL_COMPRESSION_RATIO, F(1.0f), F(1000000.0f), F(5.0f));
  Append(l, "Quality level", kRange, 1, 6, 1);
  AppendEmpty(l);
  AppendEmpty(l);
  return l;
}

ParamList HdccParams() {
  ParamList l = VideoCommon(CL_HDCC);
  l[CL_ORIGINAL_FORMAT].def = CL_RGB8;
  SetRange(l, CL_INTERNAL_FORMAT, -1, 8, -1);
  l[CL_NUMBER_OF_COMPONENTS].def = 1;
  SetRange(l, CL_COMPRESSION_RATIO, F(0.8f), F(32.0f), F(5.7f));
  Append(l, "Tile Difference Threshold", kRange, 0, 255, 10);
  Append(l, "Samples per tile", kRange, 1, 16, 2);
  return l;
}

ParamList HwJpegParams() {
  ParamList l = VideoCommon(CL_HWJPEG);
  SetRange(l, CL_IMAGE_WIDTH, 104, 10000, 640);
  SetRange(l, CL_IMAGE_HEIGHT, 78, 10000, 248);
  SetRange(l, CL_ORIGINAL_FORMAT, 0, 6, CL_RGBX);
  SetRange(l, CL_INTERNAL_FORMAT, 5, 5, 5);
  SetRange(l, CL_COMPRESSION_RATIO, F(1.0f), F(1000000.0f), F(15.0f));
  SetRange(l, CL_ORIENTATION, 0, 0, 0);
  Append(l, "Quality Factor", kRange, 0, 100, 75);
  Append(l, "Source", kEnum, 0, 1, 0);
  Append(l, "Destination", kEnum, 0, 1, 0);
  Append(l, "Scaled Width in Pixels", kRange, 16, 10000, 640);
  Append(l, "Scaled Height in Lines", kRange, 8, 10000, 248);
  Append(l, "Frame Control", kEnum, 0, 4, 3);
  Append(l, "Clipped Width in Pixels", kRange, 0, 10000, 0);
  Append(l, "Clipped Height in Lines", kRange, 0, 10000, 0);
  Append(l, "Video Frame Rate", kEnum, 30, 60, 30);
  Append(l, "Number of Q Tables", kRange, 0, 10, 1);
  Append(l, "Q Tables", kRange, 0, INT_MAX, 0);
  Append(l, "Current Q Table", kRange, 0, 10, 0);
  Append(l, "Driver Status", kRange, 0, 10, 0);
  // The board's table carries "Frame Control" at position 25 under the
  // identifier 0x80000007, and the two clipping parameters after it under
  // 0x80000005 and 0x80000006. Lookups go by position, so only queries that
  // print the stored identifier see this.
  l[25].id = static_cast<int32_t>(0x80000007u);
  l[26].id = static_cast<int32_t>(0x80000005u);
  l[27].id = static_cast<int32_t>(0x80000006u);
  return l;
}

ParamList Mvc2Params() {
  ParamList l = VideoCommon(CL_MVC2);
  SetRange(l, CL_ORIGINAL_FORMAT, 1, 1, 1);
  SetRange(l, CL_INTERNAL_FORMAT, 1, 1, 1);
  SetRange(l, CL_NUMBER_OF_COMPONENTS, 4, 4, 4);
  SetRange(l, CL_BITS_PER_COMPONENT, 8, 8, 8);
  SetRange(l, CL_COMPRESSION_RATIO, F(1.0f), F(1000000.0f), F(15.0f));
  l[CL_COMPRESSED_BUFFER_SIZE].def = 307200;
  Append(l, "Luminance threshold", kRange, 0, 255, 15);
  Append(l, "Chrominance Threshold", kRange, 0, 255, 25);
  Append(l, "Edge Threshold", kRange, 0, 255, 25);
  Append(l, "Blending", kEnum, 0, 1, 0);
  return l;
}

ParamList Rle24Params() {
  ParamList l = VideoCommon(CL_RLE24);
  SetRange(l, CL_INTERNAL_FORMAT, -1, 1, 1);
  l[CL_NUMBER_OF_COMPONENTS].def = 4;
  return l;
}

}  // namespace cl
