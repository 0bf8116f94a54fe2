// The three tables that translate between parameter names in version 3
// files and the library's parameter names, with the conversion each way.
#ifndef CINELARK_MOVIE_NATIVE_PARAM_TABLES_H
#define CINELARK_MOVIE_NATIVE_PARAM_TABLES_H

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cinelark::native {

// Working names that exist only while a file is read or written.
inline constexpr const char *kNumAudioTracks = "MV_NUM_ATRACKS";
inline constexpr const char *kNumImageTracks = "MV_NUM_ITRACKS";
inline constexpr const char *kDirCount = "DIR_COUNT";

enum class ReadAs {
    Drop,             // recognised and ignored
    Text,             // the value text as it is
    BinaryInt,        // four big-endian bytes, rendered as decimal
    ImageCodeToName,  // "10" -> "JPEG"
    AudioCodeToName,  // "100" -> "Uncompressed Audio"
    WidthCodeToBits,  // "2" -> "16"
    BinaryIntWidth,   // BinaryInt, then WidthCodeToBits
};

enum class WriteAs {
    None,
    Text,
    NameToImageCode,
    NameToAudioCode,
    BitsToWidthCode,
};

struct ParamRow {
    const char *fileName;
    const char *libraryName;  // null: the record is dropped
    int type;                 // DM_TYPE_*
    ReadAs read;
    WriteAs write;
};

std::span<const ParamRow> movieTable();
std::span<const ParamRow> imageTable();
std::span<const ParamRow> audioTable();

// The reading conversions other than BinaryInt (which needs the raw bytes)
// and Drop: a code not in its list is kept as it is.
std::string convertForReading(ReadAs how, std::string_view text);
// The writing conversions; nullopt for None.
std::optional<std::string> convertForWriting(WriteAs how, std::string_view text);

}  // namespace cinelark::native

#endif
