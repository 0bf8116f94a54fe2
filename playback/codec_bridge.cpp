// The codec bridge: __mvCD_Create and its family, which compress and
// decompress the frames of compressed image tracks.
//
// Every call into the compression library runs with the bridge's silent
// error handler installed and the previous handler restored right after, so
// a failure never prints; it becomes movie error 1022, whose detail is the
// library's own message. The QuickTime coders report through their status
// values, which become 1022 with a sentence naming the compression.
#include <algorithm>
#include <bit>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include <cinelark/cl.h>
#include <cinelark/dmparams.h>

#include "codec_bridge.h"
#include "engine_hooks.h"
#include "error.h"
#include "quicktime_coders.h"

using cinelark::playback::compress8RGB;
using cinelark::playback::decompress8RGB;

namespace {

// Bytes a QuickTime frame may take beyond one frame of 32-bit pixels.
constexpr size_t kQuickTimeSlack = 1024;
// Key frames of the QuickTime coders: the first, then every fifth.
constexpr int kKeyFrameInterval = 5;

// The library's last message on this thread, kept by the silent handler.
thread_local char lastLibraryMessage[MV_ERROR_DETAIL_SIZE];

void silentHandler(CL_Handle, int code, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    if (format != nullptr)
        std::vsnprintf(lastLibraryMessage, sizeof lastLibraryMessage, format, args);
    else
        std::snprintf(lastLibraryMessage, sizeof lastLibraryMessage, "code %d", code);
    va_end(args);
    // The library's messages end with a newline; the detail is a phrase.
    size_t len = std::strlen(lastLibraryMessage);
    while (len > 0 && (lastLibraryMessage[len - 1] == '\n' || lastLibraryMessage[len - 1] == ' '))
        lastLibraryMessage[--len] = '\0';
}

// The handler is process-wide while tracks are used from more than one
// thread (the application editing one movie while the engine reads another),
// so it is installed by the first call in progress and put back by the last;
// each thread keeps its own message.
std::mutex handlerLock;
int callsInProgress = 0;
CL_ErrorHandler handlerBefore = nullptr;

class SilentErrors {
public:
    SilentErrors()
    {
        std::lock_guard<std::mutex> hold(handlerLock);
        if (callsInProgress++ == 0)
            handlerBefore = clSetErrorHandler(silentHandler);
    }
    ~SilentErrors()
    {
        std::lock_guard<std::mutex> hold(handlerLock);
        if (--callsInProgress == 0)
            clSetErrorHandler(handlerBefore);
    }
    SilentErrors(const SilentErrors &) = delete;
    SilentErrors &operator=(const SilentErrors &) = delete;
};

// Runs one compression-library call under the silent handler.
template <typename Call>
int quietly(Call call)
{
    lastLibraryMessage[0] = '\0';
    SilentErrors silent;
    return call();
}

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

int libraryFailure(int code)
{
    if (lastLibraryMessage[0] == '\0')
        std::snprintf(lastLibraryMessage, sizeof lastLibraryMessage, "error code %d", code);
    __mvSetErrorWithDetail(MV_ERR_COMPRESSION, lastLibraryMessage);
    return -1;
}

int coderFailure(const MVcodec *codec, int status)
{
    __mvSetErrno(MV_ERR_COMPRESSION);
    __mvSetErrorDetail("%s: %s", codec->name.c_str(), __mvQTStatusText(status));
    return -1;
}

// Opens one side of a library codec and gives it the track's picture.
int openLibrarySide(MVcodec *codec, bool compressor)
{
    CL_Handle *handle = compressor ? &codec->compressor : &codec->decompressor;
    int result = quietly([&] {
        return compressor ? clOpenCompressor(codec->scheme, handle)
                          : clOpenDecompressor(codec->scheme, handle);
    });
    if (result < 0) {
        *handle = nullptr;
        return libraryFailure(result);
    }
    int format = codec->packing == DM_PACKING_RGBX        ? CL_RGBX
                 : codec->packing == DM_PACKING_GRAY ? CL_GRAYSCALE
                                                          : CL_RGB;
    // The frame rate travels as a plain word, as the library's callers
    // always gave it.
    int params[] = {CL_IMAGE_WIDTH,        codec->width, CL_IMAGE_HEIGHT, codec->height,
                    CL_ORIGINAL_FORMAT,    format,       CL_BITS_PER_COMPONENT, 8,
                    CL_FRAME_RATE,         30,           CL_ORIENTATION,  1};
    // A value outside a codec's range is clamped and stored, which the
    // library reports but which leaves a working codec; only other failures
    // count.
    result = quietly([&] { return clSetParams(*handle, params, 12); });
    return result < 0 && result != CL_ERR_VALUE_CLAMPED ? libraryFailure(result) : 0;
}

void closeLibrarySides(MVcodec *codec, int *firstFailure)
{
    if (codec->compressor != nullptr) {
        int r = quietly([&] { return clCloseCompressor(codec->compressor); });
        codec->compressor = nullptr;
        if (r < 0 && *firstFailure == 0)
            *firstFailure = r;
    }
    if (codec->decompressor != nullptr) {
        int r = quietly([&] { return clCloseDecompressor(codec->decompressor); });
        codec->decompressor = nullptr;
        if (r < 0 && *firstFailure == 0)
            *firstFailure = r;
    }
}

struct CodecDeleter {
    void operator()(MVcodec *codec) const
    {
        int ignored = 0;
        closeLibrarySides(codec, &ignored);
        delete codec;
    }
};

int chooseKind(MVcodec *codec)
{
    int scheme = quietly([&] { return clQuerySchemeFromName(CL_VIDEO, codec->name.c_str()); });
    if (scheme >= 0) {
        codec->kind = MV_CODEC_LIBRARY;
        codec->scheme = scheme;
        return 0;
    }
    if (codec->name == "Apple Video") {
        codec->kind = MV_CODEC_APPLE_VIDEO;
        return __mvQTRPZADecompress && __mvQTRPZACompress ? 0 : fail(MV_ERR_QT_NO_CODECS);
    }
    if (codec->name == "Apple Animation") {
        codec->kind = MV_CODEC_APPLE_ANIMATION;
        return __mvQTRLEDecompress && __mvQTRLECompress ? 0 : fail(MV_ERR_QT_NO_CODECS);
    }
    if (codec->name == "8RGB") {
        codec->kind = MV_CODEC_8RGB;
        return 0;
    }
    return fail(MV_ERR_UNKNOWN_SCHEME);
}

// Compresses and decompresses one black frame, so that a codec whose stream
// starts with a header has written and read it before the first real frame.
int exercise(MVcodec *codec)
{
    size_t bytes = 0;
    if (__mvCD_BufferSize(codec, &bytes) != 0)
        return 0;
    std::vector<uint8_t> frame, buffer;
    try {
        frame.assign(size_t(codec->frameBytes), 0);
        buffer.assign(bytes, 0);
    } catch (const std::bad_alloc &) {
        return fail(MV_ERR_NO_MEMORY);
    }
    size_t size = 0;
    int key = 0;
    if (__mvCD_Compress(codec, &size, &key, frame.data(), buffer.size(), buffer.data()) == 0)
        __mvCD_Decompress(codec, size, buffer.data(), frame.data());
    return 0;
}

void turnOver(uint32_t *frame, int width, int height)
{
    const size_t w = size_t(width);
    for (int i = 0, j = height - 1; i < j; i++, j--)
        std::swap_ranges(frame + size_t(i) * w, frame + size_t(i + 1) * w, frame + size_t(j) * w);
}

int compressQuickTime(MVcodec *codec, size_t *compressedSize, int *isKeyFrame, uint32_t *frame,
                      size_t bufferSize, uint8_t *buffer)
{
    turnOver(frame, codec->width, codec->height);
    const size_t pixels = size_t(codec->frameBytes) / 4;
    try {
        if (codec->previousFrame.empty())
            codec->previousFrame.assign(pixels, 0);
    } catch (const std::bad_alloc &) {
        return fail(MV_ERR_NO_MEMORY);
    }
    int key = codec->keyCountdown < 1;
    int status = codec->kind == MV_CODEC_APPLE_VIDEO
                     ? __mvQTRPZACompress(codec->width, codec->height, frame,
                                          codec->previousFrame.data(), buffer, bufferSize, key,
                                          compressedSize)
                     : __mvQTRLECompress(codec->width, codec->height, frame,
                                         codec->previousFrame.data(), buffer, bufferSize, key,
                                         compressedSize);
    if (status != kQtOk)
        return coderFailure(codec, status);
    *isKeyFrame = key;
    if (codec->kind == MV_CODEC_APPLE_VIDEO)
        std::copy(frame, frame + pixels, codec->previousFrame.data());
    codec->keyCountdown = key ? kKeyFrameInterval - 1 : codec->keyCountdown - 1;
    return 0;
}

int decompressQuickTime(MVcodec *codec, size_t compressedSize, const uint8_t *data, uint32_t *frame)
{
    const size_t pixels = size_t(codec->frameBytes) / 4;
    try {
        if (codec->decoded.empty())
            codec->decoded.assign(pixels, 0);
    } catch (const std::bad_alloc &) {
        return fail(MV_ERR_NO_MEMORY);
    }
    int status;
    if (codec->kind == MV_CODEC_APPLE_VIDEO) {
        // Whole blocks only: rows a picture has beyond them stay at the
        // bottom of the frame, untouched.
        uint32_t *top = codec->decoded.data() + size_t(codec->height % 4) * size_t(codec->width);
        status = __mvQTRPZADecompress(top, data, compressedSize, codec->width / 4,
                                      codec->height / 4, codec->width);
    } else {
        status = __mvQTRLEDecompress(codec->decoded.data(), data, compressedSize, codec->width,
                                     codec->height, codec->depth);
    }
    std::copy(codec->decoded.begin(), codec->decoded.end(), frame);
    return status == kQtOk ? 0 : coderFailure(codec, status);
}

}  // namespace

