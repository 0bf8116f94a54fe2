// The QuickTime reader: finds the "moov" atom among the top-level atoms,
// parses it, and builds a movie whose directory entries point at the
// samples in the file.
//
// The file's own bytes are never loaded beyond the "moov" atom, whose size
// the file bounds. Every table the file declares is checked against the
// bytes that hold it before anything is allocated, and every sample against
// the length of the stream, so a hostile file costs at most its own size.
#include "quicktime.h"

#include "atom_reader.h"
#include "records.h"

#include "error.h"
#include "model.h"
#include "stream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <new>
#include <vector>

namespace cinelark::quicktime {
namespace {

class Params {
public:
    Params()
    {
        if (dmParamsCreate(&p_) != 0)
            throw std::bad_alloc();
    }
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

void check(int status)
{
    if (status != 0)
        throw QtFault{status, ""};
}

// A library call that has set mvErrno itself.
struct LibraryFailure {};

void call(int result)
{
    if (result != 0)
        throw LibraryFailure{};
}

void readExactly(MVstream *stream, int64_t at, void *buffer, size_t count)
{
    if (__mvS_Seek(stream, at, SEEK_SET, nullptr) != 0 || __mvS_Read(stream, buffer, count) != 0)
        throw LibraryFailure{};
}

// Walks the top-level atoms and parses the "moov" atom. Atoms other than
// "moov" are skipped by seeking over them, so a large "mdat" before the
// "moov" costs nothing.
void readTopLevel(MVstream *stream, int64_t length, MovieRecord &movie)
{
    int64_t position = 0;
    std::vector<uint8_t> moov;
    while (position < length) {
        if (length - position < 8)
            structuralFault();
        uint8_t header[8];
        readExactly(stream, position, header, sizeof header);
        AtomReader r(header);
        const uint32_t size = r.u32();
        const uint32_t type = r.u32();
        if (size < 8)
            structuralFault();
        if (type == fourcc("moov")) {
            if (size > length - position)
                structuralFault();
            moov.resize(size - 8);
            readExactly(stream, position + 8, moov.data(), moov.size());
            parseMovieAtom(moov, movie);
        }
        position += size;
    }
    if (!movie.sawMoov)
        structuralFault();
}

const TrackRecord *lastOfKind(const MovieRecord &movie, MediaKind kind)
{
    for (auto it = movie.tracks.rbegin(); it != movie.tracks.rend(); ++it)
        if (it->kind == kind)
            return &*it;
    return nullptr;
}

// Pictures last as long as the sound when there is sound; otherwise the
// media time scale over the first sample's duration (integer division, as
// the format's own players compute it).
double frameRate(const TrackRecord &video, const TrackRecord *sound)
{
    if (sound) {
        if (sound->samples.sampleTotal == 0 || sound->sound.rate == 0)
            structuralFault();
        const double seconds = double(sound->samples.sampleTotal) / double(sound->sound.rate);
        return double(video.samples.sampleTotal) / seconds;
    }
    if (video.samples.timeToSample.empty())
        structuralFault();
    return double(video.mediaTimeScale / video.samples.timeToSample.front().duration);
}

int packingFor(const VideoDescription &video)
{
    if (video.compression != "Uncompressed Video")
        return DM_PACKING_RGBX;
    if (video.depth == 16)
        return DM_PACKING_RGB555;
    if (video.depth == 32)
        return DM_PACKING_XBGR;
    unsupported("Only 16-bit and 24-bit raw images are supported");
}

void checkInFile(uint64_t offset, uint64_t size, int64_t length)
{
    if (offset + size > uint64_t(length))
        structuralFault();
}

// The largest picture the reader accepts: 4096 x 2304 pixels. The
// description's 16-bit fields could ask for 65535 x 65535, whose frame
// buffers alone would take 16 GiB before a single sample is read.
constexpr int64_t kMaxPixels = 4096 * 2304;

void addImageTrack(MVid movie, const TrackRecord &video, double rate, int64_t length)
{
    int width = video.video.width;
    int height = video.video.height;
    if (int64_t(width) * height > kMaxPixels)
        structuralFault();
    if (video.video.compression == "Apple Video") {
        width = (width + 3) & ~3;
        height = (height + 3) & ~3;
    }
    Params params;
    call(dmSetImageDefaults(params.get(), width, height, packingFor(video.video)));
    // Raw pictures are handed out as stored, and QuickTime stores the top
    // row first; the coders turn their pictures the library's way up.
    if (video.video.compression == "Uncompressed Video" &&
        dmParamsSetEnum(params.get(), DM_IMAGE_ORIENTATION, DM_ORIENTATION_TOP_TO_BOTTOM) != 0)
        throw std::bad_alloc();
    if (dmParamsSetFloat(params.get(), DM_IMAGE_RATE, rate) != 0 ||
        dmParamsSetString(params.get(), DM_IMAGE_COMPRESSION, video.video.compression.c_str()) != 0 ||
        dmParamsSetInt(params.get(), MV_IMAGE_CSIZE, video.video.depth) != 0)
        throw std::bad_alloc();
    MVid track = 0;
    call(mvAddTrack(movie, DM_MEDIUM_IMAGE, params.get(), nullptr, &track));

    const SampleTables &t = video.samples;
    // Every picture takes at least one byte of the file, which bounds the
    // directory a small file can ask for.
    if (t.sampleTotal > uint64_t(length) || t.sampleTotal > uint64_t(INT32_MAX))
        structuralFault();
    std::vector<uint32_t> sync = t.sync;
    std::sort(sync.begin(), sync.end());
    uint64_t sample = 0;
    int status = 0;
    check(forEachChunk(t, [&](uint32_t chunk, uint64_t first, uint32_t count) {
        uint64_t offset = t.chunkOffsets[chunk - 1];
        for (uint64_t s = first; s < first + count && sample < t.sampleTotal; ++s, ++sample) {
            uint32_t size = 0;
            status = sampleSize(t, s, &size);
            if (status != 0)
                return false;
            checkInFile(offset, size, length);
            Params frame;
            const bool key = std::binary_search(sync.begin(), sync.end(), s + 1);
            if (dmParamsSetInt(frame.get(), MV_KEY_FRAME, key ? 1 : 0) != 0)
                throw std::bad_alloc();
            call(__mvT_InitDirEntry(track, uint32_t(offset), size, frame.release()));
            offset += size;
        }
        return sample < t.sampleTotal;
    }));
    check(status);
    if (sample < t.sampleTotal)
        check(MV_ERR_INTERNAL);
}

void addAudioTrack(MVid movie, const TrackRecord &sound, int64_t length)
{
    Params params;
    call(dmSetAudioDefaults(params.get(), sound.sound.bitsPerSample, double(sound.sound.rate),
                            sound.sound.channels));
    if (dmParamsSetEnum(params.get(), DM_AUDIO_FORMAT, sound.sound.format) != 0)
        throw std::bad_alloc();
    MVid track = 0;
    call(mvAddTrack(movie, DM_MEDIUM_AUDIO, params.get(), nullptr, &track));

    const SampleTables &t = sound.samples;
    check(forEachChunk(t, [&](uint32_t chunk, uint64_t, uint32_t count) {
        const uint64_t offset = t.chunkOffsets[chunk - 1];
        const uint64_t size = uint64_t(count) * t.constantSize;
        checkInFile(offset, size, length);
        Params frame;
        call(__mvT_InitDirEntry(track, uint32_t(offset), uint32_t(size), frame.release()));
        return true;
    }));
}

void buildTracks(MVid movie, const TrackRecord &video, const TrackRecord *sound, int64_t length)
{
    addImageTrack(movie, video, frameRate(video, sound), length);
    if (sound)
        addAudioTrack(movie, *sound, length);
    call(__mvMV_LoadDone(movie, 8));
}

void destroyMovie(MVid id)
{
    MVmovie *object = __mvFindMovie(id);
    if (!object)
        return;
    __mvUnregisterMovie(id);
    __mvMV_Destroy(object);
}

// Runs one step of the read and turns its failure into mvErrno.
template <typename Step>
int guarded(Step step)
{
    try {
        step();
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

}  // namespace
}  // namespace cinelark::quicktime

using namespace cinelark::quicktime;

int __mvQT_Read(MVstream *stream, MVid *movie)
{
    // The resource part of the file, when there is one, holds the atoms and
    // becomes the movie's stream.
    MVstream *resource = nullptr;
    if (__mvS_OpenResourceFork(stream, &resource) == 0) {
        __mvS_Destroy(stream);
        stream = resource;
    }

    MovieRecord record;
    int64_t length = 0;
    const TrackRecord *video = nullptr;
    const TrackRecord *sound = nullptr;
    Params *movieParams = nullptr;
    const int parsed = guarded([&] {
        if (__mvS_Length(stream, &length) != 0)
            throw LibraryFailure{};
        readTopLevel(stream, length, record);
        video = lastOfKind(record, MediaKind::Video);
        sound = lastOfKind(record, MediaKind::Sound);
        if (!video)
            unsupported("Movie without an image track");
        movieParams = new Params;
        call(mvSetMovieDefaults(movieParams->get(), MV_FORMAT_QUICKTIME));
        if (dmParamsSetEnum(movieParams->get(), MV_LOOP_MODE, MV_LOOP_ONCE) != 0)
            throw std::bad_alloc();
    });
    std::unique_ptr<Params> ownedParams(movieParams);
    if (parsed != 0) {
        __mvS_Destroy(stream);
        return -1;
    }

    MVid id = 0;
    if (__mvMV_Create(stream, ownedParams->get(), nullptr, &id) != 0)
        return -1;
    if (guarded([&] { buildTracks(id, *video, sound, length); }) != 0) {
        const int error = mvErrno;
        const std::string detail = __mvErrorDetail;
        destroyMovie(id);
        __mvSetErrorWithDetail(error, detail.c_str());
        return -1;
    }
    *movie = id;
    return 0;
}
