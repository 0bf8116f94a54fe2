// Running a program under test: its command line, changes to its
// environment and the directory it starts in. What it writes on standard
// output and standard error goes to files until the test reads it, so a
// program that writes much never blocks on a pipe nobody empties.
#ifndef CINELARK_TESTS_TOOLS_PROGRAM_RUN_H
#define CINELARK_TESTS_TOOLS_PROGRAM_RUN_H

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testrun {

// Variables set (or, without a value, removed) in the program's
// environment only.
using Env = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct Result {
    int status = -1000;  // the exit status; -1000 - n after signal n, -1000 after a timeout
    std::string out, err;
};

// A program (argv[0], found on the PATH unless it names a file) left running
// while the test drives it; asked to end (SIGTERM) when the object goes,
// killed if it will not.
class Running {
public:
    explicit Running(const std::vector<std::string> &argv, const Env &env = {},
                     const std::string &dir = "");
    ~Running();
    void signal(int signalNumber);
    // Waits for the end; the exit status, or -1000 after the timeout.
    int wait(double timeoutSeconds);
    bool alive() { return wait(0.05) == -1000; }
    // What it wrote on standard output and standard error so far.
    std::string out() const { return readAll(outPath_); }
    std::string err() const { return readAll(errPath_); }

private:
    static std::string readAll(const std::string &path);
    pid_t pid_ = -1;
    std::string outPath_, errPath_;
    int status_ = -1000;
};

// How often needle appears in text.
size_t occurrences(const std::string &text, const std::string &needle);

// Runs the program to its end (at most timeoutSeconds).
Result run(const std::vector<std::string> &argv, double timeoutSeconds, const Env &env = {},
           const std::string &dir = "");

}  // namespace testrun

#endif
