// Builders of native movie files byte by byte.
#ifndef CINELARK_TESTS_MOVIE_NATIVE_BYTES_H
#define CINELARK_TESTS_MOVIE_NATIVE_BYTES_H

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace native_bytes {

using Bytes = std::vector<uint8_t>;

inline void put32(Bytes &b, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(uint8_t(v >> shift));
}

inline void set32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (24 - 8 * i));
}

inline void set16(Bytes &b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

inline void append(Bytes &b, const Bytes &more)
{
    b.insert(b.end(), more.begin(), more.end());
}

// A version 3 record whose value is raw bytes (the older binary integer
// values): name field of 16 bytes (name, zero, spaces), value length, value.
inline Bytes rawRecord(const std::string &name, const Bytes &value)
{
    Bytes b(16, ' ');
    std::memcpy(b.data(), name.data(), name.size());
    if (name.size() < 16)
        b[name.size()] = 0;
    put32(b, uint32_t(value.size()));
    append(b, value);
    return b;
}

// A record of text: the value and its length count its terminating zero.
inline Bytes record(const std::string &name, const std::string &text)
{
    Bytes value(text.begin(), text.end());
    value.push_back(0);
    return rawRecord(name, value);
}

// Big-endian 32-bit words.
inline Bytes words(std::initializer_list<uint32_t> values)
{
    Bytes b;
    for (uint32_t v : values)
        put32(b, v);
    return b;
}

inline Bytes v3Header(uint32_t records)
{
    Bytes b = {'M', 'O', 'V', 'I'};
    append(b, words({3, 0, 0, records, 0}));
    return b;
}

inline Bytes entry(uint32_t offset, uint32_t size, uint32_t records = 0) { return words({offset, size, records, 0}); }

// The fields of a version 1 or 2 header that the reader uses.
struct V12Header {
    uint16_t version = 2;
    int16_t width = 2;
    int16_t height = 1;
    double rate = 15.0;
    uint16_t audio = 1;
    uint32_t indexCount = 0;
    uint32_t compression = 2;
    int32_t loopMode = 0;
    int32_t channels = 1;
};

inline Bytes v12Header(const V12Header &h)
{
    Bytes b(592, 0);
    std::memcpy(b.data(), "MOVI", 4);
    set16(b, 4, h.version);
    set16(b, 6, uint16_t(h.width));
    set16(b, 8, uint16_t(h.height));
    uint64_t rate;
    std::memcpy(&rate, &h.rate, 8);
    for (int i = 0; i < 8; ++i)
        b[16 + i] = uint8_t(rate >> (56 - 8 * i));
    set16(b, 24, h.audio);
    set32(b, 28, h.indexCount);
    set32(b, 32, h.compression);
    set32(b, 52, uint32_t(h.loopMode));
    set32(b, 56, 8000);  // sound rate
    set32(b, 60, 1);     // bytes per sample
    set32(b, 68, uint32_t(h.channels));
    return b;
}

inline Bytes indexRecord(uint32_t chunk, uint32_t audioBytes, uint32_t imageBytes)
{
    return words({chunk, audioBytes, imageBytes, 0, 0});
}

}  // namespace native_bytes

#endif
