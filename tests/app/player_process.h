// Running the real player under the test display: start it with arguments,
// collect its output and exit status, find its windows, read their pixels
// back and send it keys, clicks and window-manager messages.
#ifndef CINELARK_TESTS_APP_PLAYER_PROCESS_H
#define CINELARK_TESTS_APP_PLAYER_PROCESS_H

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace player_test {

struct Result {
    int status = -1000;  // exit status, or -1000 when killed for taking too long
    std::string out, err;
};

// Runs the player to its end (at most timeoutSeconds).
Result run(const std::vector<std::string> &args, double timeoutSeconds = 20.0);

// A player left running while the test drives it; asked to end at the
// end of the test (SIGTERM), killed if it will not.
class Running {
public:
    explicit Running(const std::vector<std::string> &args);
    ~Running();
    // Sends the player a signal.
    void signal(int signalNumber);
    // Waits for the end; the exit status, or -1000 after the timeout.
    int wait(double timeoutSeconds);
    bool alive();
    // What it wrote on standard error and standard output so far.
    std::string err();
    std::string out();

private:
    pid_t pid_ = -1;
    std::string errPath_, outPath_;
    int status_ = -1000;
};

// Sets (or, given nullptr, removes) an environment variable for the
// object's life, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name_, saved_;
    bool had_;
};

// The top-level window whose title is exactly title (0 when none appears
// within the time).
Window findWindow(Display *dpy, const std::string &title, double timeoutSeconds = 5.0);

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};
Rect geometry(Display *dpy, Window w);

// The window's pixels as 0xRRGGBB, top row first.
std::vector<uint32_t> grab(Display *dpy, Window w, Rect *size = nullptr);

void key(Display *dpy, Window w, const char *keysym, unsigned modifiers = 0);
void click(Display *dpy, Window w, int x, int y, unsigned button = 1);
void sendDelete(Display *dpy, Window w);
void pause(double seconds);

// Runs an xdotool command line (arguments after "xdotool"); true when it
// succeeded.
bool xdotool(const std::string &arguments);

// Polls done() every 50 ms until it holds or the time is up; the last
// answer.
template <typename Done>
bool waitUntil(Done done, double timeoutSeconds)
{
    for (int i = 0, n = static_cast<int>(timeoutSeconds * 20); i < n; ++i) {
        if (done())
            return true;
        pause(0.05);
    }
    return done();
}

// The text of the primary selection (what the user last selected in any
// program), or "" when nobody holds it within a few seconds.
std::string primarySelection(Display *dpy);

// The mapped top-level windows of the display, newest last.
std::vector<Window> topWindows(Display *dpy);

}  // namespace player_test

#endif
