// The system stream demultiplexer over hand-made packs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mpeg/system/demux.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace cinelark::mpeg;

const Bytes kPack1 = {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0, 1};
const Bytes kPack2 = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 0, 0, 3, 0xFA, 0xFF, 0xFF};  // 2 stuffing bytes

// A time stamp's five bytes under a 4-bit tag, marker bits set.
Bytes Stamp(int tag, int64_t pts)
{
    return {uint8_t(tag << 4 | (pts >> 29 & 0x0E) | 1), uint8_t(pts >> 22), uint8_t((pts >> 14 & 0xFE) | 1),
            uint8_t(pts >> 7), uint8_t((pts << 1 & 0xFE) | 1)};
}

Bytes Packet(int id, const Bytes &fields, const std::string &data)
{
    const size_t size = fields.size() + data.size();
    Bytes p = {0, 0, 1, uint8_t(id), uint8_t(size >> 8), uint8_t(size)};
    p.insert(p.end(), fields.begin(), fields.end());
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

constexpr int64_t kHigh = 0x1ABCDEF12;  // uses all 33 bits
const Bytes kMpeg1Pts = Join({{0xFF, 0xFF, 0x40, 0x20}, Stamp(2, kHigh)});  // stuffing, buffer size, PTS

TEST(Demux, SplitsTheStreamsAndTakesStampDifferencesAcrossTheWrap)
{
    const struct {
        const char *name;
        Bytes file;
        std::string video, audio;
        int64_t videoPts, audioPts;  // -1: none
    } cases[] = {
        {"mpeg1 headers", Join({kPack1, Packet(0xE0, kMpeg1Pts, "vid"), Packet(0xC0, Join({Stamp(3, 7), Stamp(1, 5)}), "aud"),
                                Packet(0xBE, {}, "pad"), Packet(0xE0, {0x0F}, "eo")}),
         "video", "aud", kHigh, 7},
        {"mpeg2 headers", Join({kPack2, Packet(0xE1, Join({{0x81, 0x80, 5}, Stamp(2, 90000)}), "ab"),
                                Packet(0xC0, {0x81, 0, 0}, "x")}),
         "ab", "", 90000, -1},
        {"stray bytes and end codes", Join({{9, 0, 0, 1, 0xB3, 0, 0, 1}, kPack1, {0, 0, 1, 0xB9, 7},
                                            Packet(0xE0, {0x0F}, "v")}),
         "v", "", -1, -1},
        {"sound before its stamp left out", Join({Packet(0xC0, {0x0F}, "early"), Packet(0xC0, Stamp(2, 3), "on"),
                                                  Packet(0xC0, {0x0F}, "!")}),
         "", "on!", -1, 3},
        {"cut in a packet", Join({kPack1, Packet(0xE0, {0x0F}, "whole"), Bytes{0, 0, 1, 0xE0, 0, 9, 0x0F, 'c'}}),
         "wholec", "", -1, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Program p;
        Demultiplex(int64_t(c.file.size()), [&](int64_t at, uint8_t *out, size_t n) {
            std::memcpy(out, c.file.data() + at, n);
            return true;
        }, &p);
        EXPECT_EQ(std::string(p.video.bytes.begin(), p.video.bytes.end()), c.video);
        EXPECT_EQ(std::string(p.audio.bytes.begin(), p.audio.bytes.end()), c.audio);
        EXPECT_EQ(p.video.stamps.empty() ? -1 : p.video.stamps[0].pts, c.videoPts);
        EXPECT_EQ(p.audio.stamps.empty() ? -1 : p.audio.stamps[0].pts, c.audioPts);
    }
    // Differences of stamps cross the wrap.
    constexpr int64_t kWrap = int64_t(1) << 33;
    EXPECT_EQ(StampDifference(5, kWrap - 5), 10);
    EXPECT_EQ(StampDifference(kWrap - 5, 5), -10);
    EXPECT_EQ(StampDifference(90000, 3000), 87000);
}

}  // namespace
