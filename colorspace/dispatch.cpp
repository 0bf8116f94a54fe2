// The public entry points: csConvert picks a converter from the 8 x 8 table
// or copies between equal layouts, and the three switch setters.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <vector>

#include "cinelark/colorspace.h"
#include "converters.h"
#include "pixel.h"
#include "switches.h"

namespace cinelark::cs {

std::atomic<int> CS_flipVertically{0};
std::atomic<int> CS_fast{0};
std::atomic<int> CS_zoomX{0};
std::atomic<int> CS_zoomY{0};

// clang-format off
Converter* const kConverters[8][8] = {
    {nullptr, RGBToRGBX, RGBToRGBA, RGBToRGB332, RGBToGrayscale, RGBToYUV, RGBToYUV422, RGBToYUV422HC},
    {RGBXToRGB, nullptr, RGBXToRGBA, RGBXToRGB332, RGBXToGrayscale, RGBXToYUV, RGBXToYUV422, RGBXToYUV422HC},
    {RGBAToRGB, RGBAToRGBX, nullptr, RGBAToRGB332, RGBAToGrayscale, RGBAToYUV, RGBAToYUV422, RGBAToYUV422HC},
    {RGB332ToRGB, RGB332ToRGBX, RGB332ToRGBA, nullptr, RGB332ToGrayscale, RGB332ToYUV, RGB332ToYUV422, RGB332ToYUV422HC},
    {GrayscaleToRGB, GrayscaleToRGBX, GrayscaleToRGBA, GrayscaleToRGB332, nullptr, GrayscaleToYUV, GrayscaleToYUV422, GrayscaleToYUV422HC},
    {YUVToRGB, YUVToRGBX, YUVToRGBA, YUVToRGB332, YUVToGrayscale, nullptr, YUVToYUV422, YUVToYUV422HC},
    {YUV422ToRGB, YUV422ToRGBX, YUV422ToRGBA, YUV422ToRGB332, YUV422ToGrayscale, YUV422ToYUV, nullptr, YUV422ToYUV422HC},
    {YUV422HCToRGB, YUV422HCToRGBX, YUV422HCToRGBA, YUV422HCToRGB332, YUV422HCToGrayscale, YUV422HCToYUV, YUV422HCToYUV422, nullptr},
};
// clang-format on

namespace {

// Equal layouts: a mirrored row-by-row copy when flipping, otherwise one
// move (the buffers may overlap; the same buffer needs nothing). Mirroring
// within one buffer swaps rows pairwise; mirroring between buffers that
// partly overlap goes through a copy of the source, the one place where a
// conversion allocates.
int copySameLayout(int width, int height, int format, const uint8_t* src, uint8_t* dst)
{
    const std::size_t rowBytes = static_cast<std::size_t>(width) * kBytesPerPixel[format];
    const std::size_t total = rowBytes * static_cast<std::size_t>(height);
    if (total == 0)
        return 0;
    if (!flipping()) {
        if (src != dst)
            std::memmove(dst, src, total);
        return 0;
    }
    if (src == dst) {
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(dst + top * rowBytes, dst + (top + 1) * rowBytes, dst + bottom * rowBytes);
        return 0;
    }
    std::vector<uint8_t> staged;
    if (src < dst + total && dst < src + total) {
        staged.assign(src, src + total);
        src = staged.data();
    }
    return walkRows(width, height, src, rowBytes, dst, rowBytes,
                    [rowBytes](const uint8_t* s, uint8_t* d, int) { std::memcpy(d, s, rowBytes); });
}

}  // namespace

}  // namespace cinelark::cs

using namespace cinelark::cs;

extern "C" int csConvert(int width, int height, int srcFormat, const void* src, int dstFormat, void* dst)
{
    if (srcFormat < 0 || srcFormat > CS_RGB8 || dstFormat < 0 || dstFormat > CS_RGB8)
        return -1;
    // Pixel offsets inside a row are int arithmetic; the widest row written
    // (zoomed RGBX) is 8 bytes per source pixel, the tallest picture 4 rows
    // per source row.
    if (width < 0 || height < 0 || width > INT_MAX / 8 || height > INT_MAX / 4)
        return -1;
    // The compression library's 8-bit layout has no converters to or from
    // any other layout; refusing beats returning 0 with nothing written.
    if (srcFormat != dstFormat && (srcFormat == CS_RGB8 || dstFormat == CS_RGB8))
        return -1;
    if (width == 0 || height == 0)
        return 0;
    if (src == nullptr || dst == nullptr)
        return -1;
    const auto* in = static_cast<const uint8_t*>(src);
    auto* out = static_cast<uint8_t*>(dst);
    // Building a table on first use, or staging an overlapping flip, may run
    // out of memory; nothing else can throw.
    try {
        if (srcFormat == dstFormat)
            return copySameLayout(width, height, srcFormat, in, out);
        return kConverters[srcFormat][dstFormat](width, height, srcFormat, in, dstFormat, out);
    } catch (...) {
        return -1;
    }
}

extern "C" int csFlipVertically(int flag)
{
    return CS_flipVertically.exchange(flag, std::memory_order_relaxed);
}

extern "C" int csFast(int flag)
{
    return CS_fast.exchange(flag, std::memory_order_relaxed);
}

extern "C" int csZoom(int x, int y)
{
    CS_zoomX.store(x, std::memory_order_relaxed);
    return CS_zoomY.exchange(y, std::memory_order_relaxed);
}
