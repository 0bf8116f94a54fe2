#include "frame_io.h"

#include "movie_io.h"
#include "output.h"
#include "pixels.h"

namespace mvconvert {

bool forEachPicture(MVid image, FrameSpan span, const char *label, std::string *error, const PictureSink &sink)
{
    const int width = mvGetImageWidth(image), height = mvGetImageHeight(image);
    const int packing = mvGetImagePacking(image);
    const size_t bytes = frameBytes(packing, width, height);
    if (bytes == 0) {
        *error = "the image track's pixel packing or size is not one this program knows";
        return false;
    }
    std::vector<uint8_t> frame(bytes), rgba(size_t(width) * size_t(height) * 4);
    Progress progress(label, span.count);
    for (int i = 0; i < span.count; ++i) {
        const int number = span.first + i;
        if (mvReadFrames(image, number, 1, frame.size(), frame.data()) != 0) {
            *error = "frame " + std::to_string(number) + ": " + movieError();
            return false;
        }
        frameToRGBA(packing, width, height, frame, rgba);
        if (!sink(number, width, height, rgba))
            return false;
        progress.update(i + 1);
    }
    return true;
}

FrameWriter::FrameWriter(MVid track, int width, int height, QualityCoder *coder)
    : track_(track), width_(width), height_(height), packing_(mvGetImagePacking(track)), coder_(coder),
      frame_(frameBytes(packing_, width, height))
{
}

bool FrameWriter::put(int frame, std::span<const uint8_t> rgba, std::string *error)
{
    const std::string where = "frame " + std::to_string(frame) + ": ";
    if (!rgbaToFrame(packing_, width_, height_, rgba, frame_)) {
        *error = where + "the image track's pixel packing is not one this program knows";
        return false;
    }
    if (coder_ == nullptr) {
        if (mvInsertFrames(track_, frame, 1, frame_.size(), frame_.data()) == 0)
            return true;
        *error = where + movieError();
        return false;
    }
    std::span<const uint8_t> stored;
    if (!coder_->compress(frame_, &stored, error)) {
        *error = where + *error;
        return false;
    }
    if (mvInsertCompressedImage(track_, frame, stored.size(), const_cast<uint8_t *>(stored.data())) == 0)
        return true;
    *error = where + movieError();
    return false;
}

}  // namespace mvconvert
