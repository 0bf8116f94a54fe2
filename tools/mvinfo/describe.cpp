// Gathering and printing what mvinfo reports, through the public movie
// interface alone: the movie's parameters, its image and sound tracks, and
// the stored size of each picture.
#include "describe.h"

#include "json.h"

#include <cinelark/movie.h>

#include <fcntl.h>

#include <cstdio>
#include <sstream>

namespace mvinfo {

namespace {

const char *formatName(int format)
{
    switch (format) {
    case MV_FORMAT_NATIVE_1:
    case MV_FORMAT_NATIVE_2:
        return "native1or2";
    case MV_FORMAT_NATIVE_3:
        return "native3";
    case MV_FORMAT_QUICKTIME:
        return "quicktime";
    case MV_FORMAT_MPEG1:
        return "mpeg1";
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

Track describeTrack(MVid id, bool withFrames)
{
    Track t;
    t.id = id;
    t.medium = mvGetTrackMedium(id);
    t.length = mvGetTrackLength(id);
    t.params = collect(mvGetParams(id));
    if (withFrames && t.medium == DM_MEDIUM_IMAGE) {
        for (int frame = 0; frame < t.length; ++frame)
            t.frameSizes.push_back(mvGetCompressedImageSize(id, frame));
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

bool describe(const std::string &file, bool withFrames, MovieInfo *info, std::string *error)
{
    MVid movie = 0;
    if (mvOpenFile(file.c_str(), O_RDONLY, &movie) != 0) {
        *error = mvGetErrorStr(mvGetErrno());
        return false;
    }
    info->file = file;
    info->format = formatName(mvGetFileFormat(movie));
    info->params = collect(mvGetParams(movie));
    // The first track of each medium, pictures first, as a player uses them.
    for (int medium : {DM_MEDIUM_IMAGE, DM_MEDIUM_AUDIO}) {
        MVid track = 0;
        if (mvFindTrackByMedium(movie, medium, &track) == 0)
            info->tracks.push_back(describeTrack(track, withFrames));
    }
    mvClose(movie);
    return true;
}

std::string formatText(const MovieInfo &info, bool withFrames)
{
    std::ostringstream out;
    out << info.file << ": " << info.format << '\n';
    for (const Param &p : info.params)
        out << "  " << p.name << " = " << paramText(p) << '\n';
    for (const Track &t : info.tracks) {
        out << "  track " << t.id << ": " << mediumName(t.medium) << ", length " << t.length << '\n';
        for (const Param &p : t.params)
            out << "    " << p.name << " = " << paramText(p) << '\n';
        for (size_t i = 0; withFrames && i < t.frameSizes.size(); ++i)
            out << "    frame " << i << ": size " << t.frameSizes[i] << '\n';
    }
    return out.str();
}

std::string formatJson(const MovieInfo &info, bool withFrames)
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
        if (withFrames && t.medium == DM_MEDIUM_IMAGE) {
            out << ",\"frames\":[";
            for (size_t k = 0; k < t.frameSizes.size(); ++k)
                out << (k ? "," : "") << t.frameSizes[k];
            out << ']';
        }
        out << '}';
    }
    out << "]}";
    return out.str();
}

}  // namespace mvinfo
