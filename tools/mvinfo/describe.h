// What mvinfo reports about one movie file, gathered through the movie
// library.
#ifndef CINELARK_TOOLS_MVINFO_DESCRIBE_H
#define CINELARK_TOOLS_MVINFO_DESCRIBE_H

#include <cstddef>
#include <string>
#include <vector>

namespace mvinfo {

struct Param {
    std::string name;
    int type = 0;  // DM_TYPE_*
    long long integer = 0;
    double number = 0;
    std::string text;
};

struct Track {
    int id = 0;
    int medium = 0;
    int length = 0;
    std::vector<Param> params;
    // The stored size of each picture, filled only when asked for (sound is
    // stored in runs of sample frames that the movie interface does not
    // show).
    std::vector<size_t> frameSizes;
};

struct MovieInfo {
    std::string file;
    // native1or2, native3 or quicktime: the movie records versions 1 and 2
    // alike, since both are rewritten as version 3.
    std::string format;
    std::vector<Param> params;
    std::vector<Track> tracks;
};

// Opens the file read-only and describes it; false with the library's error
// text in *error when it cannot be opened.
bool describe(const std::string &file, bool withFrames, MovieInfo *info, std::string *error);

std::string formatText(const MovieInfo &info, bool withFrames);
std::string formatJson(const MovieInfo &info, bool withFrames);

}  // namespace mvinfo

#endif
