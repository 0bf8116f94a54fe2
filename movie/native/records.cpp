// Reading and writing version 3 parameter records.
#include "records.h"

#include "error.h"
#include "native.h"
#include "stream.h"
#include "user_params.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace cinelark::native {

namespace {

// Longest value a record may hold. Values are settings and short texts; a
// larger length is a damaged file, refused before anything is allocated.
constexpr uint32_t kMaxValueLength = 1u << 20;

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

std::string_view trimLeadingSpace(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    return text;
}

// Stores one converted value under a library name with the row's type.
int store(DMparams *list, const char *name, int type, const std::string &text)
{
    std::string_view digits = trimLeadingSpace(text);
    const char *first = digits.data();
    const char *last = first + digits.size();
    int result;
    switch (type) {
    case DM_TYPE_ENUM:
    case DM_TYPE_INT: {
        int value = 0;
        if (std::from_chars(first, last, value).ec != std::errc())
            return fail(MV_ERR_NOT_MOVIE);
        result = type == DM_TYPE_ENUM ? dmParamsSetEnum(list, name, value) : dmParamsSetInt(list, name, value);
        break;
    }
    case DM_TYPE_FLOAT: {
        double value = 0;
        if (std::from_chars(first, last, value).ec != std::errc())
            return fail(MV_ERR_NOT_MOVIE);
        result = dmParamsSetFloat(list, name, value);
        break;
    }
    case DM_TYPE_STRING:
        result = dmParamsSetString(list, name, text.c_str());
        break;
    default:
        return fail(MV_ERR_NOT_MOVIE);
    }
    return result == 0 ? 0 : fail(MV_ERR_NO_MEMORY);
}

// The value's text: up to its first zero byte, or all of it when it has
// none.
std::string valueText(const std::vector<uint8_t> &value)
{
    if (value.empty())
        return {};
    const auto *bytes = reinterpret_cast<const char *>(value.data());
    const void *zero = std::memchr(bytes, 0, value.size());
    return std::string(bytes, zero ? static_cast<const char *>(zero) - bytes : value.size());
}

// The binary integer conversion: four big-endian bytes as decimal text.
bool binaryIntText(const std::vector<uint8_t> &value, std::string &text)
{
    ByteReader reader(value);
    const int32_t number = reader.i32();
    if (!reader.ok())
        return false;
    text = std::to_string(number);
    return true;
}

// The text of an element as the format stores it: "%d" for integers, "%f"
// for floats, strings as they are.
std::string renderValue(const DMparams *list, const char *name, int type)
{
    switch (type) {
    case DM_TYPE_ENUM:
    case DM_TYPE_INT:
        return std::to_string(dmParamsGetInt(list, name));
    case DM_TYPE_FLOAT: {
        char text[400];
        auto [end, ec] = std::to_chars(text, text + sizeof text, dmParamsGetFloat(list, name),
                                       std::chars_format::fixed, 6);
        return ec == std::errc() ? std::string(text, end) : std::string();
    }
    case DM_TYPE_STRING: {
        const char *s = dmParamsGetString(list, name);
        return s ? s : "";
    }
    default:
        return {};
    }
}

// Names of 16 characters ("MV_ANUM_CHANNELS") fill the whole name field of
// older files, and reading forces the field's last byte to zero; such a row
// is therefore found by its first 15 characters.
bool sameStoredName(const std::string &stored, std::string_view rowName)
{
    return stored == rowName.substr(0, kV3NameField - 1);
}

void emitRecord(ByteWriter &out, std::string_view name, const std::string &text)
{
    char field[kV3NameField];
    std::memset(field, ' ', sizeof field);
    std::memcpy(field, name.data(), name.size());
    field[name.size()] = '\0';
    out.bytes(field, sizeof field);
    out.u32(static_cast<uint32_t>(text.size() + 1));
    out.bytes(text.c_str(), text.size() + 1);
}

}  // namespace

