// Building QuickTime atoms in memory: a growing buffer of big-endian fields
// and a stack of open atoms whose sizes are filled in when they close.
//
// The "moov" atom is rendered here whole and reaches the file in one write,
// so a failure while rendering leaves the file untouched.
#ifndef CINELARK_MOVIE_QUICKTIME_ATOM_WRITER_H
#define CINELARK_MOVIE_QUICKTIME_ATOM_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace cinelark::quicktime {

class AtomWriter {
public:
    // The deepest nesting the writer produces is six; the stack allows more.
    static constexpr size_t kMaxDepth = 32;

    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v)
    {
        u8(uint8_t(v >> 8));
        u8(uint8_t(v));
    }
    void u24(uint32_t v)
    {
        u8(uint8_t(v >> 16));
        u16(uint16_t(v));
    }
    void u32(uint32_t v)
    {
        u16(uint16_t(v >> 16));
        u16(uint16_t(v));
    }
    void code(std::string_view fourChars)
    {
        for (size_t i = 0; i < 4; ++i)
            u8(i < fourChars.size() ? uint8_t(fourChars[i]) : uint8_t(' '));
    }
    void zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void pascal(std::string_view text)
    {
        const size_t length = text.size() < 255 ? text.size() : 255;
        u8(uint8_t(length));
        bytes_.insert(bytes_.end(), text.begin(), text.begin() + length);
    }
    // A Pascal string in a fixed field, zero filled.
    void fixedPascal(std::string_view text, size_t field)
    {
        const size_t length = text.size() < field - 1 ? text.size() : field - 1;
        u8(uint8_t(length));
        bytes_.insert(bytes_.end(), text.begin(), text.begin() + length);
        zeros(field - 1 - length);
    }

    // Returns false when the stack is full.
    bool open(std::string_view type)
    {
        if (open_.size() == kMaxDepth)
            return false;
        open_.push_back(bytes_.size());
        u32(0);
        code(type);
        return true;
    }
    void close()
    {
        const size_t start = open_.back();
        open_.pop_back();
        const uint32_t size = uint32_t(bytes_.size() - start);
        for (int i = 0; i < 4; ++i)
            bytes_[start + i] = uint8_t(size >> (24 - 8 * i));
    }

    // Overwrites bytes already written (a count known only afterwards).
    void patch(size_t at, const std::vector<uint8_t> &with)
    {
        for (size_t i = 0; i < with.size(); ++i)
            bytes_[at + i] = with[i];
    }

    size_t depth() const { return open_.size(); }
    const std::vector<uint8_t> &bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> open_;
};

}  // namespace cinelark::quicktime

#endif
