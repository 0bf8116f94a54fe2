// Conversion between the stored layouts of image frames and 8-bit RGBA
// pictures with the top row first.
//
// The movie library hands frames in their track's packing: 1001 is a 32-bit
// word with red in bits 0-7, 1005 one grey byte, 1090 a 32-bit word with blue
// in bits 0-7, 1091 a 16-bit word of 5-5-5 with blue in bits 0-4; words are
// native values. Frames of 1001 and 1005 come bottom row first, the way the
// player paints them; frames of 1090 and 1091 (QuickTime's raw layouts) come
// top row first and the player reverses them. Exported pictures therefore
// look the way the player shows them, whatever "DM_IMAGE_ORIENTATION" says.
#ifndef MVCONVERT_PIXELS_H
#define MVCONVERT_PIXELS_H

#include <cstddef>
#include <cstdint>
#include <span>

namespace mvconvert {

// Bytes of one stored pixel, 0 for a packing the tool does not know.
size_t bytesPerPixel(int packing);

// Bytes of one stored frame, 0 for an unknown packing or a size that does
// not fit in memory.
size_t frameBytes(int packing, int width, int height);

// Converts one stored frame into width x height RGBA pixels, top row first;
// alpha is 255. The spans must hold frameBytes() and width*height*4 bytes;
// false when they do not or the packing is unknown.
bool frameToRGBA(int packing, int width, int height, std::span<const uint8_t> frame,
                 std::span<uint8_t> rgba);

// The reverse: RGBA pixels, top row first, into one stored frame. Alpha is
// dropped; grey is the rounded Rec. 601 luma.
bool rgbaToFrame(int packing, int width, int height, std::span<const uint8_t> rgba,
                 std::span<uint8_t> frame);

}  // namespace mvconvert

#endif