int __mvCD_Create(const char *name, int width, int height, int depth, int packing,
                  MVcodec **codec)
{
    if (codec == nullptr)
        return fail(MV_ERR_INTERNAL);
    *codec = nullptr;
    if (name == nullptr)
        return fail(MV_ERR_UNKNOWN_SCHEME);
    if (width <= 0 || height <= 0 || int64_t(width) * height > INT_MAX / 4)
        return fail(MV_ERR_IMAGE_SETTINGS);
    std::unique_ptr<MVcodec, CodecDeleter> made;
    try {
        made.reset(new MVcodec);
        made->name = name;
    } catch (const std::bad_alloc &) {
        return fail(MV_ERR_NO_MEMORY);
    }
    MVcodec *c = made.get();
    c->width = width;
    c->height = height;
    c->frameBytes = width * height * 4;
    c->depth = depth;
    c->packing = packing;
    if (chooseKind(c) != 0)
        return -1;
    if (c->kind == MV_CODEC_LIBRARY &&
        (openLibrarySide(c, false) != 0 || openLibrarySide(c, true) != 0))
        return -1;
    if (c->kind != MV_CODEC_APPLE_ANIMATION && exercise(c) != 0)
        return -1;
    c->keyCountdown = 0;
    *codec = made.release();
    return 0;
}

