// The shared arena's temporary file.
#include "arena/arena_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <vector>

namespace cinelark::arena {

namespace {

constexpr const char *kPrefix = ".mvlib";

bool isDirectory(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string ArenaFile::defaultDirectory()
{
    if (isDirectory("/usr/tmp"))
        return "/usr/tmp";
    const char *tmpdir = std::getenv("TMPDIR");
    if (tmpdir && *tmpdir && isDirectory(tmpdir))
        return tmpdir;
    return "/tmp";
}

std::unique_ptr<ArenaFile> ArenaFile::create()
{
    try {
        return createIn(defaultDirectory());
    } catch (...) {
        errno = ENOMEM;
        return nullptr;
    }
}

std::unique_ptr<ArenaFile> ArenaFile::createIn(const std::string &directory)
{
    try {
        std::string pattern = directory + "/" + kPrefix + "XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemp(name.data());
        if (fd < 0)
            return nullptr;  // errno is mkstemp's
        close(fd);
        std::unique_ptr<ArenaFile> file(new ArenaFile(std::string(name.data())));
        return file;
    } catch (...) {
        errno = ENOMEM;
        return nullptr;
    }
}

ArenaFile::~ArenaFile()
{
    unlink(path_.c_str());
}

}  // namespace cinelark::arena
