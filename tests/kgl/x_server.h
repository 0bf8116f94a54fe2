// A private X server for the tests that need a display of another kind (one
// without GLX, for instance), stopped at destruction.
#ifndef CINELARK_TESTS_KGL_X_SERVER_H
#define CINELARK_TESTS_KGL_X_SERVER_H

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace kgltest {

class XServer {
public:
    explicit XServer(const std::vector<std::string> &extraArguments)
    {
        // A display number nobody else holds, from the test's process number.
        int number = 400 + getpid() % 500;
        while (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0)
            ++number;
        const std::string name = ":" + std::to_string(number);
        std::vector<std::string> all = {"Xvfb", name, "-screen", "0", "800x600x24",
                                        "-nolisten", "tcp"};
        all.insert(all.end(), extraArguments.begin(), extraArguments.end());
        std::vector<char *> argv;
        for (std::string &a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&quiet, 1, 2);
        const int spawned = posix_spawnp(&pid_, "Xvfb", &quiet, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&quiet);
        if (spawned != 0) {
            pid_ = -1;
            return;
        }
        // Up to 15 seconds for a server on a busy machine. The first
        // connection is held: a server whose last client leaves resets, and
        // refuses connections meanwhile.
        for (int tries = 0; tries < 300; ++tries) {
            if ((held_ = XOpenDisplay(name.c_str())) != nullptr) {
                name_ = name;
                return;
            }
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~XServer()
    {
        if (held_)
            XCloseDisplay(held_);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // ":N", or "" when the server did not come up.
    const std::string &name() const { return name_; }

private:
    pid_t pid_ = -1;
    Display *held_ = nullptr;
    std::string name_;
};

}  // namespace kgltest

#endif
