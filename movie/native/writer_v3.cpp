// The version 3 writer.
//
// The directory area is rendered twice: once to learn its size, so that the
// space at offset 0 can be grown to hold it (which may move frame data to
// the end of the file and rewrite the entries' offsets), and once more with
// the final offsets, which is then written at offset 0. Rendering goes to
// memory, so the file sees a single write of the whole area.
#include "directory.h"
#include "error.h"
#include "filespace.h"
#include "model.h"
#include "native.h"
#include "stream.h"

#include "bytes.h"
#include "param_tables.h"
#include "records.h"

#include <cstdio>

using namespace cinelark::native;

namespace {

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

// A copy of an object's list with one working count added.
class ListCopy {
public:
    ListCopy(const DMparams *from)
    {
        if (dmParamsCreate(&p_) == 0 && dmParamsCopyAllElems(from, p_) != 0) {
            dmParamsDestroy(p_);
            p_ = nullptr;
        }
    }
    ~ListCopy() { dmParamsDestroy(p_); }
    ListCopy(const ListCopy &) = delete;
    ListCopy &operator=(const ListCopy &) = delete;
    DMparams *get() const { return p_; }

private:
    DMparams *p_ = nullptr;
};

struct TrackToWrite {
    MVid id;
    std::span<const ParamRow> table;
    int nameError;
};

// A header of a reserved word, the record count and a reserved word.
int renderTrackHeader(const TrackToWrite &t, ByteWriter &out)
{
    ListCopy list(__mvT_GetParams(t.id));
    MVdirectory *directory = __mvT_DirList(t.id);
    if (!list.get() || !directory || dmParamsSetInt(list.get(), kDirCount, __mvDL_DirCount(directory)) != 0)
        return fail(MV_ERR_NO_MEMORY);
    ByteWriter records;
    uint32_t count = 0;
    if (writeRecords(list.get(), t.table, records, &count, t.nameError) != 0)
        return -1;
    out.u32(0);
    out.u32(count);
    out.u32(0);
    out.append(records);
    return 0;
}

int renderDirectory(const TrackToWrite &t, ByteWriter &out)
{
    MVdirectory *directory = __mvT_DirList(t.id);
    const int entries = __mvDL_DirCount(directory);
    for (int i = 0; i < entries; ++i) {
        uint32_t offset = 0, size = 0;
        int frames = 0;
        DMparams *frameParams = nullptr;
        if (__mvDL_DirEntry(directory, i, &offset, &size, &frames, &frameParams) != 0)
            return -1;
        ByteWriter records;
        uint32_t count = 0;
        if (frameParams && writeRecords(frameParams, t.table, records, &count, t.nameError) != 0)
            return -1;
        out.u32(offset);
        out.u32(size);
        out.u32(count);
        out.u32(0);
        out.append(records);
    }
    return 0;
}

int renderArea(MVmovie *movie, const TrackToWrite *audio, const TrackToWrite *image, ByteWriter &out)
{
    ListCopy list(movie->params);
    if (!list.get() || dmParamsSetInt(list.get(), kNumAudioTracks, audio ? 1 : 0) != 0 ||
        dmParamsSetInt(list.get(), kNumImageTracks, image ? 1 : 0) != 0)
        return fail(MV_ERR_NO_MEMORY);
    ByteWriter records;
    uint32_t count = 0;
    if (writeRecords(list.get(), movieTable(), records, &count, MV_ERR_MOVIE_SETTINGS) != 0)
        return -1;
    out.u32(kNativeMagic);
    out.u32(3);
    out.fill(0, 8);
    out.u32(count);
    out.u32(0);
    out.append(records);

    for (const TrackToWrite *t : {audio, image})
        if (t && renderTrackHeader(*t, out) != 0)
            return -1;
    for (const TrackToWrite *t : {audio, image})
        if (t && renderDirectory(*t, out) != 0)
            return -1;
    return 0;
}

int writeMovie(MVid id)
{
    MVmovie *movie = __mvFindMovie(id);
    if (!movie)
        return -1;
    // Only the first track of each medium is stored; the format has room for
    // one of each.
    const MVid audioId = __mvMV_FirstTrack(movie, DM_MEDIUM_AUDIO);
    const MVid imageId = __mvMV_FirstTrack(movie, DM_MEDIUM_IMAGE);
    const TrackToWrite audio{audioId, audioTable(), MV_ERR_AUDIO_SETTINGS};
    const TrackToWrite image{imageId, imageTable(), MV_ERR_IMAGE_SETTINGS};
    const TrackToWrite *audioTrack = audioId ? &audio : nullptr;
    const TrackToWrite *imageTrack = imageId ? &image : nullptr;

    ByteWriter measure;
    if (renderArea(movie, audioTrack, imageTrack, measure) != 0)
        return -1;
    if (measure.size() > UINT32_MAX)
        return fail(MV_ERR_NO_MEMORY);
    const uint32_t size = static_cast<uint32_t>(measure.size());
    __mvMV_SetDirectorySize(id, size);
    if (__mvFM_EnsureDirSpace(movie->fileSpace, size) != 0)
        return -1;

    ByteWriter area;
    if (renderArea(movie, audioTrack, imageTrack, area) != 0)
        return -1;
    if (area.size() != size)
        return fail(MV_ERR_INTERNAL);
    if (__mvS_Seek(movie->stream, 0, SEEK_SET, nullptr) != 0)
        return -1;
    return __mvS_Write(movie->stream, area.data().data(), area.size());
}

}  // namespace

int __mvNV_WriteV3(MVid id)
{
    try {
        return writeMovie(id);
    } catch (...) {
        return fail(MV_ERR_NO_MEMORY);
    }
}
