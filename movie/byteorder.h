// Conversions between the big-endian values of movie files and native
// values, in place over whole frames.
#ifndef CINELARK_MOVIE_BYTEORDER_H
#define CINELARK_MOVIE_BYTEORDER_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cinelark::movie {

// Turns count big-endian 16-bit values into native ones, or back (the same
// operation both ways).
inline void swap16(void *data, size_t count)
{
    if constexpr (std::endian::native == std::endian::big)
        return;
    auto *bytes = static_cast<uint8_t *>(data);
    for (size_t i = 0; i < count; i++) {
        uint8_t t = bytes[2 * i];
        bytes[2 * i] = bytes[2 * i + 1];
        bytes[2 * i + 1] = t;
    }
}

inline void swap32(void *data, size_t count)
{
    if constexpr (std::endian::native == std::endian::big)
        return;
    auto *bytes = static_cast<uint8_t *>(data);
    for (size_t i = 0; i < count; i++) {
        uint32_t v;
        std::memcpy(&v, bytes + 4 * i, 4);
        v = __builtin_bswap32(v);
        std::memcpy(bytes + 4 * i, &v, 4);
    }
}

}  // namespace cinelark::movie

#endif
