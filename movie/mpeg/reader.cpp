// Opening an MPEG-1 video stream as a movie: one image track "MPEG Video"
// of the stream's picture size (rounded down to whole macroblocks, as the
// decoder hands pictures out) and rate, one directory entry per picture in
// display order.
#include <cstring>
#include <memory>
#include <new>

#include <cinelark/dmparams.h>

#include "../error.h"
#include "../model.h"
#include "../stream.h"
#include "mpeg.h"
#include "scan.h"

using namespace cinelark::mpeg;

namespace {

// Frame rates by picture_rate code; codes without a rate play at 30.
constexpr double kRates[16] = {30.0, 24000.0 / 1001, 24.0, 25.0, 30000.0 / 1001, 30.0, 50.0, 60000.0 / 1001,
                               60.0, 30.0,           30.0, 30.0, 30.0,           30.0, 30.0, 30.0};

// The first I picture that a decoder started at a sequence header hands out
// where the whole stream's plan does is a key frame: from there on the
// fresh decoder agrees with one that saw everything (the entries before it
// only warm it up). Looked for within this many frames of the restart.
constexpr size_t kWarmUpFrames = 8;

struct ParamsHolder {
    DMparams *p = nullptr;
    ParamsHolder() { dmParamsCreate(&p); }
    ~ParamsHolder() { dmParamsDestroy(p); }
};

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

void destroyMovie(MVid id)
{
    if (MVmovie *object = __mvFindMovie(id)) {
        __mvUnregisterMovie(id);
        __mvMV_Destroy(object);
    }
}

// For every entry, whether it is a key frame.
std::vector<bool> keyFrames(const StreamLayout &layout, const std::vector<Delivery> &plan)
{
    std::vector<bool> key(plan.size(), false);
    size_t entry = 0;  // the entry whose bytes start at the unit looked at
    for (size_t u = 0; u < layout.units.size(); ++u) {
        if (layout.units[u].code != 0xB3)
            continue;
        while (entry < plan.size() && (entry == 0 ? 0 : plan[entry - 1].end) < layout.units[u].offset)
            ++entry;
        if (entry >= plan.size() || (entry == 0 ? 0 : plan[entry - 1].end) != layout.units[u].offset)
            continue;
        const std::vector<Delivery> fresh = PlanDeliveries(layout, u);
        for (size_t f = 0; f < fresh.size() && f < kWarmUpFrames; ++f) {
            size_t e = entry;
            while (e < plan.size() && plan[e].end < fresh[f].end)
                ++e;
            // B pictures out of a fresh decoder lack a reference; the first
            // I picture it hands out is right, and so is all that follows.
            if (layout.units[fresh[f].unit].type == 1 && e < plan.size() && plan[e].end == fresh[f].end &&
                plan[e].unit == fresh[f].unit) {
                key[e] = true;
                break;
            }
        }
    }
    return key;
}

void build(MVid movie, const StreamLayout &layout, const MPextras &extras)
{
    const std::vector<Delivery> plan = PlanDeliveries(layout, 0);
    if (plan.empty())
        throw MV_ERR_NOT_MOVIE;
    const std::vector<bool> key = keyFrames(layout, plan);
    ParamsHolder params;
    if (params.p == nullptr || dmSetImageDefaults(params.p, layout.width / 16 * 16, layout.height / 16 * 16,
                                                  DM_PACKING_RGBX) != 0 ||
        dmParamsSetFloat(params.p, DM_IMAGE_RATE, kRates[layout.rateCode & 15]) != 0 ||
        dmParamsSetString(params.p, DM_IMAGE_COMPRESSION, "MPEG Video") != 0)
        throw MV_ERR_NO_MEMORY;
    MVid track = 0;
    if (mvAddTrack(movie, DM_MEDIUM_IMAGE, params.p, nullptr, &track) != 0)
        throw mvErrno;
    int64_t start = 0;
    for (size_t k = 0; k < plan.size(); ++k) {
        int64_t end = plan[k].end;
        // The last frame comes out at the sequence end code; a stream that
        // lacks it ends with the last picture, and the last entry then
        // names the stream's last bytes again (it is read as the end code,
        // see image_frames.cpp).
        if (k + 1 == plan.size() && end <= start && layout.length >= 4) {
            start = layout.length - 4;
            end = layout.length;
        }
        if (end <= start || end > int64_t(UINT32_MAX))
            continue;  // nothing new to decode: the frame cannot be had
        DMparams *frame = nullptr;
        if (dmParamsCreate(&frame) != 0 || dmParamsSetInt(frame, MV_KEY_FRAME, k == 0 || key[k] ? 1 : 0) != 0) {
            dmParamsDestroy(frame);
            throw MV_ERR_NO_MEMORY;
        }
        if (__mvT_InitDirEntry(track, uint32_t(start), uint32_t(end - start), frame) != 0)
            throw mvErrno;
        start = end;
    }
    if (extras) {
        if (const int error = extras(movie))
            throw error;
    }
    if (__mvMV_LoadDone(movie, 0) != 0)
        throw mvErrno;
}

}  // namespace

bool __mvMP_IsSequenceStart(const unsigned char *b)
{
    return b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0xB3;
}

int __mvMP_Read(MVstream *stream, MVid *movie)
{
    unsigned char head[4] = {};
    if (__mvS_SeeknRead(stream, 0, head, sizeof head) == 0 && __mvMP_IsSequenceStart(head))
        return __mvMP_ReadVideo(stream, -1, {}, movie);
    return __mvMP_ReadProgram(stream, movie);
}

int __mvMP_ReadVideo(MVstream *stream, int64_t videoLength, const MPextras &extras, MVid *movie)
{
    StreamLayout layout;
    ParamsHolder movieParams;
    bool ok = false;
    try {
        ok = ScanStream(stream, videoLength, &layout) && layout.width >= 16 && layout.height >= 16;
    } catch (const std::bad_alloc &) {
        __mvS_Destroy(stream);
        return fail(MV_ERR_NO_MEMORY);
    }
    if (!ok || movieParams.p == nullptr || mvSetMovieDefaults(movieParams.p, MV_FORMAT_NATIVE_3) != 0) {
        __mvS_Destroy(stream);
        return fail(ok ? MV_ERR_NO_MEMORY : MV_ERR_NOT_MOVIE);
    }
    MVid id = 0;
    if (__mvMV_Create(stream, movieParams.p, nullptr, &id) != 0)
        return -1;
    // The format no caller may choose: set past the settings' checks.
    int error = dmParamsSetEnum(__mvFindMovie(id)->params, MV_FILE_FORMAT, MV_FORMAT_MPEG1) == 0 ? 0 : MV_ERR_NO_MEMORY;
    try {
        if (error == 0)
            build(id, layout, extras);
    } catch (int code) {
        error = code;
    } catch (const std::bad_alloc &) {
        error = MV_ERR_NO_MEMORY;
    }
    if (error != 0) {
        destroyMovie(id);
        return fail(error);
    }
    *movie = id;
    return 0;
}
