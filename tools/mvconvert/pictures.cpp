// PNG goes through libpng's simplified interface, which does its own
// checking and converts every PNG colour type and depth to 8-bit RGBA. PPM and
// PGM are small enough to parse here, through a bounds-checked cursor over
// the file's bytes: a header of magic, width, height and maximum value as
// decimal text separated by white space (with "#" comments), one white-space
// byte, then the samples, one byte each when the maximum is below 256 and
// two big-endian bytes otherwise.
#include "pictures.h"

#include <png.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace mvconvert {

namespace {

// Largest side accepted from a picture file; keeps width x height x 4 well
// inside memory and inside the movie library's int sizes.
constexpr long kMaxSide = 16384;

class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> data) : data_(data) {}

    bool atEnd() const { return pos_ >= data_.size(); }
    uint8_t peek() const { return data_[pos_]; }
    void skip() { ++pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    std::span<const uint8_t> take(size_t n)
    {
        auto s = data_.subspan(pos_, n);
        pos_ += n;
        return s;
    }

    void skipSpaceAndComments()
    {
        while (!atEnd()) {
            if (peek() == '#') {
                while (!atEnd() && peek() != '\n')
                    skip();
            } else if (std::strchr(" \t\r\n\v\f", peek()) != nullptr && peek() != 0) {
                skip();
            } else {
                return;
            }
        }
    }

    // A decimal number of at most 9 digits; false when none is there.
    bool number(long *value)
    {
        skipSpaceAndComments();
        long v = 0;
        int digits = 0;
        while (!atEnd() && peek() >= '0' && peek() <= '9') {
            if (++digits > 9)
                return false;
            v = v * 10 + (peek() - '0');
            skip();
        }
        *value = v;
        return digits > 0;
    }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

bool readWholeFile(const std::string &path, std::vector<uint8_t> *bytes, std::string *error)
{
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> closer(f, std::fclose);
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + n);
    if (std::ferror(f)) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

bool readPng(const std::string &path, Picture *picture, std::string *error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = std::string("not a readable PNG picture (") + image.message + ")";
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
        png_image_free(&image);
        *error = "picture size out of range";
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    picture->width = int(image.width);
    picture->height = int(image.height);
    picture->rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, picture->rgba.data(), 0, nullptr)) {
        *error = std::string("corrupt PNG picture (") + image.message + ")";
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace

bool isPpmName(const std::string &name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char &c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".ppm";
}

bool parsePnm(std::span<const uint8_t> data, Picture *picture, std::string *error)
{
    Cursor in(data);
    if (data.size() < 2 || data[0] != 'P' || (data[1] != '6' && data[1] != '5')) {
        *error = "not a binary PPM or PGM picture";
        return false;
    }
    const bool colour = data[1] == '6';
    in.skip();
    in.skip();
    long width = 0, height = 0, maxValue = 0;
    if (!in.number(&width) || !in.number(&height) || !in.number(&maxValue)) {
        *error = "malformed PPM header";
        return false;
    }
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        *error = "picture size out of range";
        return false;
    }
    if (maxValue < 1 || maxValue > 65535) {
        *error = "PPM maximum value out of range";
        return false;
    }
    if (in.atEnd()) {
        *error = "PPM picture data missing";
        return false;
    }
    in.skip();  // the single white-space byte before the samples
    const size_t sampleBytes = maxValue < 256 ? 1 : 2;
    const size_t channels = colour ? 3 : 1;
    const size_t pixels = size_t(width) * size_t(height);
    const size_t needed = pixels * channels * sampleBytes;
    if (in.remaining() < needed) {
        *error = "PPM picture data is cut short";
        return false;
    }
    const std::span<const uint8_t> samples = in.take(needed);
    picture->width = int(width);
    picture->height = int(height);
    picture->rgba.assign(pixels * 4, 255);
    const uint32_t max = uint32_t(maxValue);
    for (size_t i = 0; i < pixels; ++i) {
        uint8_t rgb[3];
        for (size_t c = 0; c < channels; ++c) {
            const size_t at = (i * channels + c) * sampleBytes;
            const uint32_t v = sampleBytes == 1 ? samples[at] : uint32_t(samples[at]) << 8 | samples[at + 1];
            const uint32_t clamped = v > max ? max : v;
            rgb[c] = uint8_t((clamped * 255 + max / 2) / max);
        }
        uint8_t *p = &picture->rgba[i * 4];
        p[0] = rgb[0];
        p[1] = colour ? rgb[1] : rgb[0];
        p[2] = colour ? rgb[2] : rgb[0];
    }
    return true;
}

bool readPicture(const std::string &path, Picture *picture, std::string *error)
{
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, &bytes, error))
        return false;
    if (bytes.size() >= 2 && bytes[0] == 'P' && (bytes[1] == '6' || bytes[1] == '5'))
        return parsePnm(bytes, picture, error);
    return readPng(path, picture, error);
}

bool writePng(const std::string &path, int width, int height, std::span<const uint8_t> rgba,
              std::string *error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    if (rgba.size() < size_t(width) * size_t(height) * 4) {
        *error = "internal error: short picture";
        return false;
    }
    errno = 0;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr)) {
        *error = errno != 0 ? std::strerror(errno) : image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

bool writePpm(const std::string &path, int width, int height, std::span<const uint8_t> rgba,
              std::string *error)
{
    const size_t pixels = size_t(width) * size_t(height);
    if (rgba.size() < pixels * 4) {
        *error = "internal error: short picture";
        return false;
    }
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> rgb(pixels * 3);
    for (size_t i = 0; i < pixels; ++i)
        std::memcpy(&rgb[i * 3], &rgba[i * 4], 3);
    bool ok = std::fprintf(f, "P6\n%d %d\n255\n", width, height) > 0 &&
              std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    int savedErrno = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok)
        *error = std::strerror(savedErrno != 0 ? savedErrno : EIO);
    return ok;
}

}  // namespace mvconvert
