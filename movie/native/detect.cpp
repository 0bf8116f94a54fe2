// Recognising a movie file by its first bytes: the native magic and version,
// or QuickTime's first atoms ("moov" first, or "mdat" followed by "moov",
// possibly after a file-type atom and padding).
#include "error.h"
#include "formats.h"
#include "native.h"
#include "mpeg/mpeg.h"
#include "stream.h"

#include "bytes.h"

#include <cstdint>
#include <cstdio>

using cinelark::native::ByteReader;

namespace {

// Reads count bytes at an offset; false when the stream cannot give them.
bool readAt(MVstream *stream, int64_t offset, uint8_t *buffer, size_t count)
{
    return __mvS_Seek(stream, offset, SEEK_SET, nullptr) == 0 && __mvS_Read(stream, buffer, count) == 0;
}

constexpr uint32_t fourcc(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint32_t(uint8_t(s[3]));
}

int detect(MVstream *stream)
{
    uint8_t head[8] = {};
    if (!readAt(stream, 0, head, 4))
        return -1;
    ByteReader magic(std::span<const uint8_t>(head, 4));
    const uint32_t word = magic.u32();
    if (__mvMP_IsSequenceStart(head))
        return MV_FORMAT_MPEG1;
    if (word == kNativeMagic || word == kNativeOldMagic) {
        if (!readAt(stream, 4, head + 4, 2))
            return -1;
        ByteReader version(std::span<const uint8_t>(head + 4, 2));
        const uint16_t shortVersion = version.u16();
        if (shortVersion == 1)
            return MV_FORMAT_NATIVE_1;
        if (shortVersion == 2)
            return MV_FORMAT_NATIVE_2;
        if (!readAt(stream, 4, head + 4, 4))
            return -1;
        ByteReader longVersion(std::span<const uint8_t>(head + 4, 4));
        return longVersion.u32() == 3 ? MV_FORMAT_NATIVE_3 : -1;
    }

    // Newer QuickTime writers put a file-type atom and padding atoms ahead
    // of the movie's own atoms; a few of those are stepped over.
    int64_t at = 0;
    for (int leading = 0; leading <= 4; ++leading) {
        if (!readAt(stream, at, head, 8))
            return -1;
        ByteReader atom(head);
        const uint32_t size = atom.u32();
        const uint32_t type = atom.u32();
        if (type == fourcc("moov"))
            return MV_FORMAT_QUICKTIME;
        if (type == fourcc("mdat")) {
            if (size < 8 || !readAt(stream, at + size, head, 8))
                return -1;
            ByteReader next(head);
            next.u32();
            return next.u32() == fourcc("moov") ? MV_FORMAT_QUICKTIME : -1;
        }
        const bool padding = type == fourcc("ftyp") || type == fourcc("wide") || type == fourcc("free") ||
                             type == fourcc("skip");
        if (!padding || size < 8)
            return -1;
        at += size;
    }
    return -1;
}

}  // namespace

int __mvDetectFormat(MVstream *stream, int *fileFormat)
{
    const int saved = mvErrno;
    int format = stream ? detect(stream) : -1;
    if (format < 0 && stream && __mvMP_FindsProgram(stream))
        format = MV_FORMAT_MPEG1;
    // Detection reads; it leaves the stream at 0 and reports nothing but
    // "not a movie", whatever the stream said.
    if (stream)
        __mvS_Seek(stream, 0, SEEK_SET, nullptr);
    if (format < 0) {
        __mvSetErrno(MV_ERR_NOT_MOVIE);
        return -1;
    }
    __mvSetErrno(saved);
    if (fileFormat)
        *fileFormat = format;
    return 0;
}
