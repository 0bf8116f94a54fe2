/* A C caller of the public interface, linked into the tests but never run:
 * the build fails if the header stops compiling as C or the functions take
 * C++ names. What the calls do is checked from C++. */
#include "cinelark/colorspace.h"

int colorspaceFromC(const void* pair, void* words)
{
    csFlipVertically(0);
    return csConvert(2, 1, CS_YUV422, pair, CS_RGBA, words);
}
