#include "schemes.h"

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include <strings.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace mvconvert {

namespace {

// The tool runs on one thread; the handler has no place for a context, so
// the message it keeps lives here.
std::string lastMessage;

void keepMessage(CL_Handle, int, const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    lastMessage = text;
    while (!lastMessage.empty() && lastMessage.back() == '\n')
        lastMessage.pop_back();
}

// Names the movie library codes itself, besides the compression library's.
constexpr const char *kLibraryNames[] = {DM_IMAGE_UNCOMPRESSED, "Apple Video", "Apple Animation", "8RGB"};

// The compression library's video scheme names, in registry order.
std::vector<std::string> registryNames()
{
    std::vector<std::string> names;
    const int words = clQueryAlgorithms(CL_VIDEO, nullptr, 0);
    if (words <= 0)
        return names;
    std::vector<intptr_t> buffer(static_cast<size_t>(words));
    clQueryAlgorithms(CL_VIDEO, buffer.data(), words);
    for (int k = 0; k < words; k += 2)
        if (const char *name = reinterpret_cast<const char *>(buffer[size_t(k)]))
            names.emplace_back(name);
    return names;
}

// A parameter identifier from its position in the algorithm's table: the
// first twenty are the common ones, the rest algorithm-specific.
int paramId(int position) { return position < 20 ? position : int(0x80000000u | unsigned(position - 20)); }

bool isFloatType(int type) { return type == CL_FLOATING_ENUM_VALUE || type == CL_FLOATING_RANGE_VALUE; }

int floatBits(double value)
{
    const float f = float(value);
    int bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

double valueOf(int word, int type)
{
    if (!isFloatType(type))
        return word;
    float f;
    std::memcpy(&f, &word, 4);
    return f;
}

std::string numberText(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// True when the format can carry image frames of that compression; the
// library's own check of names follows when the track is made.
bool formatCarries(int format, const std::string &compression)
{
    // QuickTime files describe these four codings only.
    static const char *const kQuickTime[] = {DM_IMAGE_UNCOMPRESSED, "JPEG", "Apple Video",
                                             "Apple Animation"};
    if (format != MV_FORMAT_QUICKTIME)
        return true;
    for (const char *name : kQuickTime)
        if (compression == name)
            return true;
    return false;
}

// The packing an output image track should use: QuickTime stores raw frames
// as 32-bit words with blue low (or 5-5-5), compressed frames go through
// the codecs as 32-bit words with red low, and a native uncompressed track
// keeps the packing it was given.
int outputPacking(int format, const std::string &compression, int sourcePacking)
{
    if (compression != DM_IMAGE_UNCOMPRESSED)
        return DM_PACKING_RGBX;
    if (format == MV_FORMAT_QUICKTIME)
        return sourcePacking == DM_PACKING_RGB555 ? DM_PACKING_RGB555 : DM_PACKING_XBGR;
    return sourcePacking;
}

struct QualityParam {
    int id = 0;
    int type = 0;
    std::string name;
    double low = 0, high = 0;
};

// Finds the first parameter of the handle's algorithm whose name starts
// with "Quality", and its range; false when there is none.
bool findQuality(CL_Handle handle, QualityParam *q)
{
    const int words = clQueryParams(handle, nullptr, 0);
    std::vector<intptr_t> table(size_t(std::max(words, 0)));
    clQueryParams(handle, table.data(), words);
    for (int k = 0; k + 1 < words && q->name.empty(); k += 2) {
        const char *n = reinterpret_cast<const char *>(table[size_t(k)]);
        if (n != nullptr && strncasecmp(n, "Quality", 7) == 0) {
            q->id = paramId(k / 2);
            q->type = int(table[size_t(k) + 1]);
            q->name = n;
        }
    }
    if (q->name.empty())
        return false;
    // The range is not published; a value far below and one far above are
    // clamped to its ends, which are then read back.
    const bool isFloat = isFloatType(q->type);
    int probe[2] = {q->id, isFloat ? floatBits(-FLT_MAX) : INT_MIN};
    clSetParams(handle, probe, 2);
    q->low = valueOf(clGetParam(handle, q->id), q->type);
    probe[1] = isFloat ? floatBits(FLT_MAX) : INT_MAX;
    clSetParams(handle, probe, 2);
    q->high = valueOf(clGetParam(handle, q->id), q->type);
    return true;
}

}  // namespace

ClMessages::ClMessages() : previous_(clSetErrorHandler(keepMessage)) { lastMessage.clear(); }

ClMessages::~ClMessages() { clSetErrorHandler(previous_); }

const std::string &ClMessages::last() { return lastMessage; }

bool resolveScheme(const std::string &name, std::string *canonical, std::string *error)
{
    ClMessages quiet;
    std::vector<std::string> known(std::begin(kLibraryNames), std::end(kLibraryNames));
    for (const std::string &n : registryNames())
        if (std::find(known.begin(), known.end(), n) == known.end())
            known.push_back(n);
    for (const std::string &n : known)
        if (strcasecmp(n.c_str(), name.c_str()) == 0) {
            *canonical = n;
            return true;
        }
    std::string list;
    for (const std::string &n : known)
        list += (list.empty() ? "" : ", ") + ("\"" + n + "\"");
    *error = "unknown compression scheme \"" + name + "\" (known: " + list + ")";
    return false;
}

bool chooseImageOutput(const std::string &wanted, int format, int sourcePacking, int width, int height,
                       bool hasQuality, int quality, ImageOutput *out, std::string *error)
{
    if (!resolveScheme(wanted, &out->compression, error))
        return false;
    if (!formatCarries(format, out->compression)) {
        *error = "a QuickTime file cannot carry \"" + out->compression + "\" frames";
        return false;
    }
    out->packing = outputPacking(format, out->compression, sourcePacking);
    out->hasQuality = hasQuality;
    return !hasQuality || out->coder.open(out->compression, width, height, quality, error);
}

QualityCoder::~QualityCoder()
{
    if (handle_ != nullptr) {
        ClMessages quiet;
        clCloseCompressor(handle_);
    }
}

bool QualityCoder::open(const std::string &scheme, int width, int height, int quality, std::string *error)
{
    ClMessages quiet;
    const std::string named = "the \"" + scheme + "\" scheme";
    const std::string noSetting = "--quality cannot be used: " + named + " has no quality setting";
    // The QuickTime coders and "8RGB" are not the compression library's and
    // have no settings: they code the one way they know.
    const int id = clQuerySchemeFromName(CL_VIDEO, scheme.c_str());
    const auto openHandle = [&] {
        if (clOpenCompressor(id, &handle_) == 0)
            return true;
        handle_ = nullptr;
        *error = "cannot open a compressor for " + named + ": " + ClMessages::last();
        return false;
    };
    QualityParam q;
    if (id < 0) {
        *error = noSetting;
        return false;
    }
    if (!openHandle())
        return false;
    if (!findQuality(handle_, &q)) {
        *error = noSetting;
        return false;
    }
    if (quality < q.low || quality > q.high) {
        *error = "--quality " + std::to_string(quality) + " is outside the range of " + named + "'s \"" + q.name +
                 "\", " + numberText(q.low) + " to " + numberText(q.high);
        return false;
    }
    // The codec has seen the probing values; the compressor that does the
    // work starts afresh.
    clCloseCompressor(handle_);
    if (!openHandle())
        return false;
    // The parameters the movie library gives its own compressors (frames of
    // 32-bit words, bottom row first), then the quality.
    const bool isFloat = isFloatType(q.type);
    int settings[] = {CL_IMAGE_WIDTH,        width, CL_IMAGE_HEIGHT, height, CL_ORIGINAL_FORMAT, CL_RGBX,
                      CL_BITS_PER_COMPONENT, 8,     CL_ORIENTATION,  1,      q.id,
                      isFloat ? floatBits(quality) : quality};
    if (clSetParams(handle_, settings, int(std::size(settings))) != 0) {
        *error = "cannot set up " + named + ": " + ClMessages::last();
        return false;
    }
    // A codec that cannot say how large a frame may grow gets room for one
    // and a half raw frames.
    const int announced = clGetParam(handle_, CL_COMPRESSED_BUFFER_SIZE);
    const size_t raw = size_t(width) * size_t(height) * 4;
    buffer_.resize(announced > 0 ? size_t(announced) : raw + raw / 2 + 1024);
    return true;
}

bool QualityCoder::compress(std::span<uint8_t> frame, std::span<const uint8_t> *out, std::string *error)
{
    ClMessages quiet;
    if (buffer_.size() > size_t(INT_MAX) ||
        clSetParam(handle_, CL_COMPRESSED_BUFFER_SIZE, int(buffer_.size())) < 0) {
        *error = "cannot compress: " + ClMessages::last();
        return false;
    }
    int size = 0;
    if (clCompress(handle_, 1, frame.data(), &size, buffer_.data()) != 0) {
        *error = "cannot compress: " + ClMessages::last();
        return false;
    }
    if (size <= 0 || size_t(size) > buffer_.size()) {
        *error = "the compressor returned " + std::to_string(size) + " bytes";
        return false;
    }
    *out = std::span<const uint8_t>(buffer_.data(), size_t(size));
    return true;
}

}  // namespace mvconvert
