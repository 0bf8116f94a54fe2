/* A C caller of the public interface: the header must compile as C and the
 * functions must link without C++ name mangling. Converts one 4:2:2 pair of
 * video-range black and white to RGBA words and back to grey. */
#include <stdint.h>
#include <string.h>

#include "cinelark/colorspace.h"

int colorspaceFromC(uint32_t words[2], uint8_t grey[2])
{
    const uint8_t pair[4] = {128, 16, 128, 235};
    int previous = csFlipVertically(0);
    if (csConvert(2, 1, CS_YUV422, pair, CS_RGBA, words) != 0)
        return -1;
    if (csConvert(2, 1, CS_RGBA, words, CS_GRAYSCALE, grey) != 0)
        return -1;
    return previous;
}
