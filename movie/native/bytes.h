// Big-endian field access for the native file format: a bounds-checked
// reader over a span of bytes and an appending writer.
//
// The reader never reads outside its span. A read past the end yields 0 and
// sets the failed flag, which stays set, so a parser reads a whole structure
// and checks ok() once.
#ifndef CINELARK_MOVIE_NATIVE_BYTES_H
#define CINELARK_MOVIE_NATIVE_BYTES_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cinelark::native {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return !failed_; }
    size_t position() const { return position_; }
    size_t remaining() const { return bytes_.size() - position_; }

    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    int16_t i16() { return static_cast<int16_t>(u16()); }
    uint32_t u32() { return static_cast<uint32_t>(take(4)); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    double f64() { return std::bit_cast<double>(take(8)); }

    // The bytes at an absolute position; an empty span and the failed flag
    // when they do not lie inside.
    std::span<const uint8_t> bytesAt(size_t at, size_t count)
    {
        if (at > bytes_.size() || count > bytes_.size() - at) {
            failed_ = true;
            return {};
        }
        return bytes_.subspan(at, count);
    }

    void skip(size_t count)
    {
        if (count > remaining()) {
            failed_ = true;
            position_ = bytes_.size();
            return;
        }
        position_ += count;
    }

    void seek(size_t at)
    {
        if (at > bytes_.size()) {
            failed_ = true;
            return;
        }
        position_ = at;
    }

private:
    uint64_t take(size_t count)
    {
        if (failed_ || count > remaining()) {
            failed_ = true;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i)
            value = value << 8 | bytes_[position_ + i];
        position_ += count;
        return value;
    }

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    bool failed_ = false;
};

class ByteWriter {
public:
    void u32(uint32_t v)
    {
        const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        bytes_.insert(bytes_.end(), b, b + 4);
    }
    void bytes(const void *data, size_t count)
    {
        const uint8_t *p = static_cast<const uint8_t *>(data);
        bytes_.insert(bytes_.end(), p, p + count);
    }
    void fill(uint8_t value, size_t count) { bytes_.insert(bytes_.end(), count, value); }
    void append(const ByteWriter &other) { bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end()); }

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t> &data() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace cinelark::native

#endif
