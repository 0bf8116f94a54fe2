// The decoder's own conversion of its Y, Cr, Cb planes (4:2:0, studio
// range) to 32-bit RGBX pixels (red in bits 0-7, green 8-15, blue 16-23,
// bits 24-31 zero). It works from tables whose entries are truncated, not
// rounded, and so differs by a step here and there from the colour-space
// converters; the pictures a stream decodes to are defined by these tables.
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_COLOUR_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_COLOUR_H

#include <cstdint>

namespace cl::codecs::mpeg {

struct PlaneSet {
  const uint8_t* y;
  const uint8_t* cr;
  const uint8_t* cb;
  int lumaStride;
  int chromaStride;
};

// Writes width x height pixels (width a multiple of 8, height even) to out, rows of width pixels;
// plane row k goes to output row k, or to row height - 1 - k when bottomUp.
void ConvertToRgbx(const PlaneSet& planes, int width, int height, uint8_t* out, bool bottomUp);

// One pixel, for tests and single samples.
uint32_t RgbxPixel(int y, int cr, int cb);

}  // namespace cl::codecs::mpeg

#endif
