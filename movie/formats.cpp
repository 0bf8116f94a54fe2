// The file formats' entry points: format detection, and the reader and
// writer of each format.
#include "error.h"
#include "formats.h"
#include "stream.h"

#include "native/native.h"
#include "mpeg/mpeg.h"
#include "quicktime/quicktime.h"

int __mvReadMovie(MVstream *stream, int fileFormat, MVid *movie)
{
    switch (fileFormat) {
    case MV_FORMAT_NATIVE_1:
        return __mvNV_ReadV12(stream, 1, movie);
    case MV_FORMAT_NATIVE_2:
        return __mvNV_ReadV12(stream, 2, movie);
    case MV_FORMAT_NATIVE_3:
        return __mvNV_ReadV3(stream, movie);
    case MV_FORMAT_QUICKTIME:
        return __mvQT_Read(stream, movie);
    case MV_FORMAT_MPEG1:
        return __mvMP_Read(stream, movie);
    default:
        __mvS_Destroy(stream);
        __mvSetErrno(MV_ERR_NOT_MOVIE);
        return -1;
    }
}

int __mvWriteMovie(MVid movie, int fileFormat)
{
    switch (fileFormat) {
    case MV_FORMAT_NATIVE_1:
    case MV_FORMAT_NATIVE_2:
    case MV_FORMAT_NATIVE_3:
        return __mvNV_WriteV3(movie);
    case MV_FORMAT_QUICKTIME:
        return __mvQT_Write(movie);
    case MV_FORMAT_MPEG1:
        __mvSetErrno(MV_ERR_READ_ONLY);
        return -1;
    default:
        __mvSetErrno(MV_ERR_INTERNAL);
        return -1;
    }
}
