// A small JSON writer: just enough for mvinfo's objects, arrays, strings and
// numbers, with correct escaping.
#ifndef CINELARK_TOOLS_MVINFO_JSON_H
#define CINELARK_TOOLS_MVINFO_JSON_H

#include <string>
#include <string_view>

namespace mvinfo {

// The text as a JSON string literal, quotes included. Control characters
// are escaped; bytes that do not form valid UTF-8 are taken as Latin-1 and
// escaped as \u00XX, so the output is always valid JSON.
std::string jsonString(std::string_view text);
// A double as a JSON number; NaN and infinities (which JSON lacks) as null.
std::string jsonNumber(double value);

}  // namespace mvinfo

#endif