int StreamCursor::start(MVstream *stream)
{
    stream_ = stream;
    int64_t position = 0, length = 0;
    if (__mvS_Seek(stream, 0, SEEK_CUR, &position) != 0 || __mvS_Length(stream, &length) != 0)
        return -1;
    position_ = static_cast<uint64_t>(position);
    length_ = static_cast<uint64_t>(length);
    if (position_ > length_)
        return fail(MV_ERR_NOT_MOVIE);
    return 0;
}

int StreamCursor::read(void *buffer, size_t count)
{
    if (count > remaining())
        return fail(MV_ERR_NOT_MOVIE);
    if (__mvS_Read(stream_, buffer, count) != 0)
        return -1;
    position_ += count;
    return 0;
}

int StreamCursor::read(std::vector<uint8_t> &buffer, size_t count)
{
    if (count > remaining())
        return fail(MV_ERR_NOT_MOVIE);
    buffer.resize(count);
    return read(buffer.data(), count);
}

int readRecords(StreamCursor &cursor, uint32_t count, std::span<const ParamRow> table, DMparams *list)
{
    // Every record takes at least its fixed part, so a count the rest of the
    // file cannot hold is refused before anything is read.
    if (uint64_t(count) * kV3RecordHeaderSize > cursor.remaining())
        return fail(MV_ERR_NOT_MOVIE);
    std::vector<uint8_t> value;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t head[kV3RecordHeaderSize];
        if (cursor.read(head, sizeof head) != 0)
            return -1;
        head[kV3NameField - 1] = 0;
        const std::string name(reinterpret_cast<const char *>(head));
        ByteReader reader(std::span<const uint8_t>(head).subspan(kV3NameField));
        const uint32_t length = reader.u32();
        if (name.empty() || length > kMaxValueLength)
            return fail(MV_ERR_NOT_MOVIE);
        if (cursor.read(value, length) != 0)
            return -1;
        const std::string text = valueText(value);

        bool known = false;
        for (const ParamRow &row : table) {
            if (!sameStoredName(name, row.fileName))
                continue;
            known = true;
            if (row.read == ReadAs::Drop || !row.libraryName)
                continue;
            std::string converted;
            if (row.read == ReadAs::BinaryInt || row.read == ReadAs::BinaryIntWidth) {
                if (!binaryIntText(value, converted))
                    return fail(MV_ERR_NOT_MOVIE);
                converted = convertForReading(row.read, converted);
            } else {
                converted = convertForReading(row.read, text);
            }
            if (store(list, row.libraryName, row.type, converted) != 0)
                return -1;
        }
        if (!known) {
            if (__mvUP_Add(name.c_str()) != 0)
                return -1;
            if (dmParamsSetString(list, name.c_str(), text.c_str()) != 0)
                return fail(MV_ERR_NO_MEMORY);
        }
    }
    return 0;
}

int writeRecords(const DMparams *list, std::span<const ParamRow> table, ByteWriter &out, uint32_t *count,
                 int nameError)
{
    const int elements = dmParamsGetNumElems(list);
    for (int i = 0; i < elements; ++i) {
        const char *name = dmParamsGetElem(list, i);
        const std::string text = renderValue(list, name, dmParamsGetElemType(list, i));
        bool written = false;
        for (const ParamRow &row : table) {
            if (!row.libraryName || std::strcmp(row.libraryName, name) != 0)
                continue;
            if (auto converted = convertForWriting(row.write, text)) {
                emitRecord(out, row.fileName, *converted);
                ++*count;
                written = true;
            }
        }
        if (!written && __mvUP_IsRegistered(name)) {
            if (std::strlen(name) >= kV3NameField) {
                __mvSetErrorWithDetail(nameError, name);
                return -1;
            }
            emitRecord(out, name, text);
            ++*count;
        }
    }
    return 0;
}

}  // namespace cinelark::native
