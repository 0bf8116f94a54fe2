// Helpers shared by the QuickTime tests.
#ifndef CINELARK_TESTS_QUICKTIME_QT_TEST_SUPPORT_H
#define CINELARK_TESTS_QUICKTIME_QT_TEST_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <cinelark/movie.h>
#include <cinelark/playback.h>

#include "error.h"
#include "movie/movie_builders.h"
#include "movie/native_bytes.h"
#include "movie/temp_dir.h"

namespace qt_support {

// Offset of the first atom of a type (its size field), or npos.
inline size_t findAtom(const std::vector<uint8_t> &bytes, const char *type, size_t from = 0)
{
    for (size_t i = from + 4; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(bytes.data() + i, type, 4) == 0)
            return i - 4;
    return std::string::npos;
}

inline uint32_t get32(const std::vector<uint8_t> &b, size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

using native_bytes::set32;

inline MVid trackOf(MVid movie, int medium)
{
    MVid track = 0;
    return mvFindTrackByMedium(movie, medium, &track) == 0 ? track : 0;
}

// A QuickTime movie file being made in a directory of its own; closing it
// writes it.
class NewMovie {
public:
    NewMovie()
    {
        mvInitQuickTime();
        auto p = testing_movie::movieParams(MV_FORMAT_QUICKTIME);
        mvCreateFile(path.c_str(), p.get(), nullptr, &movie);
    }
    MVid addImage(const char *compression, int packing = DM_PACKING_RGBX, double rate = 15.0, int width = 8,
                  int height = 4, int orientation = DM_ORIENTATION_BOTTOM_TO_TOP)
    {
        auto p = testing_movie::imageParams(width, height, packing, compression, rate);
        dmParamsSetEnum(p.get(), DM_IMAGE_ORIENTATION, orientation);
        return testing_movie::addTrack(movie, DM_MEDIUM_IMAGE, p);
    }
    MVid addAudio(double rate, int width, int channels, int format)
    {
        return testing_movie::addTrack(movie, DM_MEDIUM_AUDIO,
                                       testing_movie::audioParams(width, channels, rate, format));
    }
    TempDir dir;
    const std::string path = dir.file("out.mov");
    MVid movie = 0;
};

// A movie opened read-only and closed with the object; when the open
// fails, the movie is 0 and the error and its detail are kept.
struct OpenedFile {
    std::vector<uint8_t> bytes;
    MVid id = 0;
    int error = 0;
    std::string detail;

    explicit OpenedFile(std::vector<uint8_t> file) : bytes(std::move(file))
    {
        mvInitQuickTime();
        opened(mvOpenMem(bytes.data(), bytes.size(), &id));
    }
    explicit OpenedFile(const std::string &path)
    {
        mvInitQuickTime();
        opened(mvOpenFile(path.c_str(), 0, &id));
    }
    void opened(int status)
    {
        if (status != 0) {
            id = 0;
            error = mvGetErrno();
            detail = __mvErrorDetail;
        }
    }
    ~OpenedFile()
    {
        if (id)
            mvClose(id);
    }
    OpenedFile(const OpenedFile &) = delete;
    OpenedFile &operator=(const OpenedFile &) = delete;

    MVid movie() const { return id; }
    MVid image() const { return trackOf(id, DM_MEDIUM_IMAGE); }
    MVid audio() const { return trackOf(id, DM_MEDIUM_AUDIO); }
};

}  // namespace qt_support

#endif
