// Image compression schemes as the tool sees them: which names exist, which
// file format carries which, the packing an output track needs, and the
// compressor that works at a quality the user chose.
//
// The movie library turns a track's compression name into a codec in one of
// two ways: names the compression library knows, matched without regard to
// case, and four names the library handles itself ("Uncompressed Video",
// QuickTime's "Apple Video" and "Apple Animation", and "8RGB"). A quality is
// a codec parameter whose name starts with "Quality" ("Quality Factor" 0 to
// 100, "Quality level" 1 to 6 and the like); the library always compresses
// at the parameter's default, so frames at another quality are compressed
// here and stored as they come out.
#ifndef MVCONVERT_SCHEMES_H
#define MVCONVERT_SCHEMES_H

#include <cinelark/cl.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mvconvert {

// While one of these lives, the compression library's messages are kept
// (the last one in last()) instead of being printed on standard error.
class ClMessages {
public:
    ClMessages();
    ~ClMessages();
    ClMessages(const ClMessages &) = delete;
    ClMessages &operator=(const ClMessages &) = delete;
    static const std::string &last();

private:
    CL_ErrorHandler previous_;
};

// The scheme's name as the movie library spells it, found without regard to
// case; false, with a reason listing the known names, for an unknown one.
bool resolveScheme(const std::string &name, std::string *canonical, std::string *error);

// A compressor set to one quality, for frames of 32-bit words with red low,
// bottom row first: the layout the movie library hands its own codecs, set
// up with the parameters the library sets, so its decompressor reads them.
class QualityCoder {
public:
    QualityCoder() = default;
    ~QualityCoder();
    QualityCoder(const QualityCoder &) = delete;
    QualityCoder &operator=(const QualityCoder &) = delete;

    // False with a reason naming the scheme when the compression library
    // cannot open a compressor for it, when it has no quality parameter, or
    // when quality lies outside that parameter's range (the range is named).
    bool open(const std::string &scheme, int width, int height, int quality, std::string *error);

    // Compresses one frame of width x height x 4 bytes; *out stays valid
    // until the next call.
    bool compress(std::span<uint8_t> frame, std::span<const uint8_t> *out, std::string *error);

private:
    CL_Handle handle_ = nullptr;
    std::vector<uint8_t> buffer_;
};

// What an output image track is made of: the scheme as the library spells
// it, the packing its frames take and, when a quality was asked for, the
// coder that compresses them.
struct ImageOutput {
    std::string compression;
    int packing = 0;
    bool hasQuality = false;
    QualityCoder coder;
    QualityCoder *qualityCoder() { return hasQuality ? &coder : nullptr; }
};

// Settles the image track of an output of the format for the wanted scheme
// (any case), frames of width x height coming in the source packing, and
// the quality when hasQuality; false with the reason when the scheme is
// unknown, the format cannot carry it, or the quality cannot be used.
bool chooseImageOutput(const std::string &wanted, int format, int sourcePacking, int width, int height,
                       bool hasQuality, int quality, ImageOutput *out, std::string *error);

}  // namespace mvconvert

#endif
