// The settings tables of movies, audio tracks and image tracks, and the
// generic checking and copying that walks them.
#include "param_rules.h"

#include <cerrno>
#include <cstring>

#include <cinelark/movie.h>

#include "error.h"
#include "user_params.h"

namespace cinelark::movie {
namespace {

int intOf(const DMparams *list, const char *name) { return dmParamsGetInt(list, name); }
int enumOf(const DMparams *list, const char *name) { return dmParamsGetEnum(list, name); }
double floatOf(const DMparams *list, const char *name) { return dmParamsGetFloat(list, name); }

bool fileFormatValid(const DMparams *l, const char *n)
{
    int v = enumOf(l, n);
    return v >= MV_FORMAT_NATIVE_1 && v <= MV_FORMAT_QUICKTIME;
}
bool loopModeValid(const DMparams *l, const char *n)
{
    int v = enumOf(l, n);
    return v >= MV_LOOP_ONCE && v <= MV_LOOP_SWING;
}
bool nonNegative(const DMparams *l, const char *n) { return intOf(l, n) >= 0; }
bool positive(const DMparams *l, const char *n) { return intOf(l, n) > 0; }

bool audioWidthValid(const DMparams *l, const char *n)
{
    int v = intOf(l, n);
    return v == 8 || v == 16;
}
bool channelsValid(const DMparams *l, const char *n)
{
    int v = intOf(l, n);
    return v == 1 || v == 2;
}
bool audioRateValid(const DMparams *l, const char *n)
{
    double v = floatOf(l, n);
    return v >= 5000.0 && v <= 50000.0;
}
bool audioFormatValid(const DMparams *l, const char *n)
{
    int v = enumOf(l, n);
    return v == AUDIO_FORMAT_TWOS || v == AUDIO_FORMAT_UNSIGNED;
}
bool audioCompressionValid(const DMparams *l, const char *n)
{
    const char *v = dmParamsGetString(l, n);
    return v != nullptr && std::strcmp(v, DM_AUDIO_UNCOMPRESSED) == 0;
}
bool volumeValid(const DMparams *l, const char *n)
{
    double v = floatOf(l, n);
    return v >= 0.0 && v <= 1.0;
}

bool imageRateValid(const DMparams *l, const char *n)
{
    double v = floatOf(l, n);
    return v >= 1.0 && v <= 100.0;
}
bool compressionNamed(const DMparams *l, const char *n)
{
    const char *v = dmParamsGetString(l, n);
    return v != nullptr && v[0] != '\0';
}
bool interlacingValid(const DMparams *l, const char *n)
{
    return enumOf(l, n) == DM_IMAGE_NONINTERLACED;
}
bool packingValid(const DMparams *l, const char *n)
{
    int v = enumOf(l, n);
    return v == DM_PACKING_RGBX || v == DM_PACKING_GRAY || v == DM_PACKING_XBGR ||
           v == DM_PACKING_RGB555;
}
bool orientationValid(const DMparams *l, const char *n)
{
    int v = enumOf(l, n);
    return v == DM_ORIENTATION_TOP_TO_BOTTOM || v == DM_ORIENTATION_BOTTOM_TO_TOP;
}
// The depth handed to a codec is a pixel size in bits, or one of
// QuickTime's grey depths: 32 plus 2, 4 or 8 bits of grey.
bool depthValid(const DMparams *l, const char *n)
{
    int v = intOf(l, n);
    return (v > 0 && v <= 32) || v == 34 || v == 36 || v == 40;
}

// Movie settings, in the order they are copied.
constexpr ParamRule kMovieRules[] = {
    {MV_FILE_FORMAT, DM_TYPE_ENUM, fileFormatValid, true, true},
    {MV_LOOP_MODE, DM_TYPE_ENUM, loopModeValid, true, true},
    {MV_LOOP_LIMIT, DM_TYPE_INT, nonNegative, true, true},
    {MV_TITLE, DM_TYPE_STRING, nullptr, false, true},
    {MV_COMMENT, DM_TYPE_STRING, nullptr, false, true},
    {MV_OPTIMIZED, DM_TYPE_INT, nullptr, true, true},
};

// Audio track settings: the five that fix the sample layout, then the two a
// caller may change later.
constexpr ParamRule kAudioRules[] = {
    {DM_AUDIO_WIDTH, DM_TYPE_INT, audioWidthValid, true, false},
    {DM_AUDIO_CHANNELS, DM_TYPE_INT, channelsValid, true, false},
    {DM_AUDIO_RATE, DM_TYPE_FLOAT, audioRateValid, true, false},
    {DM_AUDIO_FORMAT, DM_TYPE_ENUM, audioFormatValid, true, false},
    {DM_AUDIO_COMPRESSION, DM_TYPE_STRING, audioCompressionValid, true, false},
    {MV_SMPTE_START, DM_TYPE_STRING, nullptr, false, true},
    {MV_DEFAULT_VOL, DM_TYPE_FLOAT, volumeValid, false, true},
};

// Image track settings: the seven that describe a picture (the rate among
// them may change later), then the two optional ones.
constexpr ParamRule kImageRules[] = {
    {DM_IMAGE_WIDTH, DM_TYPE_INT, positive, true, false},
    {DM_IMAGE_HEIGHT, DM_TYPE_INT, positive, true, false},
    {DM_IMAGE_RATE, DM_TYPE_FLOAT, imageRateValid, true, true},
    {DM_IMAGE_COMPRESSION, DM_TYPE_STRING, compressionNamed, true, false},
    {DM_IMAGE_INTERLACING, DM_TYPE_ENUM, interlacingValid, true, false},
    {DM_IMAGE_PACKING, DM_TYPE_ENUM, packingValid, true, false},
    {DM_IMAGE_ORIENTATION, DM_TYPE_ENUM, orientationValid, true, false},
    {MV_SMPTE_START, DM_TYPE_STRING, nullptr, false, true},
    {MV_IMAGE_CSIZE, DM_TYPE_INT, depthValid, false, true},
};

// Schemes a QuickTime movie can carry.
constexpr const char *kQuickTimeSchemes[] = {
    DM_IMAGE_UNCOMPRESSED, "JPEG", "Apple Video", "Apple Animation"};

// Schemes that only work on live video hardware and never in a track.
constexpr const char *kRefusedSchemes[] = {"RTR", "HDCC"};

int failWithName(int error, const char *name)
{
    __mvSetErrorWithDetail(error, name);
    return -1;
}

const DMparams *holder(const DMparams *update, const DMparams *current, const char *name)
{
    if (update != nullptr && dmParamsIsPresent(update, name))
        return update;
    if (current != nullptr && dmParamsIsPresent(current, name))
        return current;
    return nullptr;
}

}  // namespace

std::span<const ParamRule> movieRules() { return kMovieRules; }
std::span<const ParamRule> audioRules() { return kAudioRules; }
std::span<const ParamRule> imageRules() { return kImageRules; }

int paramType(const DMparams *list, const char *name)
{
    int type = dmParamsGetTypeByName(list, name);
    return type == 0 ? -1 : type;
}

int checkParams(const DMparams *list, std::span<const ParamRule> rules, bool requireAll,
                int badValue)
{
    for (const ParamRule &rule : rules) {
        int type = paramType(list, rule.name);
        if (type < 0) {
            if (requireAll && rule.required) {
                __mvSetErrno(badValue);
                return -1;
            }
            continue;
        }
        if (type != rule.type)
            return failWithName(MV_ERR_WRONG_TYPE, rule.name);
        if (rule.valid != nullptr && !rule.valid(list, rule.name)) {
            __mvSetErrno(badValue);
            return -1;
        }
    }
    int count = dmParamsGetNumElems(list);
    for (int i = 0; i < count; i++) {
        const char *name = dmParamsGetElem(list, i);
        if (__mvUP_IsRegistered(name) && dmParamsGetElemType(list, i) != DM_TYPE_STRING) {
            __mvSetErrno(MV_ERR_USER_PARAM_TYPE);
            return -1;
        }
    }
    return 0;
}

int copyParams(const DMparams *from, std::span<const ParamRule> rules, bool changeableOnly,
               DMparams *to, DMparams *returned)
{
    auto copyOne = [&](const char *name) {
        if (dmParamsCopyElem(from, name, to) != 0)
            return false;
        return returned == nullptr || dmParamsCopyElem(from, name, returned) == 0;
    };
    for (const ParamRule &rule : rules) {
        if (changeableOnly && !rule.changeable)
            continue;
        if (dmParamsIsPresent(from, rule.name) && !copyOne(rule.name)) {
            __mvSetErrno(MV_ERR_NO_MEMORY);
            return -1;
        }
    }
    int count = dmParamsGetNumElems(from);
    for (int i = 0; i < count; i++) {
        const char *name = dmParamsGetElem(from, i);
        if (__mvUP_IsRegistered(name) && !copyOne(name)) {
            __mvSetErrno(MV_ERR_NO_MEMORY);
            return -1;
        }
    }
    return 0;
}

int applyAnimationDepth(DMparams *trackParams)
{
    const char *scheme = dmParamsGetString(trackParams, DM_IMAGE_COMPRESSION);
    if (scheme != nullptr && std::strcmp(scheme, "Apple Animation") == 0 &&
        !dmParamsIsPresent(trackParams, MV_IMAGE_CSIZE))
        return dmParamsSetInt(trackParams, MV_IMAGE_CSIZE, kDefaultCodecDepth);
    return 0;
}

int checkImageCombination(const DMparams *update, const DMparams *current, bool quickTimeMovie)
{
    const DMparams *schemeList = holder(update, current, DM_IMAGE_COMPRESSION);
    if (schemeList == nullptr)
        return 0;
    const char *scheme = dmParamsGetString(schemeList, DM_IMAGE_COMPRESSION);
    if (scheme == nullptr)
        return 0;

    for (const char *refused : kRefusedSchemes)
        if (std::strcmp(scheme, refused) == 0)
            return failWithName(MV_ERR_IMAGE_SETTINGS, DM_IMAGE_COMPRESSION);

    if (quickTimeMovie) {
        bool allowed = false;
        for (const char *ok : kQuickTimeSchemes)
            allowed = allowed || std::strcmp(scheme, ok) == 0;
        if (!allowed)
            return failWithName(MV_ERR_IMAGE_SETTINGS, DM_IMAGE_COMPRESSION);
        // Raw pictures are stored as the track holds them, and only 32-bit
        // words with blue in the low byte and 16-bit 5-5-5 are QuickTime raw
        // layouts: a track in any other packing could never be written.
        const DMparams *packingList = holder(update, current, DM_IMAGE_PACKING);
        const int packing =
            packingList != nullptr ? dmParamsGetEnum(packingList, DM_IMAGE_PACKING) : 0;
        if (std::strcmp(scheme, DM_IMAGE_UNCOMPRESSED) == 0 && packing != DM_PACKING_XBGR &&
            packing != DM_PACKING_RGB555)
            return failWithName(MV_ERR_IMAGE_SETTINGS, DM_IMAGE_PACKING);
    }

    const DMparams *widthList = holder(update, current, DM_IMAGE_WIDTH);
    const DMparams *heightList = holder(update, current, DM_IMAGE_HEIGHT);
    if (widthList == nullptr || heightList == nullptr)
        return 0;
    int width = dmParamsGetInt(widthList, DM_IMAGE_WIDTH);
    int height = dmParamsGetInt(heightList, DM_IMAGE_HEIGHT);
    // "Apple Video" codes the picture in 4 x 4 blocks; "MVC2" needs at least
    // one such block.
    if (std::strcmp(scheme, "Apple Video") == 0 && (width % 4 != 0 || height % 4 != 0))
        return failWithName(MV_ERR_IMAGE_SETTINGS, DM_IMAGE_COMPRESSION);
    if (std::strcmp(scheme, "MVC2") == 0 && (width < 4 || height < 4))
        return failWithName(MV_ERR_IMAGE_SETTINGS, DM_IMAGE_COMPRESSION);
    return 0;
}

}  // namespace cinelark::movie
