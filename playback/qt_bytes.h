// Bounds-checked byte access for the QuickTime coders.
//
// QtReader walks a compressed frame: every read past the end yields 0 and
// sets a sticky flag, so a decoder can test ok() once per code instead of
// before every byte. QtWriter appends to a caller's buffer and refuses (sets
// its flag) rather than write past the end. All values are big-endian, as
// QuickTime streams are.
#ifndef CINELARK_PLAYBACK_QT_BYTES_H
#define CINELARK_PLAYBACK_QT_BYTES_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace cinelark::playback {

class QtReader {
public:
    explicit QtReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint8_t u8() { return has(1) ? bytes_[pos_++] : fail(); }

    uint16_t u16()
    {
        if (!has(2))
            return fail();
        uint16_t v = uint16_t(bytes_[pos_] << 8 | bytes_[pos_ + 1]);
        pos_ += 2;
        return v;
    }

    uint32_t u24()
    {
        if (!has(3))
            return fail();
        uint32_t v = uint32_t(bytes_[pos_]) << 16 | uint32_t(bytes_[pos_ + 1]) << 8 |
                     uint32_t(bytes_[pos_ + 2]);
        pos_ += 3;
        return v;
    }

    uint32_t u32()
    {
        if (!has(4))
            return fail();
        uint32_t v = uint32_t(bytes_[pos_]) << 24 | uint32_t(bytes_[pos_ + 1]) << 16 |
                     uint32_t(bytes_[pos_ + 2]) << 8 | uint32_t(bytes_[pos_ + 3]);
        pos_ += 4;
        return v;
    }

    // The next n bytes, or nullptr (and the flag set) when fewer remain.
    const uint8_t *take(size_t n)
    {
        if (!has(n)) {
            fail();
            return nullptr;
        }
        const uint8_t *p = bytes_.data() + pos_;
        pos_ += n;
        return p;
    }

    // The next byte without consuming it; 0 at the end.
    uint8_t peek() const { return has(1) ? bytes_[pos_] : 0; }

    void skip(size_t n) { take(n); }
    bool has(size_t n) const { return ok_ && n <= bytes_.size() - pos_; }
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }
    size_t position() const { return pos_; }
    size_t remaining() const { return bytes_.size() - pos_; }

private:
    uint8_t fail()
    {
        ok_ = false;
        pos_ = bytes_.size();
        return 0;
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

class QtWriter {
public:
    explicit QtWriter(std::span<uint8_t> bytes) : bytes_(bytes) {}

    void u8(unsigned v)
    {
        if (room(1))
            bytes_[pos_++] = uint8_t(v);
    }

    void u16(unsigned v)
    {
        if (room(2)) {
            bytes_[pos_] = uint8_t(v >> 8);
            bytes_[pos_ + 1] = uint8_t(v);
            pos_ += 2;
        }
    }

    void u32(uint32_t v)
    {
        if (room(4)) {
            put32(pos_, v);
            pos_ += 4;
        }
    }

    // Red, green and blue bytes of a 0x00BBGGRR pixel word.
    void rgb(uint32_t pixel)
    {
        if (room(3)) {
            bytes_[pos_] = uint8_t(pixel);
            bytes_[pos_ + 1] = uint8_t(pixel >> 8);
            bytes_[pos_ + 2] = uint8_t(pixel >> 16);
            pos_ += 3;
        }
    }

    // Overwrites 4 bytes already written at offset.
    void patch32(size_t offset, uint32_t v)
    {
        if (ok_ && offset + 4 <= pos_)
            put32(offset, v);
    }

    bool ok() const { return ok_; }
    size_t size() const { return pos_; }

private:
    bool room(size_t n)
    {
        if (ok_ && n <= bytes_.size() - pos_)
            return true;
        ok_ = false;
        return false;
    }

    void put32(size_t at, uint32_t v)
    {
        bytes_[at] = uint8_t(v >> 24);
        bytes_[at + 1] = uint8_t(v >> 16);
        bytes_[at + 2] = uint8_t(v >> 8);
        bytes_[at + 3] = uint8_t(v);
    }

    std::span<uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace cinelark::playback

#endif
