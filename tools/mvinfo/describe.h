// What mvinfo reports about one movie file, gathered through the movie
// library.
#ifndef CINELARK_TOOLS_MVINFO_DESCRIBE_H
#define CINELARK_TOOLS_MVINFO_DESCRIBE_H

#include <cstdint>
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

struct Entry {
    uint32_t offset = 0;
    uint32_t size = 0;
    int frames = 0;
    bool key = false;
};

struct Track {
    int id = 0;
    int medium = 0;
    int length = 0;
    std::vector<Param> params;
    int entryCount = 0;
    std::vector<Entry> entries;  // filled only when asked for
};

struct MovieInfo {
    std::string file;
    std::string format;  // native1, native2, native3 or quicktime
    std::vector<Param> params;
    std::vector<Track> tracks;
};

// Opens the file read-only and describes it; false with the library's error
// text in *error when it cannot be opened.
bool describe(const std::string &file, bool withEntries, MovieInfo *info, std::string *error);

std::string formatText(const MovieInfo &info, bool withEntries);
std::string formatJson(const MovieInfo &info, bool withEntries);

}  // namespace mvinfo

#endif