int __mvCD_Destroy(MVcodec *codec)
{
    if (codec == nullptr)
        return 0;
    int failure = 0;
    closeLibrarySides(codec, &failure);
    delete codec;
    return failure < 0 ? libraryFailure(failure) : 0;
}

int __mvCD_SetSpeed(MVcodec *codec, double speed)
{
    if (codec == nullptr)
        return fail(MV_ERR_INTERNAL);
    if (codec->kind != MV_CODEC_LIBRARY)
        return 0;
    int params[2] = {CL_SPEED, std::bit_cast<int>(float(speed))};
    int result = quietly([&] { return clSetParams(codec->decompressor, params, 2); });
    return result < 0 && result != CL_ERR_VALUE_CLAMPED ? libraryFailure(result) : 0;
}

int __mvCD_Delivered(MVcodec *codec)
{
    if (codec == nullptr || codec->kind != MV_CODEC_LIBRARY)
        return 1;
    int params[2] = {CL_FRAME_TYPE, 0};
    int result = quietly([&] { return clGetParams(codec->decompressor, params, 2); });
    return result < 0 || params[1] != 0;
}

int __mvCD_BufferSize(MVcodec *codec, size_t *bytes)
{
    if (codec == nullptr || bytes == nullptr)
        return fail(MV_ERR_INTERNAL);
    switch (codec->kind) {
    case MV_CODEC_LIBRARY: {
        int params[] = {CL_COMPRESSED_BUFFER_SIZE, 0};
        int result = quietly([&] { return clGetParams(codec->compressor, params, 2); });
        if (result < 0)
            return libraryFailure(result);
        // A codec that cannot say gets room for a frame and some.
        *bytes = params[1] > 0 ? size_t(params[1]) : size_t(codec->frameBytes) + kQuickTimeSlack;
        return 0;
    }
    case MV_CODEC_8RGB:
        *bytes = size_t(codec->frameBytes) / 4;
        return 0;
    default:
        *bytes = size_t(codec->frameBytes) + kQuickTimeSlack;
        return 0;
    }
}

