// Feeds arbitrary bytes to mvconvert's PPM and PGM parser, which reads
// pictures given to --from-frames: it must refuse or read them, never read
// past the data, and a picture it accepts must hold width x height pixels.
#include "pictures.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    mvconvert::Picture picture;
    std::string error;
    if (mvconvert::parsePnm(std::span<const uint8_t>(data, size), &picture, &error) &&
        picture.rgba.size() != size_t(picture.width) * size_t(picture.height) * 4)
        std::abort();
    return 0;
}
