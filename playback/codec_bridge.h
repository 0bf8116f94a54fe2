// The codec bridge object of one compressed image track, and the pieces of
// the bridge shared between its files.
//
// A bridge object turns the track's compression name into one of four kinds
// of coder: a compressor and decompressor pair of the compression library,
// the QuickTime "Apple Video" or "Apple Animation" coders, or the bridge's
// own "8RGB" byte-per-pixel coding. Frames cross the bridge as 32-bit pixels
// (0x00BBGGRR words), rows from the bottom of the picture up.
//
// The object belongs to its image track, which creates and destroys it and
// calls it from one thread at a time.
#ifndef CINELARK_PLAYBACK_CODEC_BRIDGE_H
#define CINELARK_PLAYBACK_CODEC_BRIDGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <cinelark/cl.h>

enum MVcodecKind {
    MV_CODEC_LIBRARY = 6,
    MV_CODEC_APPLE_VIDEO = 7,
    MV_CODEC_APPLE_ANIMATION = 8,
    MV_CODEC_8RGB = 9
};

struct MVcodec {
    int32_t width = 0;
    int32_t height = 0;
    // width x height x 4: one frame of 32-bit pixels.
    int32_t frameBytes = 0;
    // The track's "DM_IMAGE_PACKING".
    int32_t packing = 0;
    int32_t kind = 0;
    std::string name;
    // The compression library's scheme (library kind only).
    int32_t scheme = 0;
    // Stored pixel depth in bits ("MV_IMAGE_CSIZE").
    int32_t depth = 24;
    // The QuickTime coders' memory of the last frame compressed, top row
    // first, made on first use.
    std::vector<uint32_t> previousFrame;
    // The QuickTime decoders' picture: a frame codes only its changes, so it
    // is decoded over the one before and then copied out.
    std::vector<uint32_t> decoded;
    // Frames until the next key frame (QuickTime kinds).
    int32_t keyCountdown = 0;
    CL_Handle compressor = nullptr;
    CL_Handle decompressor = nullptr;
};

// Builds the "8RGB" expansion table; safe to call from any thread, any
// number of times.
void __mvInit8Bit();

namespace cinelark::playback {

// "8RGB": one byte per pixel, red in bits 7-5, blue in 4-3, green in 2-0.
void compress8RGB(const uint32_t *frame, size_t pixels, uint8_t *out);
void decompress8RGB(const uint8_t *data, size_t pixels, uint32_t *frame);

}  // namespace cinelark::playback

#endif