int __mvCD_Compress(MVcodec *codec, size_t *compressedSize, int *isKeyFrame, void *frame,
                    size_t bufferSize, void *buffer)
{
    if (codec == nullptr || compressedSize == nullptr || isKeyFrame == nullptr ||
        frame == nullptr || buffer == nullptr)
        return fail(MV_ERR_INTERNAL);
    *compressedSize = 0;
    *isKeyFrame = 0;
    switch (codec->kind) {
    case MV_CODEC_LIBRARY: {
        int params[] = {CL_COMPRESSED_BUFFER_SIZE, int(std::min<size_t>(bufferSize, INT_MAX))};
        int size = 0;
        int result = quietly([&] {
            int r = clSetParams(codec->compressor, params, 2);
            if (r < 0 && r != CL_ERR_VALUE_CLAMPED)
                return r;
            return clCompress(codec->compressor, 1, frame, &size, buffer);
        });
        if (result < 0)
            return libraryFailure(result);
        *compressedSize = size_t(std::max(size, 0));
        return 0;
    }
    case MV_CODEC_APPLE_VIDEO:
    case MV_CODEC_APPLE_ANIMATION:
        return compressQuickTime(codec, compressedSize, isKeyFrame, static_cast<uint32_t *>(frame),
                                 bufferSize, static_cast<uint8_t *>(buffer));
    case MV_CODEC_8RGB: {
        size_t pixels = size_t(codec->frameBytes) / 4;
        if (bufferSize < pixels)
            return coderFailure(codec, kQtBufferTooSmall);
        compress8RGB(static_cast<const uint32_t *>(frame), pixels, static_cast<uint8_t *>(buffer));
        *compressedSize = pixels;
        return 0;
    }
    default:
        return 0;
    }
}

int __mvCD_UseFullRange(MVcodec *codec)
{
    if (codec == nullptr)
        return fail(MV_ERR_INTERNAL);
    if (codec->kind != MV_CODEC_LIBRARY || codec->scheme != CL_JPEG)
        return 0;
    if (JPEGFullRange(codec->compressor, 1) != 0 || JPEGFullRange(codec->decompressor, 1) != 0)
        return fail(MV_ERR_INTERNAL);
    return 0;
}

int __mvCD_Decompress(MVcodec *codec, size_t compressedSize, const void *data, void *frame)
{
    if (codec == nullptr || frame == nullptr || (data == nullptr && compressedSize > 0))
        return fail(MV_ERR_INTERNAL);
    switch (codec->kind) {
    case MV_CODEC_LIBRARY: {
        if (compressedSize > size_t(INT_MAX))
            return coderFailure(codec, kQtOverrun);
        int result = quietly([&] {
            return clDecompress(codec->decompressor, 1, int(compressedSize),
                                const_cast<void *>(data), frame);
        });
        return result < 0 ? libraryFailure(result) : 0;
    }
    case MV_CODEC_APPLE_VIDEO:
    case MV_CODEC_APPLE_ANIMATION:
        return decompressQuickTime(codec, compressedSize, static_cast<const uint8_t *>(data),
                                   static_cast<uint32_t *>(frame));
    case MV_CODEC_8RGB: {
        __mvInit8Bit();
        size_t pixels = size_t(codec->frameBytes) / 4;
        size_t have = std::min(pixels, compressedSize);
        auto *out = static_cast<uint32_t *>(frame);
        decompress8RGB(static_cast<const uint8_t *>(data), have, out);
        // A short frame shows black where its bytes are missing.
        std::fill(out + have, out + pixels, 0u);
        return have == pixels ? 0 : coderFailure(codec, kQtShortData);
    }
    default:
        return 0;
    }
}
