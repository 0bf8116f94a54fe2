// The version 3 reader.
//
// File order: the 24-byte movie header and the movie's records; an audio
// track header and its records, then an image track header and its records,
// for the tracks the movie records announce; the audio directory, then the
// image directory, each entry 16 bytes followed by its own records. Frame
// data lies anywhere after this directory area.
#include "error.h"
#include "model.h"
#include "native.h"
#include "stream.h"

#include "bytes.h"
#include "param_tables.h"
#include "records.h"

#include <cstdio>
#include <vector>

using namespace cinelark::native;

namespace {

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

class Params {
public:
    Params() { dmParamsCreate(&p_); }
    ~Params() { dmParamsDestroy(p_); }
    Params(const Params &) = delete;
    Params &operator=(const Params &) = delete;
    DMparams *get() const { return p_; }
    DMparams *release()
    {
        DMparams *p = p_;
        p_ = nullptr;
        return p;
    }

private:
    DMparams *p_ = nullptr;
};

// Takes a working name out of a list: its value, or 0 when absent.
int takeCount(DMparams *list, const char *name)
{
    const int value = dmParamsGetInt(list, name);
    dmParamsRemove(list, name);
    return value;
}

int setIntDefault(DMparams *list, const char *name, int value, bool isEnum)
{
    if (dmParamsIsPresent(list, name))
        return 0;
    return isEnum ? dmParamsSetEnum(list, name, value) : dmParamsSetInt(list, name, value);
}

// Reads a 12-byte track header and the records after it.
int readTrackParams(StreamCursor &cursor, std::span<const ParamRow> table, DMparams *list)
{
    uint8_t head[kV3TrackHeaderSize];
    if (cursor.read(head, sizeof head) != 0)
        return -1;
    ByteReader r(head);
    r.u32();
    const uint32_t count = r.u32();
    return readRecords(cursor, count, table, list);
}

struct TrackToRead {
    int medium;
    std::span<const ParamRow> table;
    MVid id = 0;
    int entries = 0;
};

int addTrack(MVid movie, StreamCursor &cursor, TrackToRead &t)
{
    Params list;
    if (!list.get())
        return fail(MV_ERR_NO_MEMORY);
    if (readTrackParams(cursor, t.table, list.get()) != 0)
        return -1;
    int defaults = 0;
    if (t.medium == DM_MEDIUM_AUDIO) {
        defaults |= setIntDefault(list.get(), DM_AUDIO_FORMAT, AUDIO_FORMAT_TWOS, true);
        if (!dmParamsIsPresent(list.get(), DM_AUDIO_COMPRESSION))
            defaults |= dmParamsSetString(list.get(), DM_AUDIO_COMPRESSION, DM_AUDIO_UNCOMPRESSED);
    } else {
        defaults |= setIntDefault(list.get(), DM_IMAGE_INTERLACING, DM_IMAGE_NONINTERLACED, true);
        defaults |= setIntDefault(list.get(), DM_IMAGE_PACKING, DM_PACKING_RGBX, true);
        defaults |= setIntDefault(list.get(), DM_IMAGE_ORIENTATION, DM_ORIENTATION_BOTTOM_TO_TOP, true);
    }
    if (defaults != 0)
        return fail(MV_ERR_NO_MEMORY);
    t.entries = takeCount(list.get(), kDirCount);
    if (t.entries < 0)
        return fail(MV_ERR_NOT_MOVIE);
    return mvAddTrack(movie, t.medium, list.get(), nullptr, &t.id);
}

// Reads one track's directory; every entry must name bytes inside the file.
int readDirectory(StreamCursor &cursor, const TrackToRead &t)
{
    if (uint64_t(t.entries) * kV3EntrySize > cursor.remaining())
        return fail(MV_ERR_NOT_MOVIE);
    for (int i = 0; i < t.entries; ++i) {
        uint8_t head[kV3EntrySize];
        if (cursor.read(head, sizeof head) != 0)
            return -1;
        ByteReader r(head);
        const uint32_t offset = r.u32();
        const uint32_t size = r.u32();
        const uint32_t records = r.u32();
        if (uint64_t(offset) + size > cursor.length())
            return fail(MV_ERR_NOT_MOVIE);
        Params frame;
        if (!frame.get())
            return fail(MV_ERR_NO_MEMORY);
        if (readRecords(cursor, records, t.table, frame.get()) != 0)
            return -1;
        if (__mvT_InitDirEntry(t.id, offset, size, frame.release()) != 0)
            return -1;
    }
    return 0;
}

int readTracks(MVid movie, StreamCursor &cursor, int audioTracks, int imageTracks)
{
    TrackToRead audio{DM_MEDIUM_AUDIO, audioTable()};
    TrackToRead image{DM_MEDIUM_IMAGE, imageTable()};
    if (audioTracks && addTrack(movie, cursor, audio) != 0)
        return -1;
    if (imageTracks && addTrack(movie, cursor, image) != 0)
        return -1;
    if (audioTracks && readDirectory(cursor, audio) != 0)
        return -1;
    if (imageTracks && readDirectory(cursor, image) != 0)
        return -1;
    if (cursor.position() > UINT32_MAX)
        return fail(MV_ERR_NOT_MOVIE);
    return __mvMV_LoadDone(movie, static_cast<uint32_t>(cursor.position()));
}

}  // namespace

int __mvNV_ReadV3(MVstream *stream, MVid *movie)
{
    StreamCursor cursor;
    Params list;
    uint8_t head[kV3HeaderSize];
    int audioTracks = 0, imageTracks = 0;
    const int ok = [&] {
        if (!list.get())
            return fail(MV_ERR_NO_MEMORY);
        if (cursor.start(stream) != 0 || cursor.read(head, sizeof head) != 0)
            return -1;
        ByteReader r(head);
        r.skip(16);
        if (readRecords(cursor, r.u32(), movieTable(), list.get()) != 0)
            return -1;
        audioTracks = takeCount(list.get(), kNumAudioTracks);
        imageTracks = takeCount(list.get(), kNumImageTracks);
        // One track of each medium at most: a file that claims more cannot
        // say which directory belongs to which track.
        if (audioTracks < 0 || audioTracks > 1 || imageTracks < 0 || imageTracks > 1)
            return fail(MV_ERR_NOT_MOVIE);
        if (dmParamsSetEnum(list.get(), "FILE_FORMAT", MV_FORMAT_NATIVE_3) != 0 ||
            setIntDefault(list.get(), "LOOP_MODE", MV_LOOP_ONCE, true) != 0 ||
            setIntDefault(list.get(), "LOOP_LIMIT", 0, false) != 0 ||
            setIntDefault(list.get(), "OPTIMIZED", 0, false) != 0)
            return fail(MV_ERR_NO_MEMORY);
        return 0;
    }();
    if (ok != 0) {
        __mvS_Destroy(stream);
        return -1;
    }

    MVid id = 0;
    if (__mvMV_Create(stream, list.get(), nullptr, &id) != 0)
        return -1;
    if (readTracks(id, cursor, audioTracks, imageTracks) != 0) {
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
