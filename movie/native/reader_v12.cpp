// The version 1 and 2 reader.
//
// A version 1 or 2 file has one image track and at most one audio track. Its
// 592-byte header gives the image geometry, rate and compression and the
// audio settings; an index of 20-byte records follows, one per chunk of the
// file, each chunk holding the audio of one frame period followed by one
// image. Version 1 stores the audio byte count of a chunk multiplied by its
// channel count.
#include "error.h"
#include "model.h"
#include "native.h"
#include "stream.h"

#include "bytes.h"
#include "records.h"

#include <string_view>
#include <vector>

using namespace cinelark::native;

namespace {

// Compression codes of the version 1 and 2 header; codes 6 to 9 and any
// other value name no scheme.
struct CompressionCode {
    uint32_t code;
    const char *name;
};
constexpr CompressionCode kCompressionCodes[] = {
    {1, "MVC1"}, {2, "Uncompressed Video"}, {3, "RLE"}, {4, "MPEG Video"}, {5, "8RGB"}, {10, "JPEG"},
};

struct Header {
    int16_t width;
    int16_t height;
    double rate;
    bool hasAudio;
    uint32_t indexCount;
    uint32_t compression;
    int32_t loopMode;
    int32_t audioRate;
    int32_t audioBytesPerSample;
    int32_t audioChannels;
};

struct IndexRecord {
    uint32_t chunk;
    uint32_t audioBytes;
    uint32_t imageBytes;
};

Header parseHeader(ByteReader &r)
{
    Header h{};
    r.seek(6);
    h.width = r.i16();
    h.height = r.i16();
    r.seek(16);
    h.rate = r.f64();
    h.hasAudio = r.u16() == 1;
    r.seek(28);
    h.indexCount = r.u32();
    h.compression = r.u32();
    r.seek(52);
    h.loopMode = r.i32();
    h.audioRate = r.i32();
    h.audioBytesPerSample = r.i32();
    r.seek(68);
    h.audioChannels = r.i32();
    return h;
}

const char *compressionName(uint32_t code)
{
    for (const CompressionCode &c : kCompressionCodes)
        if (c.code == code)
            return c.name;
    return nullptr;
}

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

struct ParamsHolder {
    DMparams *p = nullptr;
    ParamsHolder() { dmParamsCreate(&p); }
    ~ParamsHolder() { dmParamsDestroy(p); }
    ParamsHolder(const ParamsHolder &) = delete;
    ParamsHolder &operator=(const ParamsHolder &) = delete;
};

// Adds the image track and its entries.
int addImageTrack(MVid movie, const Header &h, const std::vector<IndexRecord> &index, uint64_t fileLength)
{
    ParamsHolder params;
    if (!params.p)
        return fail(MV_ERR_NO_MEMORY);
    if (dmSetImageDefaults(params.p, h.width, h.height, DM_PACKING_RGBX) != 0)
        return fail(MV_ERR_IMAGE_SETTINGS);
    if (dmParamsSetFloat(params.p, DM_IMAGE_RATE, h.rate) != 0 ||
        dmParamsSetString(params.p, DM_IMAGE_COMPRESSION, compressionName(h.compression)) != 0)
        return fail(MV_ERR_NO_MEMORY);
    MVid track = 0;
    if (mvAddTrack(movie, DM_MEDIUM_IMAGE, params.p, nullptr, &track) != 0)
        return -1;
    for (const IndexRecord &r : index) {
        const uint64_t offset = uint64_t(r.chunk) + r.audioBytes;
        if (offset + r.imageBytes > fileLength)
            return fail(MV_ERR_NOT_MOVIE);
        if (__mvT_InitDirEntry(track, static_cast<uint32_t>(offset), r.imageBytes, nullptr) != 0)
            return -1;
    }
    return 0;
}

int addAudioTrack(MVid movie, int version, const Header &h, const std::vector<IndexRecord> &index,
                  uint64_t fileLength)
{
    ParamsHolder params;
    if (!params.p)
        return fail(MV_ERR_NO_MEMORY);
    if (h.audioBytesPerSample < 1 || h.audioBytesPerSample > 4 ||
        dmSetAudioDefaults(params.p, h.audioBytesPerSample * 8, double(h.audioRate), h.audioChannels) != 0)
        return fail(MV_ERR_AUDIO_SETTINGS);
    MVid track = 0;
    if (mvAddTrack(movie, DM_MEDIUM_AUDIO, params.p, nullptr, &track) != 0)
        return -1;
    // The track accepted the channel count, so it is 1 or 2 here.
    const uint32_t channels = static_cast<uint32_t>(h.audioChannels);
    for (const IndexRecord &r : index) {
        const uint32_t size = version == 1 ? r.audioBytes / channels : r.audioBytes;
        if (uint64_t(r.chunk) + size > fileLength)
            return fail(MV_ERR_NOT_MOVIE);
        if (__mvT_InitDirEntry(track, r.chunk, size, nullptr) != 0)
            return -1;
    }
    return 0;
}

// Reads the index records that describe chunks (the first `count` of the
// max(count, 1) stored).
int readIndex(StreamCursor &cursor, uint32_t count, std::vector<IndexRecord> &index)
{
    const uint64_t stored = count > 0 ? count : 1;
    if (stored * kV12IndexRecordSize > cursor.remaining())
        return fail(MV_ERR_NOT_MOVIE);
    index.reserve(count);
    std::vector<uint8_t> bytes;
    // A few thousand records at a time keeps the buffer small for long
    // movies.
    constexpr uint64_t kBatch = 4096;
    for (uint64_t done = 0; done < stored;) {
        const uint64_t n = std::min(kBatch, stored - done);
        if (cursor.read(bytes, static_cast<size_t>(n * kV12IndexRecordSize)) != 0)
            return -1;
        ByteReader r(bytes);
        for (uint64_t i = 0; i < n && done + i < count; ++i) {
            r.seek(static_cast<size_t>(i * kV12IndexRecordSize));
            IndexRecord record;
            record.chunk = r.u32();
            record.audioBytes = r.u32();
            record.imageBytes = r.u32();
            index.push_back(record);
        }
        done += n;
    }
    return 0;
}

int readBody(MVid movie, StreamCursor &cursor, int version, const Header &h)
{
    std::vector<IndexRecord> index;
    if (readIndex(cursor, h.indexCount, index) != 0)
        return -1;
    const uint64_t directorySize = cursor.position();
    if (addImageTrack(movie, h, index, cursor.length()) != 0)
        return -1;
    if (h.hasAudio && addAudioTrack(movie, version, h, index, cursor.length()) != 0)
        return -1;
    return __mvMV_LoadDone(movie, static_cast<uint32_t>(directorySize));
}

}  // namespace

