// The error number, its detail text and the message table.
#include "error.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

thread_local int mvErrno = 0;
thread_local char __mvErrorDetail[MV_ERROR_DETAIL_SIZE] = "";

namespace {

// The library's messages, indexed by number - 1001. A "%s" takes the detail
// text; every other "%" would be printed as is, so none appears.
constexpr const char *kMessages[] = {
    "Bad movie or track ID",                                              // 1001
    "This machine does not support GL RGB mode. Cannot display movies",   // 1002
    "File is not a movie file or is an unsupported format",               // 1003
    "Unable to allocate memory",                                          // 1004
    "mvGrabKelvoGL()/mvReleaseKelvoGL() called out of order",             // 1005
    "Editing a movie requires write access to the file",                  // 1006
    "Unsupported QuickTime(tm) Feature: %s",                              // 1007
    "Internal movie library error",                                       // 1008
    "No track of requested type",                                         // 1009
    "Only audio and image tracks are supported",                          // 1010
    "Frame number is out of range for track",                             // 1011
    "Unknown image compression scheme",                                   // 1012
    "Unsupported image compression scheme",                               // 1013
    "Frame sizes not the same when copying between tracks",               // 1014
    "Destination movie in mvOptimize is not empty",                       // 1015
    "A QuickTime(tm) movie must have an image track",                     // 1016
    "QuickTime(tm) codecs (libqt) not present",                           // 1017
    "Bad settings for audio track",                                       // 1018
    "Bad settings for image track",                                       // 1019
    "Bad settings for movie",                                             // 1020
    "Space for in-memory movie is too small",                             // 1021
    "Error in compression library: %s",                                   // 1022
    "Image format not supported for playback",                            // 1023
    "Values for user parameters must be strings",                         // 1024
    "Parameter value supplied is of the wrong type: %s",                  // 1025
};
constexpr int kFirstError = MV_ERR_BAD_ID;
constexpr int kLastError = kFirstError + int(sizeof kMessages / sizeof kMessages[0]) - 1;
static_assert(kLastError == MV_ERR_WRONG_TYPE, "one message per error number");

constexpr const char *kUnknown = "Unknown movie library error";

// The text mvGetErrorStr returns; overwritten by each call.
thread_local char errorText[MV_ERROR_DETAIL_SIZE + 128];

// Prints a message with the detail in place of its one "%s". The format is
// expanded by hand so that no table entry is ever used as a printf format.
void expand(const char *message, const char *detail)
{
    const char *mark = std::strstr(message, "%s");
    if (!mark) {
        std::snprintf(errorText, sizeof errorText, "%s", message);
        return;
    }
    std::snprintf(errorText, sizeof errorText, "%.*s%s%s", int(mark - message), message, detail, mark + 2);
}

}  // namespace

extern "C" int mvGetErrno(void)
{
    return mvErrno;
}

extern "C" const char *mvGetErrorStr(int error)
{
    if (error < 1000) {
        // strerror_r in its GNU form may return a static text instead of
        // filling the buffer.
        const char *text = strerror_r(error, errorText, sizeof errorText);
        if (text != errorText)
            std::snprintf(errorText, sizeof errorText, "%s", text);
        return errorText;
    }
    if (error >= kFirstError && error <= kLastError)
        expand(kMessages[error - kFirstError], __mvErrorDetail);
    else
        expand(kUnknown, "");
    return errorText;
}

void __mvSetErrno(int error)
{
    mvErrno = error;
}

void __mvSetErrorDetail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(__mvErrorDetail, sizeof __mvErrorDetail, format, args);
    va_end(args);
}

void __mvSetErrorWithDetail(int error, const char *detail)
{
    std::snprintf(__mvErrorDetail, sizeof __mvErrorDetail, "%s", detail ? detail : "");
    mvErrno = error;
}
