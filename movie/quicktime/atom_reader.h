// Bounds-checked reading of QuickTime atoms held in memory.
//
// An AtomReader covers exactly the contents of one atom. Every field read
// counts against it; reading past its end, a child whose size is below 8 or
// runs past its parent, and bytes left over when an atom is closed are all
// structural faults (1003). Faults and refusals travel as a QtFault
// exception to the reader's entry point, which turns them into mvErrno and
// its detail: one failure anywhere ends the whole read at once.
#ifndef CINELARK_MOVIE_QUICKTIME_ATOM_READER_H
#define CINELARK_MOVIE_QUICKTIME_ATOM_READER_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "error.h"

namespace cinelark::quicktime {

// Four-character codes as big-endian words.
constexpr uint32_t fourcc(const char (&code)[5])
{
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}

struct QtFault {
    int error;
    const char *detail;  // empty for structural faults
};

[[noreturn]] inline void structuralFault()
{
    throw QtFault{MV_ERR_NOT_MOVIE, ""};
}

[[noreturn]] inline void unsupported(const char *detail)
{
    throw QtFault{MV_ERR_QT_UNSUPPORTED, detail};
}

class AtomReader;

struct Atom {
    uint32_t type;
    std::span<const uint8_t> body;
};

class AtomReader {
public:
    explicit AtomReader(std::span<const uint8_t> body) : bytes_(body) {}

    size_t remaining() const { return bytes_.size() - position_; }
    bool atEnd() const { return position_ == bytes_.size(); }

    uint8_t u8() { return uint8_t(take(1)); }
    uint16_t u16() { return uint16_t(take(2)); }
    uint32_t u24() { return uint32_t(take(3)); }
    uint32_t u32() { return uint32_t(take(4)); }

    void skip(size_t count)
    {
        if (count > remaining())
            structuralFault();
        position_ += count;
    }

    // A length byte and that many characters.
    std::string pascal()
    {
        const size_t length = u8();
        return text(length);
    }

    // A Pascal string in a fixed field of `field` bytes (compressor names).
    std::string fixedPascal(size_t field)
    {
        if (field == 0 || field > remaining())
            structuralFault();
        const size_t length = u8();
        if (length > field - 1)
            structuralFault();
        std::string value = text(length);
        skip(field - 1 - length);
        return value;
    }

    // The next child atom; its bytes count against this atom whole.
    Atom child()
    {
        const uint32_t size = u32();
        const uint32_t type = u32();
        if (size < 8 || size - 8 > remaining())
            structuralFault();
        Atom atom{type, bytes_.subspan(position_, size - 8)};
        position_ += size - 8;
        return atom;
    }

    // Closing the atom: everything in it must have been read or skipped.
    void close() const
    {
        if (!atEnd())
            structuralFault();
    }

    // Checks that `count` records of `recordSize` bytes fit in what is left,
    // before anything is allocated for them.
    void expectRecords(uint64_t count, size_t recordSize) const
    {
        if (count * recordSize > remaining())
            structuralFault();
    }

private:
    uint64_t take(size_t count)
    {
        if (count > remaining())
            structuralFault();
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i)
            value = value << 8 | bytes_[position_ + i];
        position_ += count;
        return value;
    }

    std::string text(size_t length)
    {
        if (length > remaining())
            structuralFault();
        std::string value(reinterpret_cast<const char *>(bytes_.data() + position_), length);
        position_ += length;
        return value;
    }

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

}  // namespace cinelark::quicktime

#endif
