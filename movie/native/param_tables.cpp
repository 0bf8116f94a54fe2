// The name tables of the version 3 format and the code lists behind their
// conversions. The rows are the format's own: names written by older
// versions of the library (the "MV_" forms, stored with binary integers) are
// read and dropped or translated, and only the newer text names are written.
#include "param_tables.h"

#include <cinelark/dmparams.h>

namespace cinelark::native {

namespace {

using R = ReadAs;
using W = WriteAs;
constexpr int kEnum = DM_TYPE_ENUM;
constexpr int kInt = DM_TYPE_INT;
constexpr int kString = DM_TYPE_STRING;
constexpr int kFloat = DM_TYPE_FLOAT;

constexpr ParamRow kMovieTable[] = {
    {"MV_MAXWIDTH", nullptr, kInt, R::Drop, W::None},
    {"MV_MAXHEIGHT", nullptr, kInt, R::Drop, W::None},
    {"MV_MAXFPS", nullptr, kFloat, R::Drop, W::None},
    {"MV_NUMATRACKS", kNumAudioTracks, kInt, R::BinaryInt, W::None},
    {"MV_NUMITRACKS", kNumImageTracks, kInt, R::BinaryInt, W::None},
    {"MV_FRAME_COUNT", nullptr, kInt, R::Drop, W::None},
    {"MV_MVSMPTE_START", "SMPTE_START", kString, R::Text, W::None},
    {"MV_MVNUMLOOPS", "LOOP_LIMIT", kInt, R::BinaryInt, W::None},
    {"MV_MVLOOP_MODE", "LOOP_MODE", kEnum, R::BinaryInt, W::None},
    {"MV_MVLOCATION", nullptr, kInt, R::Drop, W::None},
    {"FILE_FORMAT", nullptr, kEnum, R::Drop, W::None},
    {"NUM_LOOPS", "LOOP_LIMIT", kInt, R::Text, W::Text},
    {"LOOP_MODE", "LOOP_MODE", kEnum, R::Text, W::Text},
    {"TITLE", "TITLE", kString, R::Text, W::Text},
    {"COMMENT", "COMMENT", kString, R::Text, W::Text},
    {"OPTIMIZED", "OPTIMIZED", kInt, R::Text, W::Text},
    {"__NUM_A_TRACKS", kNumAudioTracks, kInt, R::Text, W::Text},
    {"__NUM_I_TRACKS", kNumImageTracks, kInt, R::Text, W::Text},
};

constexpr ParamRow kImageTable[] = {
    {"MV_FRAME_COUNT", kDirCount, kInt, R::BinaryInt, W::None},
    {"MV_SMPTE_START", "SMPTE_START", kString, R::Text, W::None},
    {"MV_NUMLOOPS", nullptr, kInt, R::Drop, W::None},
    {"MV_LOOP_MODE", nullptr, kEnum, R::Drop, W::None},
    {"MV_COMPRESSION", "DM_IMAGE_COMPRESSION", kString, R::ImageCodeToName, W::None},
    {"MV_FILE_NAME", nullptr, kString, R::Drop, W::None},
    {"MV_WIDTH", "DM_IMAGE_WIDTH", kInt, R::BinaryInt, W::None},
    {"MV_HEIGHT", "DM_IMAGE_HEIGHT", kInt, R::BinaryInt, W::None},
    {"MV_MOVIE_TYPE", nullptr, kEnum, R::Drop, W::None},
    {"MV_SHOW_TYPE", nullptr, kEnum, R::Drop, W::None},
    {"MV_DATA_FORMAT", nullptr, kEnum, R::Drop, W::None},
    {"TRACK_TYPE", nullptr, kEnum, R::Drop, W::None},
    {"COMPRESSION", "DM_IMAGE_COMPRESSION", kString, R::ImageCodeToName, W::NameToImageCode},
    {"LENGTH", nullptr, kInt, R::Drop, W::None},
    {"SAMPLE_FORMAT", nullptr, kEnum, R::Drop, W::None},
    {"SAMPLE_SIZE", nullptr, kInt, R::Drop, W::None},
    {"__DIR_COUNT", kDirCount, kInt, R::Text, W::Text},
    {"WIDTH", "DM_IMAGE_WIDTH", kInt, R::Text, W::Text},
    {"HEIGHT", "DM_IMAGE_HEIGHT", kInt, R::Text, W::Text},
    {"FPS", "DM_IMAGE_RATE", kFloat, R::Text, W::Text},
    {"IMAGE_CSIZE", nullptr, kInt, R::Drop, W::None},
    {"PACKING", "DM_IMAGE_PACKING", kEnum, R::Text, W::Text},
    {"ORIENTATION", "DM_IMAGE_ORIENTATION", kEnum, R::Text, W::Text},
    {"INTERLACING", "DM_IMAGE_INTERLACING", kEnum, R::Text, W::Text},
    {"SMPTE_START", "SMPTE_START", kString, R::Text, W::Text},
};

constexpr ParamRow kAudioTable[] = {
    {"MV_FRAME_COUNT", kDirCount, kInt, R::BinaryInt, W::None},
    {"MV_SMPTE_START", "SMPTE_START", kString, R::Text, W::None},
    {"MV_NUMLOOPS", nullptr, kInt, R::Drop, W::None},
    {"MV_LOOP_MODE", nullptr, kEnum, R::Drop, W::None},
    {"MV_COMPRESSION", "DM_AUDIO_COMPRESSION", kString, R::AudioCodeToName, W::None},
    {"MV_FILE_NAME", nullptr, kString, R::Drop, W::None},
    {"MV_ASAMPLE_SIZE", "DM_AUDIO_WIDTH", kInt, R::BinaryIntWidth, W::None},
    {"MV_ASAMPLE_RATE", "DM_AUDIO_RATE", kFloat, R::Text, W::None},
    {"MV_ASAMPLE_FRMT", nullptr, kEnum, R::Drop, W::None},
    {"MV_ANUM_CHANNELS", "DM_AUDIO_CHANNELS", kInt, R::BinaryInt, W::None},
    {"MV_AFRAME_SAMPLE", nullptr, kInt, R::Drop, W::None},
    {"MV_DEFAULT_VOL", "DEFAULT_VOL", kFloat, R::Text, W::None},
    {"MV_DATA_FORMAT", nullptr, kEnum, R::Drop, W::None},
    {"TRACK_TYPE", nullptr, kEnum, R::Drop, W::None},
    {"COMPRESSION", "DM_AUDIO_COMPRESSION", kString, R::AudioCodeToName, W::NameToAudioCode},
    {"LENGTH", nullptr, kInt, R::Drop, W::None},
    {"SAMPLE_FORMAT", nullptr, kEnum, R::Drop, W::None},
    {"SAMPLE_SIZE", nullptr, kInt, R::Drop, W::None},
    {"__DIR_COUNT", kDirCount, kInt, R::Text, W::Text},
    {"SAMPLE_WIDTH", "DM_AUDIO_WIDTH", kInt, R::WidthCodeToBits, W::BitsToWidthCode},
    {"SAMPLE_RATE", "DM_AUDIO_RATE", kFloat, R::Text, W::Text},
    {"NUM_CHANNELS", "DM_AUDIO_CHANNELS", kInt, R::Text, W::Text},
    {"DEFAULT_VOL", "DEFAULT_VOL", kFloat, R::Text, W::Text},
    {"AUDIO_FORMAT", "DM_AUDIO_FORMAT", kEnum, R::Text, W::Text},
    {"SMPTE_START", "SMPTE_START", kString, R::Text, W::Text},
};

struct CodePair {
    std::string_view code;
    std::string_view name;
};

// Compression codes stored by the format, and the sample width codes (bytes
// per sample).
constexpr CodePair kImageCodes[] = {
    {"1", "MVC1"},      {"2", "Uncompressed Video"}, {"3", "RLE"},
    {"4", "MPEG Video"}, {"5", "8RGB"},               {"6", "Apple Video"},
    {"7", "Apple Animation"}, {"10", "JPEG"},
};
constexpr CodePair kAudioCodes[] = {{"100", "Uncompressed Audio"}};
constexpr CodePair kWidthCodes[] = {{"1", "8"}, {"2", "16"}};

template <size_t N>
std::string codeToName(const CodePair (&list)[N], std::string_view text)
{
    for (const CodePair &pair : list)
        if (pair.code == text)
            return std::string(pair.name);
    return std::string(text);
}

template <size_t N>
std::string nameToCode(const CodePair (&list)[N], std::string_view text)
{
    for (const CodePair &pair : list)
        if (pair.name == text)
            return std::string(pair.code);
    return std::string(text);
}

}  // namespace

std::span<const ParamRow> movieTable()
{
    return kMovieTable;
}

std::span<const ParamRow> imageTable()
{
    return kImageTable;
}

std::span<const ParamRow> audioTable()
{
    return kAudioTable;
}

std::string convertForReading(ReadAs how, std::string_view text)
{
    switch (how) {
    case ReadAs::ImageCodeToName:
        return codeToName(kImageCodes, text);
    case ReadAs::AudioCodeToName:
        return codeToName(kAudioCodes, text);
    case ReadAs::WidthCodeToBits:
    case ReadAs::BinaryIntWidth:
        return codeToName(kWidthCodes, text);
    default:
        return std::string(text);
    }
}

std::optional<std::string> convertForWriting(WriteAs how, std::string_view text)
{
    switch (how) {
    case WriteAs::None:
        return std::nullopt;
    case WriteAs::NameToImageCode:
        return nameToCode(kImageCodes, text);
    case WriteAs::NameToAudioCode:
        return nameToCode(kAudioCodes, text);
    case WriteAs::BitsToWidthCode:
        return nameToCode(kWidthCodes, text);
    case WriteAs::Text:
        break;
    }
    return std::string(text);
}

}  // namespace cinelark::native
