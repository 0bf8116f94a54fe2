// The movie library's error state: one error number and one detail text per
// thread, and the table of the library's own messages.
//
// mvErrno holds the last error: below 1000 an operating-system error number
// (errno), from 1001 one of the MV_ERR_ numbers below. A message with a "%s"
// takes __mvErrorDetail in its place. Both belong to the calling thread, as
// errno does, so the engine's threads and the application's threads never
// overwrite one another's errors.
#ifndef CINELARK_MOVIE_ERROR_H
#define CINELARK_MOVIE_ERROR_H

#include <stddef.h>

enum {
    MV_ERR_BAD_ID = 1001,
    MV_ERR_NO_RGB_MODE = 1002,
    MV_ERR_NOT_MOVIE = 1003,
    MV_ERR_NO_MEMORY = 1004,
    MV_ERR_GL_ORDER = 1005,
    MV_ERR_READ_ONLY = 1006,
    MV_ERR_QT_UNSUPPORTED = 1007,
    MV_ERR_INTERNAL = 1008,
    MV_ERR_NO_TRACK = 1009,
    MV_ERR_BAD_MEDIUM = 1010,
    MV_ERR_FRAME_RANGE = 1011,
    MV_ERR_UNKNOWN_SCHEME = 1012,
    MV_ERR_UNSUPPORTED_SCHEME = 1013,
    MV_ERR_FRAME_SIZE_MISMATCH = 1014,
    MV_ERR_OPTIMIZE_NOT_EMPTY = 1015,
    MV_ERR_QT_NO_IMAGE = 1016,
    MV_ERR_QT_NO_CODECS = 1017,
    MV_ERR_AUDIO_SETTINGS = 1018,
    MV_ERR_IMAGE_SETTINGS = 1019,
    MV_ERR_MOVIE_SETTINGS = 1020,
    MV_ERR_MEM_TOO_SMALL = 1021,
    MV_ERR_COMPRESSION = 1022,
    MV_ERR_IMAGE_FORMAT = 1023,
    MV_ERR_USER_PARAM_TYPE = 1024,
    MV_ERR_WRONG_TYPE = 1025
};

// Size of the detail buffer, terminating zero included; longer details are
// cut.
#define MV_ERROR_DETAIL_SIZE 256

#ifdef __cplusplus
extern "C" {
#endif

extern thread_local int mvErrno;
extern thread_local char __mvErrorDetail[MV_ERROR_DETAIL_SIZE];

int mvGetErrno(void);
// The message for an error number, in a buffer of the calling thread that its
// next call overwrites.
const char *mvGetErrorStr(int error);

#ifdef __cplusplus
}
#endif

// Sets mvErrno; the detail text is left as it is.
void __mvSetErrno(int error);
// Sets the detail text (printf format), cut to the buffer.
void __mvSetErrorDetail(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Sets both at once: the usual way to report an error with a detail.
void __mvSetErrorWithDetail(int error, const char *detail);

#endif
