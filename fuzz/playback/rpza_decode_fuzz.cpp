// Feeds arbitrary bytes to the "Apple Video" decoder. The first two bytes
// choose the picture size in blocks (1 to 16 each way), the rest is the
// compressed frame. The frame is decoded twice over the same picture, as a
// player decodes one frame over the one before.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "quicktime_coders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int blocksWide = 1 + (data[0] & 15);
    const int blocksHigh = 1 + (data[1] & 15);
    const int width = blocksWide * 4;
    std::vector<uint32_t> frame(size_t(width) * size_t(blocksHigh) * 4);
    for (int pass = 0; pass < 2; pass++)
        cinelark::playback::decodeRpza(frame.data(), data + 2, size - 2, blocksWide, blocksHigh,
                                       width);
    return 0;
}
