// "Apple Animation" (rle ) encoder at depth 24; see qtrle_decoder.cpp for
// the stream.
//
// A key frame codes every line from its first pixel. Other frames code only
// the range of lines that changed since the previous frame, and within a
// line step over pixels that did not change. Runs of 2 to 127 equal pixels
// become run codes, other pixels literal codes of up to 126 (a literal stops
// one short of the run length limit, where the format's writers stop).
// Pixels are equal when their red, green and blue agree; the top byte of a
// pixel word is ignored. Every pixel coded is copied into the previous frame,
// which therefore always holds what a decoder shows.
#include <algorithm>

#include "qt_bytes.h"
#include "quicktime_coders.h"

namespace cinelark::playback {

namespace {

constexpr int kMaxSkip = 254;
constexpr int kMaxRun = 127;

inline bool same(uint32_t a, uint32_t b) { return ((a ^ b) & 0x00FFFFFF) == 0; }

bool sameLine(const uint32_t *a, const uint32_t *b, int width)
{
    for (int x = 0; x < width; x++)
        if (!same(a[x], b[x]))
            return false;
    return true;
}

void encodeLine(QtWriter &out, const uint32_t *row, uint32_t *prev, int width, bool key)
{
    int x = 0;
    while (x < width) {
        int skip = 0;
        if (!key)
            while (skip < kMaxSkip && x + skip < width && same(row[x + skip], prev[x + skip]))
                skip++;
        out.u8(unsigned(skip + 1));
        x += skip;
        bool unchangedFollows = false;
        while (x < width && !unchangedFollows) {
            int remaining = width - x;
            int limit = std::min(remaining, kMaxRun);
            int run = 1;
            while (run < limit && same(row[x + run], row[x]))
                run++;
            if (run >= 2) {
                out.u8(unsigned(256 - run));
                out.rgb(row[x]);
                std::copy(row + x, row + x + run, prev + x);
                x += run;
                continue;
            }
            int n = 1;
            if (remaining >= 2) {
                n = 0;
                while (n < limit - 1) {
                    if (!key && same(row[x + n], prev[x + n])) {
                        unchangedFollows = true;
                        break;
                    }
                    if (same(row[x + n], row[x + n + 1]))
                        break;
                    n++;
                }
            }
            if (n == 0)
                continue;
            out.u8(unsigned(n));
            for (int i = 0; i < n; i++)
                out.rgb(row[x + i]);
            std::copy(row + x, row + x + n, prev + x);
            x += n;
        }
        if (x < width)
            out.u8(0);
    }
    out.u8(255);
}

}  // namespace

int encodeQtrle(int width, int height, const uint32_t *frame, uint32_t *previous, uint8_t *buffer,
                size_t bufferSize, int key, size_t *size)
{
    *size = 0;
    if (frame == nullptr || previous == nullptr || buffer == nullptr || width < 0 || height < 0 ||
        width > 0xFFFF || height > 0xFFFF)
        return kQtBadCode;
    QtWriter out({buffer, bufferSize});
    out.u32(0);
    const size_t w = size_t(width);
    int first = 0, end = height;
    if (!key) {
        while (first < height && sameLine(frame + first * w, previous + first * w, width))
            first++;
        end = first;
        for (int y = height; y > first; y--)
            if (!sameLine(frame + (y - 1) * w, previous + (y - 1) * w, width)) {
                end = y;
                break;
            }
    }
    if (first == 0 && end == height) {
        out.u16(0x0000);
    } else {
        out.u16(0x0008);
        out.u16(unsigned(first));
        out.u16(0);
        out.u16(unsigned(end - first));
        out.u16(unsigned(width) & 0xFFFF);
    }
    for (int y = first; y < end && out.ok(); y++)
        encodeLine(out, frame + y * w, previous + y * w, width, key != 0);
    out.u8(0);
    if (!out.ok())
        return kQtBufferTooSmall;
    out.patch32(0, uint32_t(out.size()));
    *size = out.size();
    return kQtOk;
}

}  // namespace cinelark::playback
