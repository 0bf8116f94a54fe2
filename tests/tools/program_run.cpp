#include "program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace testrun {

std::string Running::readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Running::Running(const std::vector<std::string> &argv, const Env &env, const std::string &dir)
{
    static int counter = 0;
    const std::string name = "/tmp/cinelark-run-" + std::to_string(getpid()) + "-" +
                             std::to_string(++counter);
    outPath_ = name + ".out";
    errPath_ = name + ".err";
    pid_ = fork();
    if (pid_ != 0)
        return;
    for (const auto &[variable, value] : env)
        value ? setenv(variable.c_str(), value->c_str(), 1) : unsetenv(variable.c_str());
    dup2(open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    if (!dir.empty() && chdir(dir.c_str()) != 0)
        _exit(126);
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

Running::~Running()
{
    // A program ended by a signal it can catch may clean up after itself;
    // one killed outright cannot.
    if (status_ == -1000 && pid_ > 0) {
        kill(pid_, SIGTERM);
        if (wait(10.0) == -1000) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    unlink(outPath_.c_str());
    unlink(errPath_.c_str());
}

void Running::signal(int signalNumber)
{
    if (status_ == -1000 && pid_ > 0)
        kill(pid_, signalNumber);
}

int Running::wait(double timeoutSeconds)
{
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<int>(timeoutSeconds * 1000));
    int status = 0;
    while (status_ == -1000 && pid_ > 0) {
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - WTERMSIG(status);
        else if (std::chrono::steady_clock::now() >= end)
            break;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
}

size_t occurrences(const std::string &text, const std::string &needle)
{
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

Result run(const std::vector<std::string> &argv, double timeoutSeconds, const Env &env,
           const std::string &dir)
{
    Running program(argv, env, dir);
    const int status = program.wait(timeoutSeconds);
    return {status, program.out(), program.err()};
}

}  // namespace testrun
