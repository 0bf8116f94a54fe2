#include "output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mvconvert {

OutputSet::~OutputSet()
{
    if (committed_)
        return;
    if (!pendingTemp_.empty())
        std::remove(pendingTemp_.c_str());
    for (const std::string &name : finished_)
        std::remove(name.c_str());
}

std::string OutputSet::begin(const std::string &finalName)
{
    // The temporary lives in the final directory so that the rename stays
    // on one file system; the dot keeps it out of ordinary listings.
    const size_t slash = finalName.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : finalName.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? finalName : finalName.substr(slash + 1);
    pendingTemp_ = dir + "." + base + ".part" + std::to_string(getpid());
    pendingFinal_ = finalName;
    return pendingTemp_;
}

bool OutputSet::finish(std::string *error)
{
    if (std::rename(pendingTemp_.c_str(), pendingFinal_.c_str()) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    finished_.push_back(pendingFinal_);
    pendingTemp_.clear();
    pendingFinal_.clear();
    return true;
}

void OutputSet::commit() { committed_ = true; }

Progress::Progress(const char *label, long total)
    : label_(label), total_(total), shown_(isatty(STDERR_FILENO) == 1 && total > 0)
{
}

Progress::~Progress()
{
    if (shown_ && lastShown_ >= 0)
        std::fputs("\r\033[K", stderr);
}

void Progress::update(long done)
{
    if (!shown_)
        return;
    // Redraw at most a hundred times per run: terminals are slow.
    const long step = total_ / 100 + 1;
    if (done != total_ && lastShown_ >= 0 && done - lastShown_ < step)
        return;
    lastShown_ = done;
    std::fprintf(stderr, "\r%s: %ld of %ld frames", label_, done, total_);
    std::fflush(stderr);
}

}  // namespace mvconvert