int __mvNV_ReadV12(MVstream *stream, int version, MVid *movie)
{
    StreamCursor cursor;
    std::vector<uint8_t> headerBytes;
    if (cursor.start(stream) != 0 || cursor.read(headerBytes, kV12HeaderSize) != 0) {
        __mvS_Destroy(stream);
        return -1;
    }
    ByteReader reader(headerBytes);
    const Header h = parseHeader(reader);
    if (!reader.ok() || !compressionName(h.compression)) {
        __mvS_Destroy(stream);
        return fail(MV_ERR_NOT_MOVIE);
    }

    ParamsHolder params;
    if (!params.p || mvSetMovieDefaults(params.p, MV_FORMAT_NATIVE_2) != 0 ||
        dmParamsSetEnum(params.p, "LOOP_MODE", h.loopMode) != 0) {
        __mvS_Destroy(stream);
        return fail(MV_ERR_NO_MEMORY);
    }
    MVid id = 0;
    if (__mvMV_Create(stream, params.p, nullptr, &id) != 0)
        return -1;
    if (readBody(id, cursor, version, h) != 0) {
        const int error = mvErrno;
        MVmovie *object = __mvFindMovie(id);
        __mvUnregisterMovie(id);
        __mvMV_Destroy(object);
        __mvSetErrno(error);
        return -1;
    }
    *movie = id;
    return 0;
}
