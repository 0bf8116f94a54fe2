// The four QuickTime coder entry points and mvInitQuickTime, which installs
// them. They are plain process-wide pointers written once at start-up,
// before any track exists, and only read afterwards.
#include <cinelark/playback.h>

#include "quicktime_coders.h"

MVqtRPZADecompressFn __mvQTRPZADecompress = nullptr;
MVqtRPZACompressFn __mvQTRPZACompress = nullptr;
MVqtRLEDecompressFn __mvQTRLEDecompress = nullptr;
MVqtRLECompressFn __mvQTRLECompress = nullptr;

void mvInitQuickTime(void)
{
    __mvQTRPZADecompress = cinelark::playback::decodeRpza;
    __mvQTRPZACompress = cinelark::playback::encodeRpza;
    __mvQTRLEDecompress = cinelark::playback::decodeQtrle;
    __mvQTRLECompress = cinelark::playback::encodeQtrle;
}

const char *__mvQTStatusText(int status)
{
    switch (status) {
    case kQtOk:
        return "no error";
    case kQtShortData:
        return "the compressed frame ends before the picture does";
    case kQtOverrun:
        return "the compressed frame reaches outside the picture";
    case kQtBadCode:
        return "the compressed frame holds an impossible code";
    case kQtBufferTooSmall:
        return "the compressed frame does not fit its buffer";
    default:
        return "unknown coder error";
    }
}
