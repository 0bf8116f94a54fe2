// Frame and pixel mapping of the position marker, in integer arithmetic that
// truncates toward zero so that both directions agree at the slider's ends.
#include "marker_map.h"

namespace marker {

int frameToPixel(int f, int sliderLength, int frameCount)
{
    if (sliderLength < 1 || frameCount < 2)
        return 0;
    return static_cast<int>(static_cast<long long>(sliderLength) * f / (frameCount - 1));
}

int pixelToFrame(int x, int sliderLength, int frameCount)
{
    if (sliderLength < 1 || frameCount < 1)
        return 0;
    if (x < 0)
        x = 0;
    if (x > sliderLength)
        x = sliderLength;
    // Half a frame's width of bias turns truncation into rounding to the
    // nearest frame.
    long long biased = x + (sliderLength / frameCount) / 2;
    long long f = biased * (frameCount - 1) / sliderLength;
    return f > frameCount - 1 ? frameCount - 1 : static_cast<int>(f);
}

bool isWholeNumber(const char *s)
{
    if (!s)
        return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

}  // namespace marker
