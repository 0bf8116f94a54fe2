// Walking a system stream pack by pack and packet by packet (see demux.h).
#include "demux.h"

#include <algorithm>
#include <span>

namespace cinelark::mpeg {
namespace {

constexpr uint8_t kEndCode = 0xB9;
constexpr uint8_t kPackCode = 0xBA;
// The largest packet is 6 + 65535 bytes; the window holds a few of them so
// that most packets are read in one go.
constexpr size_t kWindow = 256 * 1024;
// At most this many stuffing bytes precede a packet's header fields.
constexpr int kMaxStuffing = 16;

bool IsVideo(int id) { return id >= 0xE0 && id <= 0xEF; }
bool IsAudio(int id) { return id >= 0xC0 && id <= 0xDF; }

// A sliding view of the source: Get hands out up to n bytes at an offset,
// fewer at the source's end, none when the source fails.
class Window {
public:
    Window(int64_t length, const ReadAt &read) : length_(length), read_(read), buffer_(kWindow) {}

    std::span<const uint8_t> Get(int64_t at, size_t n)
    {
        if (at < 0 || at >= length_ || failed_)
            return {};
        n = size_t(std::min<int64_t>(int64_t(n), length_ - at));
        if (at < start_ || at + int64_t(n) > start_ + int64_t(size_)) {
            start_ = at;
            size_ = size_t(std::min<int64_t>(int64_t(kWindow), length_ - at));
            if (!read_(start_, buffer_.data(), size_)) {
                failed_ = true;
                size_ = 0;
                return {};
            }
        }
        return {buffer_.data() + (at - start_), n};
    }

    bool failed() const { return failed_; }

private:
    int64_t length_;
    const ReadAt &read_;
    std::vector<uint8_t> buffer_;
    int64_t start_ = 0;
    size_t size_ = 0;
    bool failed_ = false;
};

bool IsPrefix(std::span<const uint8_t> b) { return b.size() >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 1; }

// The offset of the next 00 00 01 at or after at, or the source's length.
int64_t NextPrefix(Window &w, int64_t at, int64_t length)
{
    while (at + 3 <= length) {
        std::span<const uint8_t> b = w.Get(at, kWindow / 2);
        if (b.size() < 3)
            break;
        for (size_t i = 0; i + 2 < b.size(); ++i)
            if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1)
                return at + int64_t(i);
        at += int64_t(b.size()) - 2;
    }
    return length;
}

// A 33-bit time stamp from its five bytes (4 bits of tag, 3 + 15 + 15 bits
// of value split by marker bits).
int64_t ReadStamp(const uint8_t *p)
{
    return int64_t(p[0] >> 1 & 7) << 30 | int64_t(p[1] << 7 | p[2] >> 1) << 15 | int64_t(p[3] << 7 | p[4] >> 1);
}

// The size of a packet's header fields and its PTS (-1 when none); false
// when the fields are malformed. Packets of the later generation (marker
// bits 10) are read too, as some muxers mix them in.
bool ParseHeader(std::span<const uint8_t> p, size_t *size, int64_t *pts)
{
    size_t i = 0;
    *pts = -1;
    while (i < p.size() && p[i] == 0xFF && i < kMaxStuffing)
        ++i;
    if (i < p.size() && (p[i] & 0xC0) == 0x40)
        i += 2;  // buffer scale and size
    if (i >= p.size())
        return false;
    const uint8_t tag = p[i];
    if ((tag & 0xF0) == 0x20 && i + 5 <= p.size()) {
        *pts = ReadStamp(&p[i]);
        i += 5;
    } else if ((tag & 0xF0) == 0x30 && i + 10 <= p.size()) {
        *pts = ReadStamp(&p[i]);
        i += 10;
    } else if ((tag & 0xC0) == 0x80 && i + 3 <= p.size()) {
        const size_t fields = p[i + 2];
        if ((p[i + 1] & 0x80) != 0 && fields >= 5 && i + 8 <= p.size())
            *pts = ReadStamp(&p[i + 3]);
        i += 3 + fields;
    } else if (tag == 0x0F) {
        i += 1;
    } else {
        return false;
    }
    *size = i;
    return i <= p.size();
}

void Append(ElementaryStream *s, std::span<const uint8_t> data, int64_t pts)
{
    const int64_t begin = int64_t(s->bytes.size());
    if (pts >= 0 && s->stamps.size() < kMaxStamps)
        s->stamps.push_back({begin, begin + int64_t(data.size()), pts});
    s->bytes.insert(s->bytes.end(), data.begin(), data.end());
}

void Take(Program *out, int id, std::span<const uint8_t> data, int64_t pts)
{
    if (IsVideo(id)) {
        if (out->video.id < 0)
            out->video.id = id;
        if (id == out->video.id)
            Append(&out->video, data, pts);
        return;
    }
    if (out->audio.id < 0)
        out->audio.id = id;
    if (id == out->audio.id) {
        if (pts >= 0 || !out->audio.bytes.empty())
            Append(&out->audio, data, pts);
        return;
    }
    for (const OtherStream &o : out->otherAudio)
        if (o.id == id)
            return;
    out->otherAudio.push_back({id, {data.begin(), data.begin() + std::min(data.size(), kHeadBytes)}});
}

}  // namespace

bool IsPackHeader(const uint8_t *b, size_t size)
{
    return size >= 5 && b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == kPackCode &&
           ((b[4] & 0xF1) == 0x21 || (b[4] & 0xC4) == 0x44);
}

int64_t StampDifference(int64_t a, int64_t b)
{
    constexpr int64_t kWrap = int64_t(1) << 33;
    int64_t d = (a - b) % kWrap;
    if (d >= kWrap / 2)
        d -= kWrap;
    else if (d < -kWrap / 2)
        d += kWrap;
    return d;
}

void Demultiplex(int64_t length, const ReadAt &read, Program *out)
{
    Window w(length, read);
    // The pictures are most of a program: room for all of it up front
    // spares copying them as they grow (pages are only used as written).
    out->video.bytes.reserve(size_t(std::max<int64_t>(length, 0)));
    int64_t at = 0;
    while (at + 4 <= length) {
        std::span<const uint8_t> head = w.Get(at, 14);
        if (!IsPrefix(head) || head[3] < kEndCode) {
            // Stray bytes, and start codes of an elementary stream outside
            // any packet, are stepped over.
            at = NextPrefix(w, at + 1, length);
            continue;
        }
        const uint8_t code = head[3];
        if (code == kEndCode) {
            at += 4;
        } else if (code == kPackCode) {
            if (head.size() >= 12 && (head[4] & 0xF0) == 0x20)
                at += 12;
            else if (head.size() >= 14 && (head[4] & 0xC0) == 0x40)
                at += 14 + (head[13] & 7);
            else
                at += 4;
        } else {
            if (head.size() < 6)
                break;
            const size_t size = size_t(head[4]) << 8 | head[5];
            if (IsVideo(code) || IsAudio(code)) {
                std::span<const uint8_t> packet = w.Get(at + 6, size);
                size_t fields = 0;
                int64_t pts = -1;
                if (!w.failed() && ParseHeader(packet, &fields, &pts))
                    Take(out, code, packet.subspan(fields), pts);
            }
            at += 6 + int64_t(size);
        }
        if (w.failed())
            break;
    }
    out->readFailed = w.failed();
}

}  // namespace cinelark::mpeg
