// Small helpers over the public movie interface shared by the tool's modes:
// owned parameter lists and movies, the library's last error as text, the
// choice of output format and the conversion of audio frames to 16-bit
// samples.
#ifndef MVCONVERT_MOVIE_IO_H
#define MVCONVERT_MOVIE_IO_H

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include "output.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace mvconvert {

struct ParamsDeleter {
    void operator()(DMparams *list) const { dmParamsDestroy(list); }
};
using Params = std::unique_ptr<DMparams, ParamsDeleter>;

// A new empty list, or null when out of memory.
Params newParams();

// The movie library's text for its last error.
std::string movieError();

// Closes the movie it holds when destroyed (writing it when it changed).
class MovieHandle {
public:
    MovieHandle() = default;
    explicit MovieHandle(MVid id) : id_(id) {}
    MovieHandle(const MovieHandle &) = delete;
    MovieHandle &operator=(const MovieHandle &) = delete;
    ~MovieHandle();
    MVid get() const { return id_; }
    void reset(MVid id);
    // Closes now; false with the library's reason when the write fails.
    bool close(std::string *error);

private:
    MVid id_ = 0;
};

// Creates the output movie under a temporary name from outputs (see
// output.h); false with the library's reason.
bool createMovie(OutputSet *outputs, const std::string &finalName, DMparams *params, MovieHandle *movie,
                 std::string *error);

// Opens a movie file for reading; false with a reason naming what is wrong.
bool openMovie(const std::string &path, MovieHandle *movie, std::string *error);

// The track of a medium, 0 when the movie has none.
MVid findTrack(MVid movie, int medium);

// Output format from --format (empty, "native" or "quicktime") and the
// output name: QuickTime for "quicktime" or a name ending in ".mov". -1 for
// an unknown format word.
int chooseFormat(const std::string &formatWord, const std::string &outName);

// Audio sample frames as native 16-bit samples: 8-bit samples move to the top
// byte, unsigned samples are made two's complement.
void audioToInt16(std::span<const uint8_t> frames, int width, int sampleFormat,
                  std::span<int16_t> samples);

}  // namespace mvconvert

#endif
