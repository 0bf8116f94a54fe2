// Entry points of the file formats while no format is part of the build:
// nothing is recognised as a movie, and a changed movie cannot be written.
// The native and QuickTime formats replace this file.
#include "error.h"
#include "formats.h"
#include "stream.h"

int __mvDetectFormat(MVstream *, int *)
{
    __mvSetErrno(MV_ERR_NOT_MOVIE);
    return -1;
}

int __mvReadMovie(MVstream *stream, int, MVid *)
{
    __mvS_Destroy(stream);
    __mvSetErrno(MV_ERR_NOT_MOVIE);
    return -1;
}

int __mvWriteMovie(MVid, int)
{
    __mvSetErrno(MV_ERR_NOT_MOVIE);
    return -1;
}
