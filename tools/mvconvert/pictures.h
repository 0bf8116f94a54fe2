// Picture files: PNG through libpng and binary PPM/PGM (P6, P5) read and
// written by the tool itself. Pictures in memory are 8-bit RGBA, top row
// first.
#ifndef MVCONVERT_PICTURES_H
#define MVCONVERT_PICTURES_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mvconvert {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// True when the name ends in ".ppm" (any case): such files are written as
// PPM, all others as PNG.
bool isPpmName(const std::string &name);

// Reads a PNG, or a PPM/PGM when the file starts with "P6" or "P5". False
// with a reason in *error when the file cannot be read or is malformed.
bool readPicture(const std::string &path, Picture *picture, std::string *error);

// Parses a binary PPM (P6) or PGM (P5) held in memory; maximum values up to
// 65535 are scaled to 8 bits.
bool parsePnm(std::span<const uint8_t> data, Picture *picture, std::string *error);

// Writes RGBA pixels, top row first, as PNG (with alpha) or PPM (alpha
// dropped). False with the system's reason when the file cannot be written.
bool writePng(const std::string &path, int width, int height, std::span<const uint8_t> rgba,
              std::string *error);
bool writePpm(const std::string &path, int width, int height, std::span<const uint8_t> rgba,
              std::string *error);

}  // namespace mvconvert

#endif
