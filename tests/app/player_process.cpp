// Process and display helpers of the player's end-to-end tests. Keys and
// clicks go through xdotool, which makes real input events, so the player
// sees what a user's keyboard and mouse would send.
#include "player_process.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace player_test {

namespace {

std::string readAll(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

pid_t spawn(const std::vector<std::string> &args, const std::string &outPath,
            const std::string &errPath)
{
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char *> argv;
        static std::string program = CINELARK_PLAYER_PATH;
        argv.push_back(program.data());
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int waitFor(pid_t pid, double timeoutSeconds)
{
    auto end = std::chrono::steady_clock::now() +
               std::chrono::milliseconds(static_cast<int>(timeoutSeconds * 1000));
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1000;
}

std::string tempPath(const char *what)
{
    static int counter = 0;
    return "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++counter) +
           what;
}

}  // namespace

Result run(const std::vector<std::string> &args, double timeoutSeconds)
{
    std::string outPath = tempPath(".out"), errPath = tempPath(".err");
    pid_t pid = spawn(args, outPath, errPath);
    Result r;
    r.status = waitFor(pid, timeoutSeconds);
    if (r.status == -1000) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    r.out = readAll(outPath);
    r.err = readAll(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return r;
}

Running::Running(const std::vector<std::string> &args)
{
    errPath_ = tempPath(".err");
    outPath_ = tempPath(".out");
    std::vector<std::string> all = {"-f"};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = spawn(all, outPath_, errPath_);
}

Running::~Running()
{
    // A player ended by a signal it can catch removes its arena file; one
    // killed outright cannot.
    if (status_ == -1000 && pid_ > 0) {
        kill(pid_, SIGTERM);
        if (wait(10.0) == -1000) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    unlink(errPath_.c_str());
    unlink(outPath_.c_str());
}

void Running::signal(int signalNumber)
{
    if (status_ == -1000 && pid_ > 0)
        kill(pid_, signalNumber);
}

int Running::wait(double timeoutSeconds)
{
    if (status_ == -1000)
        status_ = waitFor(pid_, timeoutSeconds);
    return status_;
}

bool Running::alive()
{
    return wait(0.05) == -1000;
}

std::string Running::err()
{
    return readAll(errPath_);
}

std::string Running::out()
{
    return readAll(outPath_);
}

ScopedEnv::ScopedEnv(const char *name, const char *value) : name_(name)
{
    const char *old = std::getenv(name);
    had_ = old != nullptr;
    saved_ = old ? old : "";
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (had_)
        setenv(name_.c_str(), saved_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

Window findWindow(Display *dpy, const std::string &title, double timeoutSeconds)
{
    Window found = 0;
    waitUntil(
        [&] {
            const std::vector<Window> shown = topWindows(dpy);
            for (auto w = shown.rbegin(); w != shown.rend() && !found; ++w) {
                char *name = nullptr;
                if (XFetchName(dpy, *w, &name) && name) {
                    found = title == name ? *w : 0;
                    XFree(name);
                }
            }
            return found != 0;
        },
        timeoutSeconds);
    return found;
}

Rect geometry(Display *dpy, Window w)
{
    XWindowAttributes a;
    Rect r;
    if (!XGetWindowAttributes(dpy, w, &a))
        return r;
    Window child;
    XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &r.x, &r.y, &child);
    r.width = a.width;
    r.height = a.height;
    return r;
}

std::vector<uint32_t> grab(Display *dpy, Window w, Rect *size)
{
    Rect r = geometry(dpy, w);
    if (size)
        *size = r;
    std::vector<uint32_t> pixels;
    if (r.width <= 0)
        return pixels;
    XImage *image = XGetImage(dpy, DefaultRootWindow(dpy), r.x, r.y,
                              static_cast<unsigned>(r.width), static_cast<unsigned>(r.height),
                              AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.resize(static_cast<size_t>(r.width) * r.height);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            pixels[static_cast<size_t>(y) * r.width + x] =
                static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xffffff;
    XDestroyImage(image);
    return pixels;
}

void key(Display *dpy, Window w, const char *keysym, unsigned modifiers)
{
    XSync(dpy, False);
    xdotool("key --window " + std::to_string(w) + " " +
            ((modifiers & ControlMask) ? "ctrl+" : "") + keysym);
}

void click(Display *dpy, Window w, int x, int y, unsigned button)
{
    XSync(dpy, False);
    xdotool("mousemove --window " + std::to_string(w) + " " + std::to_string(x) + " " +
            std::to_string(y) + " click " + std::to_string(button));
}

void sendDelete(Display *dpy, Window w)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, w, False, NoEventMask, &e);
    XSync(dpy, False);
}

void pause(double seconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
}

bool xdotool(const std::string &arguments)
{
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

std::string primarySelection(Display *dpy)
{
    Window me = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    Atom property = XInternAtom(dpy, "CINELARK_TEST_SELECTION", False);
    XConvertSelection(dpy, XA_PRIMARY, XA_STRING, property, me, CurrentTime);
    XFlush(dpy);
    std::string text;
    XEvent e;
    bool answered = waitUntil(
        [&] { return XCheckTypedWindowEvent(dpy, me, SelectionNotify, &e) == True; }, 5.0);
    if (answered && e.xselection.property != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(dpy, me, property, 0, 4096, True, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            data) {
            if (format == 8)
                text.assign(reinterpret_cast<char *>(data), count);
            XFree(data);
        }
    }
    XDestroyWindow(dpy, me);
    return text;
}

std::vector<Window> topWindows(Display *dpy)
{
    std::vector<Window> shown;
    Window root = DefaultRootWindow(dpy), parent = 0, *children = nullptr;
    unsigned count = 0;
    XSync(dpy, False);
    if (!XQueryTree(dpy, root, &root, &parent, &children, &count))
        return shown;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable)
            shown.push_back(children[i]);
    }
    if (children)
        XFree(children);
    return shown;
}

}  // namespace player_test
