// QuickTime's two image coders, "Apple Video" (rpza) and "Apple Animation"
// (rle ), as the codec bridge reaches them: four entry points that
// mvInitQuickTime installs and that stay null until it has run.
//
// Pixels are 32-bit words 0x00BBGGRR (red in the low byte), width of them per
// row. The encoders take the picture's top row first (the bridge turns the
// library's bottom-up frame over before it calls them); the decoders write
// the picture's top row into the frame's last row, so a decoded frame is the
// right way up for the library.
//
// Decoders never read outside the data nor write outside the frame. A stream
// that runs short, runs over the picture or holds a code that cannot occur
// is decoded as far as it goes and the decoder returns one of the negative
// QtStatus values; the frame keeps whatever the stream did not reach.
// Encoders return kQtBufferTooSmall rather than write past the buffer.
#ifndef CINELARK_PLAYBACK_QUICKTIME_CODERS_H
#define CINELARK_PLAYBACK_QUICKTIME_CODERS_H

#include <array>
#include <cstddef>
#include <cstdint>

enum QtStatus {
    kQtOk = 0,
    kQtShortData = -1,      // the data ends before the picture does
    kQtOverrun = -2,        // the stream addresses pixels outside the picture
    kQtBadCode = -3,        // an opcode, header or depth that cannot occur
    kQtBufferTooSmall = -4, // the encoder's output does not fit
};

// A sentence describing a status, for error details.
const char *__mvQTStatusText(int status);

// "Apple Video" decoder: frame holds blocksHigh x 4 rows of rowPixels pixels.
using MVqtRPZADecompressFn = int (*)(uint32_t *frame, const uint8_t *data, size_t size,
                                     int blocksWide, int blocksHigh, int rowPixels);
// "Apple Video" encoder: previous may be null (no previous frame); key asks
// for a frame without skips.
using MVqtRPZACompressFn = int (*)(int width, int height, const uint32_t *frame,
                                   const uint32_t *previous, uint8_t *buffer, size_t bufferSize,
                                   int key, size_t *size);
// "Apple Animation" decoder for depths 2, 4, 8, 16, 24 and 32, and the grey
// depths 34, 36 and 40.
using MVqtRLEDecompressFn = int (*)(uint32_t *frame, const uint8_t *data, size_t size, int width,
                                    int height, int depth);
// "Apple Animation" encoder at depth 24; previous (width x height pixels) is
// brought up to date with every pixel it codes.
using MVqtRLECompressFn = int (*)(int width, int height, const uint32_t *frame, uint32_t *previous,
                                  uint8_t *buffer, size_t bufferSize, int key, size_t *size);

extern MVqtRPZADecompressFn __mvQTRPZADecompress;
extern MVqtRPZACompressFn __mvQTRPZACompress;
extern MVqtRLEDecompressFn __mvQTRLEDecompress;
extern MVqtRLECompressFn __mvQTRLECompress;

namespace cinelark::playback {

int decodeRpza(uint32_t *frame, const uint8_t *data, size_t size, int blocksWide, int blocksHigh,
               int rowPixels);
int encodeRpza(int width, int height, const uint32_t *frame, const uint32_t *previous,
               uint8_t *buffer, size_t bufferSize, int key, size_t *size);
int decodeQtrle(uint32_t *frame, const uint8_t *data, size_t size, int width, int height,
                int depth);
int encodeQtrle(int width, int height, const uint32_t *frame, uint32_t *previous, uint8_t *buffer,
                size_t bufferSize, int key, size_t *size);

// QuickTime's default colour tables for 2-, 4- and 8-bit pictures, as
// 0x00BBGGRR words.
extern const std::array<uint32_t, 4> kQtPalette4;
extern const std::array<uint32_t, 16> kQtPalette16;
extern const std::array<uint32_t, 256> kQtPalette256;
// The grey ramps of depths 34, 36 and 40 (2, 4 and 8 bits of grey): index 0
// white, the last index black.
extern const std::array<uint32_t, 4> kQtGrey4;
extern const std::array<uint32_t, 16> kQtGrey16;
extern const std::array<uint32_t, 256> kQtGrey256;

// 5-bit colour component to 8 bits by repeating its top bits below it, so
// that 0 stays 0 and 31 becomes 255.
constexpr uint32_t expand5(uint32_t v) { return (v << 3) | (v >> 2); }

// A 15-bit 5-5-5 colour (red in bits 14-10) as a 0x00BBGGRR word.
constexpr uint32_t rgb555ToWord(uint32_t c)
{
    return expand5((c >> 10) & 31) | expand5((c >> 5) & 31) << 8 | expand5(c & 31) << 16;
}

// rgb555ToWord of every 15-bit colour, for the decoders' inner loops.
extern const std::array<uint32_t, 32768> kRgb555Words;

}  // namespace cinelark::playback

#endif
