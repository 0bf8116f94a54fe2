// The QuickTime writer.
//
// File layout afterwards: an "mdat" header at offset 0 whose size L covers
// all frame data as the file-space manager placed it (L is the manager's
// file length rounded up to a multiple of 4), then the "moov" atom at L,
// then, when an older and longer "moov" lay there, a "free" atom over its
// remains. Later edits allocate frame space from the end of the frame data
// onward, over the old "moov"; the next write puts a new one after them.
//
// Each directory entry becomes one chunk, so the chunk tables mirror the
// directory and the samples never move.
#include "quicktime.h"

#include "atom_reader.h"
#include "atom_writer.h"

#include "directory.h"
#include "error.h"
#include "filespace.h"
#include "frames.h"
#include "model.h"
#include "stream.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <new>
#include <string>

namespace cinelark::quicktime {
namespace {

// Seconds from 1904-01-01, the format's epoch, to 1970-01-01.
constexpr uint32_t kEpochOffset = 2082844800u;

struct LibraryFailure {};

void call(int result)
{
    if (result != 0)
        throw LibraryFailure{};
}

struct ImageDescription {
    const char *compression;
    const char *type;
    const char *compressor;
    int depth;  // 0: "MV_IMAGE_CSIZE", 32 when that is 0
};

// The QuickTime description of each coding the writer can store.
constexpr ImageDescription kImageDescriptions[] = {
    {"Apple Video", "rpza", "Video", 16},
    {"Apple Animation", "rle ", "Animation", 0},
    {"JPEG", "jpeg", "Orvo Systems JPEG", 24},
    {"Uncompressed Video", "raw ", "None", 32},
};

struct WriteState {
    AtomWriter out;
    uint32_t now = 0;
    uint32_t movieTimeScale = 0;
    uint32_t nextTrackId = 0;
};

template <typename Body>
void atom(WriteState &w, const char *type, Body body)
{
    if (!w.out.open(type))
        throw QtFault{MV_ERR_INTERNAL, ""};
    body();
    w.out.close();
}

void identityMatrix(AtomWriter &out)
{
    for (uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u})
        out.u32(v);
}

uint32_t roundedRate(double rate)
{
    if (!(rate > 0) || rate > double(UINT32_MAX))
        throw QtFault{MV_ERR_INTERNAL, ""};
    return uint32_t(std::lround(rate));
}

struct TrackFacts {
    MVid id;
    bool image;
    double rate;
    uint32_t length;
    MVdirectory *directory;
};

void handler(WriteState &w, const char *type, const char *subtype, uint32_t mask, const char *name)
{
    atom(w, "hdlr", [&] {
        w.out.u32(0);
        w.out.code(type);
        w.out.code(subtype);
        w.out.code("appl");
        w.out.u32(0x40000000);
        w.out.u32(mask);
        w.out.pascal(name);
    });
}

void imageDescription(WriteState &w, const TrackFacts &t)
{
    const char *compression = mvGetImageCompression(t.id);
    const ImageDescription *d = nullptr;
    for (const ImageDescription &candidate : kImageDescriptions)
        if (compression && std::string(compression) == candidate.compression)
            d = &candidate;
    if (!d)
        throw QtFault{MV_ERR_INTERNAL, ""};
    int depth = d->depth;
    if (std::string(d->compression) == "Uncompressed Video") {
        // Raw pictures are stored as the track holds them, so only the two
        // packings that are QuickTime's own raw layouts can be described:
        // 32-bit words with blue in the low byte (bytes X, R, G, B) and
        // 16-bit 5-5-5. Any other would be read back with its colours or
        // its size wrong.
        const int packing = mvGetImagePacking(t.id);
        if (packing == DM_PACKING_RGB555)
            depth = 16;
        else if (packing != DM_PACKING_XBGR)
            throw QtFault{MV_ERR_INTERNAL, ""};
    }
    if (depth == 0) {
        depth = dmParamsGetInt(mvGetParams(t.id), MV_IMAGE_CSIZE);
        if (depth == 0)
            depth = 32;
    }
    atom(w, d->type, [&] {
        w.out.zeros(6);
        w.out.u16(1);  // data reference index
        w.out.u16(1);  // version
        w.out.u16(1);  // revision level
        w.out.code("appl");
        w.out.u32(512);  // temporal quality
        w.out.u32(512);  // spatial quality
        w.out.u16(uint16_t(mvGetImageWidth(t.id)));
        w.out.u16(uint16_t(mvGetImageHeight(t.id)));
        w.out.u32(0x00480000);  // 72 dpi
        w.out.u32(0x00480000);
        w.out.u32(0);  // data size
        w.out.u16(1);  // frames per sample
        w.out.fixedPascal(d->compressor, 32);
        w.out.u16(uint16_t(depth));
        w.out.u16(65535);  // no colour table
    });
}

void soundDescription(WriteState &w, const TrackFacts &t)
{
    const int format = mvGetAudioFormat(t.id);
    const char *type = format == AUDIO_FORMAT_TWOS       ? "twos"
                       : format == AUDIO_FORMAT_UNSIGNED ? "raw "
                                                         : nullptr;
    if (!type)
        throw QtFault{MV_ERR_INTERNAL, ""};
    atom(w, type, [&] {
        w.out.zeros(6);
        w.out.u16(0);  // data reference index
        w.out.u16(0);  // version
        w.out.u16(0);  // revision level
        w.out.code("appl");
        w.out.u16(uint16_t(mvGetAudioChannels(t.id)));
        w.out.u16(uint16_t(mvGetAudioWidth(t.id)));
        w.out.u16(0);  // compression id
        w.out.u16(0);  // packet size
        w.out.u32(roundedRate(t.rate) << 16);
    });
}

void sampleTable(WriteState &w, const TrackFacts &t)
{
    const int entries = __mvDL_DirCount(t.directory);
    atom(w, "stsd", [&] {
        w.out.u32(0);
        w.out.u32(1);
        if (t.image)
            imageDescription(w, t);
        else
            soundDescription(w, t);
    });
    atom(w, "stts", [&] {
        w.out.u32(0);
        w.out.u32(1);
        w.out.u32(t.length);
        w.out.u32(1);
    });
    if (t.image) {
        atom(w, "stss", [&] {
            w.out.u32(0);
            const size_t countAt = w.out.bytes().size();
            w.out.u32(0);
            uint32_t keys = 0;
            for (uint32_t frame = 0; frame < t.length; ++frame) {
                if (__mvT_IsKeyFrame(t.id, int(frame)) == 1) {
                    w.out.u32(frame + 1);
                    ++keys;
                }
            }
            AtomWriter count;
            count.u32(keys);
            w.out.patch(countAt, count.bytes());
        });
    }
    atom(w, "stsc", [&] {
        w.out.u32(0);
        w.out.u32(uint32_t(entries));
        for (int k = 0; k < entries; ++k) {
            int frames = 0;
            call(__mvDL_DirEntry(t.directory, k, nullptr, nullptr, &frames, nullptr));
            w.out.u32(uint32_t(k + 1));
            w.out.u32(uint32_t(frames));
            w.out.u32(1);
        }
    });
    atom(w, "stsz", [&] {
        w.out.u32(0);
        if (t.image) {
            w.out.u32(0);
            w.out.u32(t.length);
            for (int k = 0; k < entries; ++k) {
                uint32_t size = 0;
                call(__mvDL_DirEntry(t.directory, k, nullptr, &size, nullptr, nullptr));
                w.out.u32(size);
            }
        } else {
            w.out.u32(uint32_t(dmAudioFrameSize(mvGetParams(t.id))));
            w.out.u32(t.length);
        }
    });
    atom(w, "stco", [&] {
        w.out.u32(0);
        w.out.u32(uint32_t(entries));
        for (int k = 0; k < entries; ++k) {
            uint32_t offset = 0;
            call(__mvDL_DirEntry(t.directory, k, &offset, nullptr, nullptr, nullptr));
            w.out.u32(offset);
        }
    });
}

void mediaInformation(WriteState &w, const TrackFacts &t)
{
    if (t.image) {
        atom(w, "vmhd", [&] {
            w.out.u32(1);  // version 0, flags 1
            w.out.u16(64);  // graphics mode: dither copy
            w.out.u16(32768);
            w.out.u16(32768);
            w.out.u16(32768);
        });
    } else {
        atom(w, "smhd", [&] {
            w.out.u32(0);
            w.out.u16(0);  // balance
            w.out.u16(0);
        });
    }
    handler(w, "dhlr", "alis", 0x00010016, "Apple Alias Data Handler");
    atom(w, "dinf", [&] {
        atom(w, "dref", [&] {
            w.out.u8(0);
            w.out.u24(0);
            w.out.u32(1);
            // Flags 1: the data is in this file.
            atom(w, "alis", [&] { w.out.u32(1); });
        });
    });
    atom(w, "stbl", [&] { sampleTable(w, t); });
}

void track(WriteState &w, const TrackFacts &t)
{
    atom(w, "trak", [&] {
        atom(w, "tkhd", [&] {
            w.out.u32(15);  // version 0; enabled, in movie, preview, poster
            w.out.u32(w.now);
            w.out.u32(w.now);
            w.out.u32(w.nextTrackId++);
            w.out.u32(0);
            w.out.u32(uint32_t(std::floor(double(t.length) * w.movieTimeScale / t.rate)));
            w.out.u32(0);
            w.out.u32(0);
            w.out.u16(0);  // layer
            w.out.u16(0);  // alternate group
            w.out.u16(255);  // volume
            w.out.u16(0);
            identityMatrix(w.out);
            w.out.u32(t.image ? uint32_t(mvGetImageWidth(t.id)) << 16 : 0);
            w.out.u32(t.image ? uint32_t(mvGetImageHeight(t.id)) << 16 : 0);
        });
        atom(w, "mdia", [&] {
            atom(w, "mdhd", [&] {
                w.out.u32(0);
                w.out.u32(w.now);
                w.out.u32(w.now);
                w.out.u32(roundedRate(t.rate));
                w.out.u32(t.length);
                w.out.u16(0);  // language
                w.out.u16(60);  // quality
            });
            if (t.image)
                handler(w, "mhlr", "vide", 0x00010011, "Apple Video Media Handler");
            else
                handler(w, "mhlr", "soun", 0x00010020, "Apple Sound Media Handler");
            atom(w, "minf", [&] { mediaInformation(w, t); });
        });
    });
}

TrackFacts factsOf(MVid movie, int medium)
{
    TrackFacts t{};
    if (mvFindTrackByMedium(movie, medium, &t.id) != 0)
        return TrackFacts{};
    t.image = medium == DM_MEDIUM_IMAGE;
    t.rate = t.image ? mvGetImageRate(t.id) : mvGetAudioRate(t.id);
    t.length = uint32_t(mvGetTrackLength(t.id));
    t.directory = __mvT_DirList(t.id);
    if (!t.directory)
        throw LibraryFailure{};
    if (!(t.rate > 0))
        throw QtFault{MV_ERR_INTERNAL, ""};
    return t;
}

void renderMovieAtom(MVid movie, WriteState &w)
{
    const TrackFacts image = factsOf(movie, DM_MEDIUM_IMAGE);
    if (image.id == 0)
        throw QtFault{MV_ERR_QT_NO_IMAGE, ""};
    const TrackFacts audio = factsOf(movie, DM_MEDIUM_AUDIO);
    w.movieTimeScale = roundedRate(image.rate);
    atom(w, "moov", [&] {
        atom(w, "mvhd", [&] {
            w.out.u32(0);
            w.out.u32(w.now);
            w.out.u32(w.now);
            w.out.u32(w.movieTimeScale);
            w.out.u32(image.length);
            w.out.u32(0x00010000);  // preferred rate 1.0
            w.out.u16(255);  // preferred volume
            w.out.u16(0);
            w.out.u32(0);
            w.out.u32(0);
            identityMatrix(w.out);
            w.out.zeros(6 * 4);
            w.out.u32(audio.id ? 2 : 1);  // next track id
        });
        track(w, image);
        if (audio.id)
            track(w, audio);
    });
}

void writeAt(MVstream *stream, int64_t at, const void *bytes, size_t count)
{
    if (__mvS_Seek(stream, at, SEEK_SET, nullptr) != 0 || __mvS_Write(stream, bytes, count) != 0)
        throw LibraryFailure{};
}

void writeMovie(MVid id)
{
    MVmovie *movie = __mvFindMovie(id);
    if (!movie)
        throw LibraryFailure{};
    const uint32_t now = uint32_t(uint64_t(std::time(nullptr)) + kEpochOffset);
    // A first rendering checks that the format can describe the movie before
    // the file is touched. Making room for the "mdat" header may move frame
    // data, so the "moov" that is written is rendered after it.
    WriteState trial;
    trial.now = now;
    renderMovieAtom(id, trial);
    call(__mvFM_EnsureDirSpace(movie->fileSpace, 8));
    WriteState w;
    w.now = now;
    renderMovieAtom(id, w);

    const uint64_t dataEnd = (__mvFM_FileLength(movie->fileSpace) + 3) & ~uint64_t(3);
    const std::vector<uint8_t> &moov = w.out.bytes();
    if (dataEnd + moov.size() + 8 > UINT32_MAX)
        throw QtFault{MV_ERR_NO_MEMORY, ""};
    int64_t oldLength = 0;
    call(__mvS_Length(movie->stream, &oldLength));

    AtomWriter header;
    header.u32(uint32_t(dataEnd));
    header.code("mdat");
    writeAt(movie->stream, 0, header.bytes().data(), header.bytes().size());
    writeAt(movie->stream, int64_t(dataEnd), moov.data(), moov.size());

    // What lies after the new "moov" (an older, longer one) becomes a free
    // atom, so that the file still reads as atoms up to its end. A gap too
    // short for an atom header grows to one.
    const uint64_t moovEnd = dataEnd + moov.size();
    if (uint64_t(oldLength) > moovEnd) {
        const uint64_t rest = uint64_t(oldLength) - moovEnd;
        AtomWriter free;
        free.u32(uint32_t(rest < 8 ? 8 : rest));
        free.code("free");
        writeAt(movie->stream, int64_t(moovEnd), free.bytes().data(), free.bytes().size());
    }
    __mvMV_SetDirectorySize(id, 8);
}

}  // namespace
}  // namespace cinelark::quicktime

using namespace cinelark::quicktime;

int __mvQT_Write(MVid movie)
{
    try {
        writeMovie(movie);
        return 0;
    } catch (const QtFault &fault) {
        __mvSetErrorWithDetail(fault.error, fault.detail);
    } catch (const LibraryFailure &) {
    } catch (const std::bad_alloc &) {
        __mvSetErrorWithDetail(MV_ERR_NO_MEMORY, "");
    } catch (...) {
        __mvSetErrorWithDetail(MV_ERR_INTERNAL, "");
    }
    return -1;
}
