// Image frames in and out of tracks as pictures: 8-bit RGBA, top row first
// (see pixels.h for how each packing is laid out and turned).
#ifndef MVCONVERT_FRAME_IO_H
#define MVCONVERT_FRAME_IO_H

#include "schemes.h"

#include <cinelark/movie.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace mvconvert {

struct FrameSpan {
    int first = 0;
    int count = 0;
};

// Called with the frame number, the picture size and its pixels; false
// stops the walk (the sink has put the reason in the error it shares).
using PictureSink = std::function<bool(int frame, int width, int height, std::span<const uint8_t> rgba)>;

// Reads the span's image frames one by one and hands each to the sink as a
// picture, with a progress line under the label; false at the first
// failure, with the reason in *error.
bool forEachPicture(MVid image, FrameSpan span, const char *label, std::string *error, const PictureSink &sink);

// Puts pictures into an image track in its packing: inserted as frames the
// library compresses, or, with a coder, compressed here and inserted as
// stored frames.
class FrameWriter {
public:
    FrameWriter(MVid track, int width, int height, QualityCoder *coder);
    bool put(int frame, std::span<const uint8_t> rgba, std::string *error);

private:
    MVid track_;
    int width_, height_, packing_;
    QualityCoder *coder_;
    std::vector<uint8_t> frame_;
};

}  // namespace mvconvert

#endif
