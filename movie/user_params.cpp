// User parameter names: a list of name copies, newest last, built on first
// use. Lookups are linear; a program registers a handful of names at most.
#include "user_params.h"

#include <cerrno>
#include <list>
#include <new>
#include <string>

#include <cinelark/movie.h>

#include "error.h"

namespace {

std::list<std::string> &registeredNames()
{
    static std::list<std::string> names;
    return names;
}

}  // namespace

int __mvUP_Add(const char *name)
{
    if (__mvUP_IsRegistered(name))
        return 0;
    try {
        registeredNames().emplace_back(name);
    } catch (const std::bad_alloc &) {
        __mvSetErrno(MV_ERR_NO_MEMORY);
        return -1;
    }
    return 0;
}

int __mvUP_IsRegistered(const char *name)
{
    if (name == nullptr)
        return 0;
    for (const std::string &known : registeredNames())
        if (known == name)
            return 1;
    return 0;
}

extern "C" int mvAddUserParam(const char *name)
{
    if (name == nullptr || name[0] == '\0') {
        __mvSetErrno(EINVAL);
        return -1;
    }
    return __mvUP_Add(name);
}
