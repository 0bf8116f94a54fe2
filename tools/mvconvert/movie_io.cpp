#include "movie_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace mvconvert {

Params newParams()
{
    DMparams *list = nullptr;
    if (dmParamsCreate(&list) != 0)
        return nullptr;
    return Params(list);
}

std::string movieError()
{
    const char *text = mvGetErrorStr(mvGetErrno());
    return text != nullptr ? text : "unknown error";
}

MovieHandle::~MovieHandle()
{
    if (id_ != 0)
        mvClose(id_);
}

void MovieHandle::reset(MVid id)
{
    if (id_ != 0)
        mvClose(id_);
    id_ = id;
}

bool MovieHandle::close(std::string *error)
{
    if (id_ == 0)
        return true;
    if (mvClose(id_) != 0) {
        *error = movieError();
        // The library keeps a movie whose write failed open; let it go
        // without another attempt at writing it.
        return false;
    }
    id_ = 0;
    return true;
}

bool createMovie(OutputSet *outputs, const std::string &finalName, DMparams *params, MovieHandle *movie,
                 std::string *error)
{
    const std::string temp = outputs->begin(finalName);
    MVid created = 0;
    if (mvCreateFile(temp.c_str(), params, nullptr, &created) != 0) {
        *error = movieError();
        return false;
    }
    movie->reset(created);
    return true;
}

bool openMovie(const std::string &path, MovieHandle *movie, std::string *error)
{
    if (!mvIsMovieFile(path.c_str())) {
        // Tell a missing file from one that is not a movie.
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) {
            *error = std::strerror(errno);
            return false;
        }
        ::close(fd);
        *error = "not a movie file, or a format this program does not read";
        return false;
    }
    MVid id = 0;
    if (mvOpenFile(path.c_str(), O_RDONLY, &id) != 0) {
        *error = movieError();
        return false;
    }
    movie->reset(id);
    return true;
}

MVid findTrack(MVid movie, int medium)
{
    MVid track = 0;
    return mvFindTrackByMedium(movie, medium, &track) == 0 ? track : 0;
}

int chooseFormat(const std::string &formatWord, const std::string &outName)
{
    if (formatWord == "native")
        return MV_FORMAT_NATIVE_3;
    if (formatWord == "quicktime")
        return MV_FORMAT_QUICKTIME;
    if (!formatWord.empty())
        return -1;
    if (outName.size() >= 4) {
        std::string tail = outName.substr(outName.size() - 4);
        for (char &c : tail)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ".mov")
            return MV_FORMAT_QUICKTIME;
    }
    return MV_FORMAT_NATIVE_3;
}

void audioToInt16(std::span<const uint8_t> frames, int width, int sampleFormat,
                  std::span<int16_t> samples)
{
    const bool isUnsigned = sampleFormat == AUDIO_FORMAT_UNSIGNED;
    if (width == 16) {
        const uint16_t flip = isUnsigned ? 0x8000 : 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            uint16_t v;
            std::memcpy(&v, &frames[i * 2], 2);
            samples[i] = int16_t(uint16_t(v ^ flip));
        }
    } else {
        const uint8_t flip = isUnsigned ? 0x80 : 0;
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = int16_t(uint16_t(uint8_t(frames[i] ^ flip)) << 8);
    }
}

}  // namespace mvconvert
