// Where the blocks of an "MVC1" frame lie in memory, shared by its encoder
// and decoder.
//
// The picture is covered by 4 x 4 blocks in bands of C = ceil(width / 4)
// blocks. The F = floor(height / 4) full bands are anchored at the first
// image row in memory; when the height is not a multiple of 4, one more band
// covers the last height mod 4 rows and is cut off past the end of memory.
// The stream holds that partial band first, then the full bands from the one
// nearest the end of memory to the first, each block left to right.
//
// Within a block, row 0 of the mask is the row with the highest address and
// row 3 the lowest: band s puts its row j on memory row Row0(s) - j, and
// keeps only the rows that land inside the picture (j >= SkippedRows(s)). The
// last block of a band keeps only its first width mod 4 columns when the
// width is not a multiple of 4. Every block is coded whole whatever is kept.
#ifndef CINELARK_COMPRESSION_CODECS_MVC1_MVC1_LAYOUT_H
#define CINELARK_COMPRESSION_CODECS_MVC1_MVC1_LAYOUT_H

#include <cinelark/cl.h>

#include <algorithm>
#include <cstdint>

namespace cl::codecs::mvc1 {

// Block sizes in bytes: a 16-bit mask, then two or eight 16-bit colours, or
// two or eight one-byte grey values.
constexpr int kColourTwoBytes = 6;
constexpr int kColourEightBytes = 18;
constexpr int kGreyTwoBytes = 4;
constexpr int kGreyEightBytes = 10;

// Bit 15 of the first colour asks for eight colours; bit 0 of the second grey
// value asks for eight grey values.
constexpr uint16_t kEightColours = 0x8000;
constexpr uint8_t kEightGreys = 0x01;

struct Layout {
  int width = 0;
  int height = 0;

  int Columns() const { return (width + 3) / 4; }
  int FullBands() const { return height / 4; }
  bool HasPartialBand() const { return height % 4 != 0; }
  int Bands() const { return FullBands() + (HasPartialBand() ? 1 : 0); }
  int64_t Blocks() const { return int64_t(Columns()) * Bands(); }
  // Blocks of a band that keep all four columns.
  int FullColumns() const { return width / 4; }
  // Columns kept of block c of a band.
  int KeptColumns(int c) const { return std::min(4, width - 4 * c); }

  // Memory row of mask row 0 of the s-th band of the stream (it lies past the
  // end of memory in the partial band).
  int Row0(int s) const { return 4 * (Bands() - 1 - s) + 3; }
  // Mask rows of band s that fall past the end of memory.
  int SkippedRows(int s) const { return std::max(0, Row0(s) - (height - 1)); }
};

// Largest stored size of one frame.
inline int64_t WorstFrameBytes(const Layout& l, int internal) {
  return l.Blocks() * (internal == CL_GRAYSCALE ? kGreyEightBytes : kColourEightBytes);
}

}  // namespace cl::codecs::mvc1

#endif
