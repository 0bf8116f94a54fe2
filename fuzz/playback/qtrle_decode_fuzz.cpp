// Feeds arbitrary bytes to the "Apple Animation" decoder. The first three
// bytes choose the depth (one of 2, 4, 8, 16, 24, 32, the grey depths 34, 36
// and 40, or an invalid one) and
// the picture's width (1 to 64) and height (1 to 32); the rest is the
// compressed frame.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "quicktime_coders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    static const int depths[16] = {2, 4, 8, 16, 24, 32, 1, 24, 34, 36, 40, 33, 2, 4, 8, 24};
    const int depth = depths[data[0] & 15];
    const int width = 1 + (data[1] & 63);
    const int height = 1 + (data[2] & 31);
    std::vector<uint32_t> frame(size_t(width) * size_t(height));
    cinelark::playback::decodeQtrle(frame.data(), data + 3, size - 3, width, height, depth);
    return 0;
}
