// Helpers shared by the library's public C functions: each turns ids into
// objects, checks its arguments and maps every failure to a return code, so
// that nothing but a result crosses the edge.
#ifndef CINELARK_MOVIE_API_H
#define CINELARK_MOVIE_API_H

#include <cerrno>
#include <exception>
#include <new>

#include "error.h"

namespace cinelark::movie {

// Runs body and returns its result; an exception escaping it (a failed
// allocation inside a container) becomes -1 with 1004.
template <typename Body>
int guarded(Body body) noexcept
{
    try {
        return body();
    } catch (...) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
}

// A missing pointer argument: the system's "Invalid argument".
inline int invalidArgument()
{
    __mvSetErrno(EINVAL);
    return -1;
}

inline int failWith(int error)
{
    __mvSetErrno(error);
    return -1;
}

}  // namespace cinelark::movie

#endif
