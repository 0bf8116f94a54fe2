// The slice and macroblock layers: decoding one slice of a picture into its
// store, predicting from the reference pictures.
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_SLICE_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_SLICE_H

#include <cstddef>
#include <cstdint>

#include "bit_reader.h"
#include "headers.h"

namespace cl::codecs::mpeg {

// One picture store: a Y plane of codedWidth x codedHeight samples, then Cr
// and Cb planes of half that size each way.
struct Store {
  uint8_t* y = nullptr;
  uint8_t* cr = nullptr;
  uint8_t* cb = nullptr;
};

// The macroblock grid: the coded size is the stream's size rounded up to
// whole macroblocks.
struct Geometry {
  int mbWidth = 0;
  int mbHeight = 0;
  int lumaStride() const { return mbWidth * 16; }
  int chromaStride() const { return mbWidth * 8; }
};

// What every slice of one picture shares.
struct PictureContext {
  const PictureHeader* header = nullptr;
  const uint8_t* intraMatrix = nullptr;     // raster order
  const uint8_t* nonIntraMatrix = nullptr;  // raster order
  Geometry geometry;
  Store target;
  Store forward;   // P: the newer reference; B: the older one
  Store backward;  // B: the newer reference
};

// Decodes the slice whose start code is sliceCode from the bits after that
// code. Returns false at the first damage (a code no table holds, a
// macroblock outside the picture, data run out); the macroblocks decoded up
// to there stay in the store.
bool DecodeSlice(const PictureContext& picture, int sliceCode, BitReader& bits);

}  // namespace cl::codecs::mpeg

#endif
