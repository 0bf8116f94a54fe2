// Gathering and printing what mvinfo reports. The directory entries, the
// track order and the format version are not part of the public movie
// interface, so this tool reads them through the library's internal calls.
#include "describe.h"

#include "json.h"

#include <cinelark/movie.h>

#include "directory.h"
#include "formats.h"
#include "frames.h"
#include "model.h"
#include "stream.h"

#include <fcntl.h>

#include <cstdio>
#include <sstream>

namespace mvinfo {

namespace {

const char *formatName(int format)
{
    switch (format) {
    case MV_FORMAT_NATIVE_1:
        return "native1";
    case MV_FORMAT_NATIVE_2:
        return "native2";
    case MV_FORMAT_NATIVE_3:
        return "native3";
    case MV_FORMAT_QUICKTIME:
        return "quicktime";
    default:
        return "unknown";
    }
}

std::vector<Param> collect(const DMparams *list)
{
    std::vector<Param> params;
    const int count = dmParamsGetNumElems(list);
    for (int i = 0; i < count; ++i) {
        Param p;
        p.name = dmParamsGetElem(list, i);
        p.type = dmParamsGetElemType(list, i);
        switch (p.type) {
        case DM_TYPE_ENUM:
        case DM_TYPE_INT:
            p.integer = dmParamsGetInt(list, p.name.c_str());
            break;
        case DM_TYPE_FLOAT:
            p.number = dmParamsGetFloat(list, p.name.c_str());
            break;
        case DM_TYPE_STRING:
            p.text = dmParamsGetString(list, p.name.c_str());
            break;
        default:
            break;
        }
        params.push_back(std::move(p));
    }
    return params;
}

// The format as the file's first bytes say, which tells version 1 from
// version 2 (the movie itself records both as one file format).
int detect(const std::string &file)
{
    MVstream *stream = nullptr;
    if (__mvS_CreateWithFile(file.c_str(), O_RDONLY, &stream) != 0)
        return -1;
    int format = -1;
    if (__mvDetectFormat(stream, &format) != 0)
        format = -1;
    __mvS_Destroy(stream);
    return format;
}

Track describeTrack(MVid id, bool withEntries)
{
    Track t;
    t.id = id;
    t.medium = mvGetTrackMedium(id);
    t.length = mvGetTrackLength(id);
    t.params = collect(mvGetParams(id));
    MVdirectory *directory = __mvT_DirList(id);
    t.entryCount = __mvDL_DirCount(directory);
    if (!withEntries)
        return t;
    int firstFrame = 0;
    for (int i = 0; i < t.entryCount; ++i) {
        Entry e;
        if (__mvDL_DirEntry(directory, i, &e.offset, &e.size, &e.frames, nullptr) != 0)
            break;
        // Sound frames stand alone; a picture may depend on the ones before.
        e.key = t.medium != DM_MEDIUM_IMAGE || __mvT_IsKeyFrame(id, firstFrame) == 1;
        firstFrame += e.frames;
        t.entries.push_back(e);
    }
    return t;
}

std::string paramText(const Param &p)
{
    switch (p.type) {
    case DM_TYPE_ENUM:
    case DM_TYPE_INT:
        return std::to_string(p.integer);
    case DM_TYPE_FLOAT: {
        char text[64];
        std::snprintf(text, sizeof text, "%g", p.number);
        return text;
    }
    case DM_TYPE_STRING:
        return "\"" + p.text + "\"";
    default:
        return "?";
    }
}

std::string paramJson(const Param &p)
{
    switch (p.type) {
    case DM_TYPE_ENUM:
    case DM_TYPE_INT:
        return std::to_string(p.integer);
    case DM_TYPE_FLOAT:
        return jsonNumber(p.number);
    case DM_TYPE_STRING:
        return jsonString(p.text);
    default:
        return "null";
    }
}

void paramsJson(std::ostringstream &out, const std::vector<Param> &params)
{
    out << '{';
    for (size_t i = 0; i < params.size(); ++i)
        out << (i ? "," : "") << jsonString(params[i].name) << ':' << paramJson(params[i]);
    out << '}';
}

const char *mediumName(int medium)
{
    return medium == DM_MEDIUM_AUDIO ? "audio" : medium == DM_MEDIUM_IMAGE ? "image" : "unknown";
}

}  // namespace

bool describe(const std::string &file, bool withEntries, MovieInfo *info, std::string *error)
{
    MVid movie = 0;
    if (mvOpenFile(file.c_str(), O_RDONLY, &movie) != 0) {
        *error = mvGetErrorStr(mvGetErrno());
        return false;
    }
    info->file = file;
    info->format = formatName(detect(file));
    info->params = collect(mvGetParams(movie));
    // Every track in the movie's own order (the order it searches and
    // writes them).
    const int count = __mvMV_TrackCount(movie);
    for (int i = 0; i < count; ++i)
        info->tracks.push_back(describeTrack(__mvMV_TrackAt(movie, i), withEntries));
    mvClose(movie);
    return true;
}

std::string formatText(const MovieInfo &info, bool withEntries)
{
    std::ostringstream out;
    out << info.file << ": " << info.format << '\n';
    for (const Param &p : info.params)
        out << "  " << p.name << " = " << paramText(p) << '\n';
    for (const Track &t : info.tracks) {
        out << "  track " << t.id << ": " << mediumName(t.medium) << ", length " << t.length << ", "
            << t.entryCount << (t.entryCount == 1 ? " entry" : " entries") << '\n';
        for (const Param &p : t.params)
            out << "    " << p.name << " = " << paramText(p) << '\n';
        if (!withEntries)
            continue;
        for (size_t i = 0; i < t.entries.size(); ++i) {
            const Entry &e = t.entries[i];
            out << "    entry " << i << ": offset " << e.offset << ", size " << e.size << ", " << e.frames
                << (e.frames == 1 ? " frame" : " frames") << (e.key ? ", key" : "") << '\n';
        }
    }
    return out.str();
}

std::string formatJson(const MovieInfo &info, bool withEntries)
{
    std::ostringstream out;
    out << "{\"file\":" << jsonString(info.file) << ",\"format\":" << jsonString(info.format) << ",\"params\":";
    paramsJson(out, info.params);
    out << ",\"tracks\":[";
    for (size_t i = 0; i < info.tracks.size(); ++i) {
        const Track &t = info.tracks[i];
        out << (i ? "," : "") << "{\"id\":" << t.id << ",\"medium\":" << jsonString(mediumName(t.medium))
            << ",\"length\":" << t.length << ",\"params\":";
        paramsJson(out, t.params);
        out << ",\"entries\":" << t.entryCount;
        if (withEntries) {
            out << ",\"frames\":[";
            for (size_t k = 0; k < t.entries.size(); ++k) {
                const Entry &e = t.entries[k];
                out << (k ? "," : "") << "{\"offset\":" << e.offset << ",\"size\":" << e.size
                    << ",\"frames\":" << e.frames << ",\"key\":" << (e.key ? "true" : "false") << '}';
            }
            out << ']';
        }
        out << '}';
    }
    out << "]}";
    return out.str();
}

}  // namespace mvinfo
