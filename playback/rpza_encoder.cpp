// "Apple Video" (rpza) encoder at spatial and temporal quality 512.
//
// Each 4 x 4 block becomes one code (see rpza_decoder.cpp for the stream):
// a one-block skip (0x80) when it differs from the previous frame by at most
// kTemporalThreshold summed over its pixels' red, green and blue; a single
// colour (0xA0 and the colour) when its pixels do not split into two
// different colours; otherwise a four-colour block written as colour A, colour
// B with bit 15 set, and 16 complemented 2-bit indices. Quality 512 gives a
// spatial threshold of 1, so any two different endpoint colours make a
// four-colour block, and no sixteen-colour block is ever written.
#include <cstdlib>

#include "qt_bytes.h"
#include "quicktime_coders.h"

namespace cinelark::playback {

namespace {

constexpr int kTemporalThreshold = 60;
constexpr int kSpatialThreshold = 1;

struct Colour {
    int r, g, b;
};

Colour split(uint32_t p) { return {int(p & 0xFF), int((p >> 8) & 0xFF), int((p >> 16) & 0xFF)}; }

// The luma weights of the format's encoders: 5 red, 9 green, 2 blue.
int luma(Colour c) { return 5 * c.r + 9 * c.g + 2 * c.b; }

unsigned to555(Colour c) { return unsigned(c.r >> 3) << 10 | unsigned(c.g >> 3) << 5 | unsigned(c.b >> 3); }

bool unchanged(const uint32_t *p, const uint32_t *q, int width)
{
    int sum = 0;
    for (int y = 0; y < 4; y++, p += width, q += width)
        for (int x = 0; x < 4; x++) {
            Colour a = split(p[x]), b = split(q[x]);
            sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
    return sum <= kTemporalThreshold;
}

// Moves component a away from b by an eighth of their distance, and b away
// from a, unless either would leave 0 ... 255.
void spread(int &a, int &b)
{
    int d = (b - a) / 8;
    if (a - d >= 0 && a - d <= 255 && b + d >= 0 && b + d <= 255) {
        a -= d;
        b += d;
    }
}

void encodeBlock(QtWriter &out, const uint32_t *p, int width)
{
    Colour px[16];
    int lumas[16];
    int total = 0;
    for (int k = 0; k < 16; k++) {
        px[k] = split(p[(k >> 2) * width + (k & 3)]);
        lumas[k] = luma(px[k]);
        total += lumas[k];
    }
    // The groups split at the block's mean luma: pixels above it are bright.
    int sum[2][3] = {};
    int count[2] = {};
    for (int k = 0; k < 16; k++) {
        int g = lumas[k] * 16 > total;
        sum[g][0] += px[k].r;
        sum[g][1] += px[k].g;
        sum[g][2] += px[k].b;
        count[g]++;
    }
    if (count[0] == 0 || count[1] == 0) {
        int g = count[0] == 0;
        out.u8(0xA0);
        out.u16(to555({sum[g][0] / 16, sum[g][1] / 16, sum[g][2] / 16}));
        return;
    }
    Colour a{sum[0][0] / count[0], sum[0][1] / count[0], sum[0][2] / count[0]};
    Colour b{sum[1][0] / count[1], sum[1][1] / count[1], sum[1][2] / count[1]};
    if (std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) < kSpatialThreshold) {
        out.u8(0xA0);
        out.u16(to555({(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2}));
        return;
    }
    spread(a.r, b.r);
    spread(a.g, b.g);
    spread(a.b, b.b);
    int la = luma(a), lb = luma(b);
    int mid = (la + lb) >> 1;
    int qa = (3 * la + mid) >> 2;
    int qb = (3 * lb + mid) >> 2;
    uint32_t indices = 0;
    for (int k = 0; k < 16; k++) {
        unsigned v = lumas[k] > mid ? 2u + (lumas[k] > qb) : unsigned(lumas[k] > qa);
        indices = indices << 2 | v;
    }
    out.u16(to555(a));
    out.u16(to555(b) | 0x8000);
    out.u32(~indices);
}

}  // namespace

int encodeRpza(int width, int height, const uint32_t *frame, const uint32_t *previous,
               uint8_t *buffer, size_t bufferSize, int key, size_t *size)
{
    *size = 0;
    if (frame == nullptr || buffer == nullptr || width < 0 || height < 0)
        return kQtBadCode;
    QtWriter out({buffer, bufferSize});
    out.u32(0);
    const bool temporal = !key && previous != nullptr;
    for (int by = 0; by + 4 <= height; by += 4) {
        for (int bx = 0; bx + 4 <= width; bx += 4) {
            size_t origin = size_t(by) * size_t(width) + size_t(bx);
            if (temporal && unchanged(frame + origin, previous + origin, width))
                out.u8(0x80);
            else
                encodeBlock(out, frame + origin, width);
        }
        if (!out.ok())
            return kQtBufferTooSmall;
    }
    if (!out.ok() || out.size() > 0xFFFFFF)
        return kQtBufferTooSmall;
    out.patch32(0, 0xE1000000u | uint32_t(out.size()));
    *size = out.size();
    return kQtOk;
}

}  // namespace cinelark::playback
