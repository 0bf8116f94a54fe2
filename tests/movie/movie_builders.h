// Builders for the object-model tests: parameter lists, memory movies and
// tracks, and a way to let go of a movie whose changes cannot be written.
#ifndef CINELARK_TESTS_MOVIE_BUILDERS_H
#define CINELARK_TESTS_MOVIE_BUILDERS_H

#include <cstdint>
#include <memory>
#include <numeric>
#include <vector>

#include <cinelark/movie.h>
#include <gtest/gtest.h>

#include "model.h"

namespace testing_movie {

struct ParamsDeleter {
    void operator()(DMparams *p) const { dmParamsDestroy(p); }
};
using Params = std::unique_ptr<DMparams, ParamsDeleter>;

inline Params newParams()
{
    DMparams *p = nullptr;
    dmParamsCreate(&p);
    return Params(p);
}

inline Params movieParams(int format = MV_FORMAT_NATIVE_3)
{
    Params p = newParams();
    mvSetMovieDefaults(p.get(), format);
    return p;
}

inline Params audioParams(int width = 16, int channels = 2, double rate = 44100.0,
                          int format = AUDIO_FORMAT_TWOS)
{
    Params p = newParams();
    dmParamsSetInt(p.get(), DM_AUDIO_WIDTH, width);
    dmParamsSetInt(p.get(), DM_AUDIO_CHANNELS, channels);
    dmParamsSetFloat(p.get(), DM_AUDIO_RATE, rate);
    dmParamsSetEnum(p.get(), DM_AUDIO_FORMAT, format);
    dmParamsSetString(p.get(), DM_AUDIO_COMPRESSION, DM_AUDIO_UNCOMPRESSED);
    return p;
}

inline Params imageParams(int width = 4, int height = 2, int packing = DM_PACKING_RGBX,
                          const char *compression = DM_IMAGE_UNCOMPRESSED, double rate = 15.0)
{
    Params p = newParams();
    dmParamsSetInt(p.get(), DM_IMAGE_WIDTH, width);
    dmParamsSetInt(p.get(), DM_IMAGE_HEIGHT, height);
    dmParamsSetFloat(p.get(), DM_IMAGE_RATE, rate);
    dmParamsSetString(p.get(), DM_IMAGE_COMPRESSION, compression);
    dmParamsSetEnum(p.get(), DM_IMAGE_INTERLACING, DM_IMAGE_NONINTERLACED);
    dmParamsSetEnum(p.get(), DM_IMAGE_PACKING, packing);
    dmParamsSetEnum(p.get(), DM_IMAGE_ORIENTATION, DM_ORIENTATION_BOTTOM_TO_TOP);
    return p;
}

// The new track's id, or 0 when the movie refuses it.
inline MVid addTrack(MVid movie, int medium, const Params &p)
{
    MVid track = 0;
    return mvAddTrack(movie, medium, p.get(), nullptr, &track) == 0 ? track : 0;
}

// A movie in its own block of memory, closed (or let go) with the object.
class MemMovie {
public:
    // The memory starts filled with a marker byte, so that every byte a
    // writer touches shows.
    explicit MemMovie(int format = MV_FORMAT_NATIVE_3, size_t size = 1 << 20, uint8_t fill = 0)
        : memory_(size, fill)
    {
        Params p = movieParams(format);
        created_ = mvCreateMem(memory_.data(), memory_.size(), p.get(), nullptr, &id_);
    }
    ~MemMovie() { release(id_); }
    MemMovie(const MemMovie &) = delete;
    MemMovie &operator=(const MemMovie &) = delete;

    MVid id() const { return id_; }
    int created() const { return created_; }
    const uint8_t *bytes() const { return memory_.data(); }
    const std::vector<uint8_t> &memory() const { return memory_; }

    MVid addAudio(const Params &p) { return addTrack(id_, DM_MEDIUM_AUDIO, p); }
    MVid addImage(const Params &p) { return addTrack(id_, DM_MEDIUM_IMAGE, p); }

    // Closes the movie; when its changes cannot be written (no format
    // writer is linked in, or the memory is too small) it is freed unwritten.
    static void release(MVid id)
    {
        if (id == 0 || mvClose(id) == 0)
            return;
        if (MVmovie *movie = __mvFindMovie(id)) {
            __mvUnregisterMovie(id);
            __mvMV_Destroy(movie);
        }
    }

private:
    std::vector<uint8_t> memory_;
    MVid id_ = 0;
    int created_ = -1;
};

// n bytes counting up from first, wrapping at 256: every byte tells where it
// came from.
inline std::vector<uint8_t> ramp(size_t n, uint8_t first = 0)
{
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

// A call that must fail (return -1) with the given error number; on a
// mismatch both the result and the library's error with its text are shown.
inline ::testing::AssertionResult failsWith(int result, int error)
{
    const int got = mvGetErrno();
    if (result == -1 && got == error)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "returned " << result << " with error " << got << " ("
                                         << mvGetErrorStr(got) << "), expected -1 with error " << error;
}

}  // namespace testing_movie

#endif
