// Where the 8 x 8 blocks of an "RTR" frame come from, per internal format.
//
// A frame is cut into macroblocks, left to right in bands from the top; each
// macroblock codes a fixed list of blocks, each taken from one plane of
// samples interleaved in the frame's bytes:
//   4 greyscale  8 x 8 pixels: one block of the grey bytes
//   5 YUV        8 x 8 pixels: Y (byte 1), then U (byte 0), V (byte 2)
//   6 YUV422     16 x 8 pixels: left and right Y blocks (bytes 1 and 3 of
//                each pair), then U (byte 0) and V (byte 2) of the 8 pairs
//   7 YUV422DC   16 x 16 pixels: four Y blocks (top-left, top-right,
//                bottom-left, bottom-right), then U and V from the even rows;
//                the decoder repeats each chroma row on the odd row below
// Blocks at the right and bottom edges are always coded whole: a row is
// completed with its last available sample and missing rows repeat the last
// available row, so a 4:2:2 macroblock whose width remainder is 1..8 pixels
// still codes its right luminance block (a copy of the last column). The
// 4:2:2 layouts code whole pixel pairs only: an odd last pixel of a row is
// neither coded nor written, as the converters leave it.
#ifndef CINELARK_COMPRESSION_CODECS_RTR_RTR_LAYOUT_H
#define CINELARK_COMPRESSION_CODECS_RTR_RTR_LAYOUT_H

#include <cstddef>
#include <cstdint>

namespace cl::codecs::rtr {

struct Plane {
  int offset = 0;         // byte of the first sample
  int step = 1;           // bytes between samples of a row
  int width = 0;          // samples per row
  int height = 0;         // rows of samples
  size_t rowBytes = 0;    // bytes between rows of samples
  size_t twinBytes = 0;   // nonzero: each row is also stored this far below
  int twinRows = 0;       // rows of samples whose twin row exists
  int mbWidth = 8;        // samples per macroblock across
  int mbHeight = 8;       // and down
};

struct BlockSpot {
  int plane;
  int dx, dy;   // samples from the macroblock's corner
  bool chroma;  // quantised with the chrominance tables
};

struct Layout {
  Plane planes[3];
  BlockSpot blocks[6];
  int blockCount = 0;
  int mbColumns = 0;
  int mbRows = 0;
};

// The layout of a width x height frame of internal format 4..7.
Layout MakeLayout(int internal, int width, int height);

// Copies the 8 x 8 block whose first sample is (x, y) of the plane into
// samples, repeating the last available sample and row past the edges.
void GatherBlock(const uint8_t* frame, const Plane& plane, int x, int y, uint8_t* samples);

// Stores the available part of the 8 x 8 block at (x, y) of the plane (and
// its twin rows). Nothing outside the plane's samples is written.
void StoreBlock(const uint8_t* samples, const Plane& plane, int x, int y, uint8_t* frame);

}  // namespace cl::codecs::rtr

#endif
