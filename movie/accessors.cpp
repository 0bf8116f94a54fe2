// One-setting getters and setters. A getter reads one element of the
// object's list (0, 0.0 or NULL when the id or the element is missing); a
// setter applies a one-element list through mvSetParams, so it follows the
// same rules as any other parameter change.
#include <cinelark/movie.h>

#include "api.h"
#include "error.h"

using namespace cinelark::movie;

namespace {

int readInt(MVid id, const char *name)
{
    const DMparams *params = mvGetParams(id);
    return params != nullptr ? dmParamsGetInt(params, name) : 0;
}

int readEnum(MVid id, const char *name)
{
    const DMparams *params = mvGetParams(id);
    return params != nullptr ? dmParamsGetEnum(params, name) : 0;
}

double readFloat(MVid id, const char *name)
{
    const DMparams *params = mvGetParams(id);
    return params != nullptr ? dmParamsGetFloat(params, name) : 0.0;
}

const char *readString(MVid id, const char *name)
{
    const DMparams *params = mvGetParams(id);
    return params != nullptr ? dmParamsGetString(params, name) : nullptr;
}

// Builds a one-element list with set, applies it and frees it.
template <typename Set>
int applyOne(MVid id, Set set)
{
    return guarded([&] {
        DMparams *list = nullptr;
        if (dmParamsCreate(&list) != 0)
            return failWith(MV_ERR_NO_MEMORY);
        int result;
        if (set(list) != 0) {
            result = failWith(MV_ERR_NO_MEMORY);
        } else {
            result = mvSetParams(id, list, nullptr);
        }
        dmParamsDestroy(list);
        return result;
    });
}

int writeInt(MVid id, const char *name, int value)
{
    return applyOne(id, [&](DMparams *l) { return dmParamsSetInt(l, name, value); });
}

int writeEnum(MVid id, const char *name, int value)
{
    return applyOne(id, [&](DMparams *l) { return dmParamsSetEnum(l, name, value); });
}

int writeFloat(MVid id, const char *name, double value)
{
    return applyOne(id, [&](DMparams *l) { return dmParamsSetFloat(l, name, value); });
}

int writeString(MVid id, const char *name, const char *value)
{
    if (value == nullptr)
        return invalidArgument();
    return applyOne(id, [&](DMparams *l) { return dmParamsSetString(l, name, value); });
}

}  // namespace

extern "C" {

int mvGetFileFormat(MVid movie) { return readEnum(movie, MV_FILE_FORMAT); }
int mvGetLoopMode(MVid movie) { return readEnum(movie, MV_LOOP_MODE); }
int mvSetLoopMode(MVid movie, int mode) { return writeEnum(movie, MV_LOOP_MODE, mode); }
int mvGetLoopLimit(MVid movie) { return readInt(movie, MV_LOOP_LIMIT); }
int mvSetLoopLimit(MVid movie, int limit) { return writeInt(movie, MV_LOOP_LIMIT, limit); }
const char *mvGetTitle(MVid movie) { return readString(movie, MV_TITLE); }
int mvSetTitle(MVid movie, const char *title) { return writeString(movie, MV_TITLE, title); }
const char *mvGetComment(MVid movie) { return readString(movie, MV_COMMENT); }
int mvSetComment(MVid movie, const char *comment)
{
    return writeString(movie, MV_COMMENT, comment);
}
int mvGetOptimized(MVid movie) { return readInt(movie, MV_OPTIMIZED); }

int mvGetTrackLength(MVid track) { return readInt(track, MV_TRACK_LENGTH); }
int mvGetTrackMedium(MVid track) { return readEnum(track, DM_MEDIUM); }
const char *mvGetTrackSMPTEStart(MVid track) { return readString(track, MV_SMPTE_START); }
int mvSetTrackSMPTEStart(MVid track, const char *start)
{
    return writeString(track, MV_SMPTE_START, start);
}

int mvGetImageWidth(MVid track) { return readInt(track, DM_IMAGE_WIDTH); }
int mvGetImageHeight(MVid track) { return readInt(track, DM_IMAGE_HEIGHT); }
double mvGetImageRate(MVid track) { return readFloat(track, DM_IMAGE_RATE); }
int mvSetImageRate(MVid track, double rate) { return writeFloat(track, DM_IMAGE_RATE, rate); }
const char *mvGetImageCompression(MVid track) { return readString(track, DM_IMAGE_COMPRESSION); }
int mvGetImageInterlacing(MVid track) { return readEnum(track, DM_IMAGE_INTERLACING); }
int mvGetImagePacking(MVid track) { return readEnum(track, DM_IMAGE_PACKING); }
int mvGetImageOrientation(MVid track) { return readEnum(track, DM_IMAGE_ORIENTATION); }

int mvGetAudioFormat(MVid track) { return readEnum(track, DM_AUDIO_FORMAT); }
int mvGetAudioWidth(MVid track) { return readInt(track, DM_AUDIO_WIDTH); }
double mvGetAudioRate(MVid track) { return readFloat(track, DM_AUDIO_RATE); }
int mvGetAudioChannels(MVid track) { return readInt(track, DM_AUDIO_CHANNELS); }
const char *mvGetAudioCompression(MVid track) { return readString(track, DM_AUDIO_COMPRESSION); }
double mvGetDefaultVol(MVid track) { return readFloat(track, MV_DEFAULT_VOL); }
int mvSetDefaultVol(MVid track, double volume)
{
    return writeFloat(track, MV_DEFAULT_VOL, volume);
}

}  // extern "C"
