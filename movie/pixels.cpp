// Image frames as 32-bit words for display: red in bits 0-7, green in 8-15,
// blue in 16-23, bits 24-31 zero (the layout the painter hands to GL).
//
//   1001  already in that layout: read straight into the caller's buffer;
//   1005  8-bit grey v becomes v x 0x010101 (one table lookup); rows as
//         stored;
//   1090  red and blue exchanged, top byte cleared; rows reversed, since the
//         layout stores the picture bottom up;
//   1091  5-5-5 with blue in bits 0-4: each 5-bit component c becomes
//         (c << 3) | (c >> 2), which maps 0 to 0 and 31 to 255; rows
//         reversed.
#include <array>
#include <cerrno>
#include <cstring>
#include <new>

#include <cinelark/movie.h>

#include "error.h"
#include "frames.h"
#include "model.h"

namespace {

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

// Grey level to word: v x 0x010101.
constexpr std::array<uint32_t, 256> makeGreyTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t v = 0; v < 256; v++)
        table[v] = v * 0x010101u;
    return table;
}
constexpr std::array<uint32_t, 256> kGreyToWord = makeGreyTable();

// Every 5-5-5 value to its word, so that a pixel costs one lookup instead
// of three expansions and shifts (256 KiB, computed by the compiler).
constexpr std::array<uint32_t, 65536> makeRgb555Table()
{
    std::array<uint32_t, 65536> table{};
    auto expand = [](uint32_t c) { return (c << 3) | (c >> 2); };
    for (uint32_t v = 0; v < 65536; v++) {
        uint32_t b = v & 0x1f, g = (v >> 5) & 0x1f, r = (v >> 10) & 0x1f;
        table[v] = expand(r) | expand(g) << 8 | expand(b) << 16;
    }
    return table;
}
constexpr std::array<uint32_t, 65536> kRgb555ToWord = makeRgb555Table();

// Converts a frame of stored pixels row by row, writing the rows in reverse
// order: one pass over the picture does both.
template <typename Pixel, typename Convert>
void convertRowsReversed(const uint8_t *in, uint32_t *out, int width, int height, Convert convert)
{
    for (int row = 0; row < height; row++) {
        const uint8_t *from = in + size_t(row) * size_t(width) * sizeof(Pixel);
        uint32_t *to = out + size_t(height - 1 - row) * size_t(width);
        for (int x = 0; x < width; x++) {
            Pixel v;
            std::memcpy(&v, from + size_t(x) * sizeof(Pixel), sizeof(Pixel));
            to[x] = convert(v);
        }
    }
}

}  // namespace

int __mvT_ReadRGBXImage(MVid id, int frame, size_t bufferSize, void *buffer)
{
    MVimageTrack *track = __mvFindImageTrack(id);
    if (track == nullptr)
        return -1;
    int width = dmParamsGetInt(track->params, DM_IMAGE_WIDTH);
    int height = dmParamsGetInt(track->params, DM_IMAGE_HEIGHT);
    size_t pixelCount = size_t(width) * size_t(height);
    if (buffer == nullptr || bufferSize < pixelCount * 4)
        return fail(EINVAL);
    auto *out = static_cast<uint32_t *>(buffer);

    switch (track->packing) {
    case DM_PACKING_RGBX:
        return __mvIT_ReadFrames(track, frame, 1, buffer);
    case DM_PACKING_XBGR:
    case DM_PACKING_GRAY:
    case DM_PACKING_RGB555: {
        try {
            if (track->conversion.size() < size_t(track->frameSize))
                track->conversion.resize(size_t(track->frameSize));
        } catch (const std::bad_alloc &) {
            return fail(MV_ERR_NO_MEMORY);
        }
        uint8_t *in = track->conversion.data();
        if (__mvIT_ReadFrames(track, frame, 1, in) != 0)
            return -1;
        if (track->packing == DM_PACKING_GRAY) {
            for (size_t i = 0; i < pixelCount; i++)
                out[i] = kGreyToWord[in[i]];
        } else if (track->packing == DM_PACKING_XBGR) {
            convertRowsReversed<uint32_t>(in, out, width, height, [](uint32_t v) {
                return (v >> 16 & 0xff) | (v & 0xff00) | (v & 0xff) << 16;
            });
        } else {
            convertRowsReversed<uint16_t>(in, out, width, height,
                                          [](uint16_t v) { return kRgb555ToWord[v]; });
        }
        return 0;
    }
    default:
        return fail(MV_ERR_IMAGE_FORMAT);
    }
}
