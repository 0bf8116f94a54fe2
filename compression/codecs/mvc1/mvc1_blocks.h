// The block codes of "MVC1", one frame at a time, for the codec's frame loop.
//
// Colour blocks (internal format RGBX, 4-byte pixel words 0x00BBGGRR): a
// 16-bit mask, whose bit 4r + k picks pixel k of block row r, then 15-bit
// colours (red in bits 10-14, green 5-9, blue 0-4), all big-endian words.
// Bit 15 of the first colour clear: two colours, a 1 bit takes the first and
// a 0 bit the second. Set: eight colours in four pairs, rows 0-1 taking
// pairs (W0, W1) for pixels 0-1 and (W2, W3) for pixels 2-3, rows 2-3
// (W4, W5) and (W6, W7), the first of a pair again for 1 bits.
//
// Greyscale blocks (internal format GRAYSCALE, one byte a pixel): the same
// mask, then one-byte values. Bit 0 of G1 clear: two values, G0 for 0 bits
// and G1 for 1 bits (note the order, the reverse of the colour form). Set:
// eight values in pairs laid out as the colours are, again G0 for 0 bits.
#ifndef CINELARK_COMPRESSION_CODECS_MVC1_MVC1_BLOCKS_H
#define CINELARK_COMPRESSION_CODECS_MVC1_MVC1_BLOCKS_H

#include <cinelark/cl.h>

#include <cstddef>
#include <cstdint>

#include "mvc1_layout.h"

namespace cl::codecs::mvc1 {

// The decoder's 32768 pixel words of the 15-bit colours: red x 8 in bits
// 0-7, green x 8 in bits 8-15, blue x 8 in bits 16-23. Built once, on the
// first call; every later call returns the same table.
const uint32_t* ColourWords();

// Decodes one frame from the stream reader of the data buffer into image,
// rows in memory order, width pixels of 4 bytes (colour) or 1 byte (grey)
// each. Returns the bytes the frame's blocks took, or -1 when the stream ran
// out first (the reader has reported it; the rows decoded so far are kept).
// Nothing is written outside the width x height pixels of image.
int64_t DecodeColourFrame(CL_BufferHdl data, const Layout& layout, const uint32_t* colourWords, uint8_t* image);
int64_t DecodeGreyFrame(CL_BufferHdl data, const Layout& layout, uint8_t* image);

// The encoder codes a block in the eight-colour (eight-value) form when the
// spread of its luminance reaches the threshold, and in the two-colour form
// otherwise. The threshold of a frame is chosen from "Compression ratio": the
// blocks of widest spread get the eight-colour form, as many as keep the
// frame near the asked size, but never a block whose spread is below
// kFlatSpread, where eight colours would gain nothing at 5 bits a primary.
constexpr int kFlatSpread = 8;
int ChooseThreshold(const Layout& layout, const uint8_t* image, int internal, float ratio);

// Codes band s of the stream (see mvc1_layout.h) of the internal image into
// out, which holds Columns() blocks of the eight form; returns the bytes
// written. The colour encoder keeps bit 15 of every mask clear (it swaps the
// colours of a pair instead), so that the frames it writes are also valid in
// the 16-bit form of the 4 x 4 block code that ffmpeg decodes as "msvideo1",
// once each word is byte-swapped.
size_t EncodeColourBand(const Layout& layout, const uint8_t* image, int s, int threshold, uint8_t* out);
size_t EncodeGreyBand(const Layout& layout, const uint8_t* image, int s, int threshold, uint8_t* out);

}  // namespace cl::codecs::mvc1

#endif
