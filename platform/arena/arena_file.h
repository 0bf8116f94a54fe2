// The shared arena's file: a real temporary file that names the process's
// playback arena for as long as it lives. It is made with the prefix
// ".mvlib" in "/usr/tmp" when that directory exists, else in $TMPDIR, else in
// "/tmp", and it is removed when the object is destroyed. The playback engine
// keeps one in a process-wide object so that the file goes at exit.
#ifndef CINELARK_ARENA_ARENA_FILE_H
#define CINELARK_ARENA_ARENA_FILE_H

#include <memory>
#include <string>

namespace cinelark::arena {

class ArenaFile {
public:
    // Creates the file; null with errno set when it cannot be made.
    static std::unique_ptr<ArenaFile> create();
    // As create(), in the given directory (tests use their own).
    static std::unique_ptr<ArenaFile> createIn(const std::string &directory);
    ~ArenaFile();
    ArenaFile(const ArenaFile &) = delete;
    ArenaFile &operator=(const ArenaFile &) = delete;

    const std::string &path() const { return path_; }

    // The directory create() uses.
    static std::string defaultDirectory();

private:
    explicit ArenaFile(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

}  // namespace cinelark::arena

#endif
