// The file formats' entry points: format detection, and the reader and
// writer of each format. QuickTime files are recognised here but read and
// written by their own module once it is part of the library; until then
// they are reported as an unsupported feature.
#include "error.h"
#include "formats.h"
#include "stream.h"

#include "native/native.h"

namespace {

int quickTimeUnsupported(const char *what)
{
    __mvSetErrorWithDetail(MV_ERR_QT_UNSUPPORTED, what);
    return -1;
}

}  // namespace

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
        __mvS_Destroy(stream);
        return quickTimeUnsupported("reading QuickTime movies");
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
        return quickTimeUnsupported("writing QuickTime movies");
    default:
        __mvSetErrno(MV_ERR_INTERNAL);
        return -1;
    }
}
