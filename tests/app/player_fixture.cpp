#include "player_fixture.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include "movie/movie_builders.h"

namespace player_test {

namespace {

// The text of the primary selection (what the user last selected in any
// program), or "" when nobody holds it within a few seconds.
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

// Pixel (x, y) of frame f as the movie stores it (0x00BBGGRR, bottom row
// first) or, with onScreen, as the screen shows it (0xRRGGBB, top row
// first). The tint tells two movies apart.
uint32_t framePixel(int f, int x, int y, int tint = 0, bool onScreen = false)
{
    if (onScreen)
        y = kHeight - 1 - y;
    uint32_t r = static_cast<uint32_t>(x * 4) & 255, g = static_cast<uint32_t>(y * 5) & 255,
             b = static_cast<uint32_t>(f * 25 + tint) & 255;
    return onScreen ? r << 16 | g << 8 | b : r | g << 8 | b << 16;
}

// The player's windows come and go while the tests look at them; a request
// about a window that has just gone fails, and the caller sees no answer.
int ignoreGoneWindows(Display *, XErrorEvent *)
{
    return 0;
}

}  // namespace

std::string tempName(const std::string &what)
{
    return "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-" + what;
}

std::vector<std::string> cinelark(std::vector<std::string> args)
{
    args.insert(args.begin(), CINELARK_PLAYER_PATH);
    return args;
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

void key(Display *dpy, Window w, const std::string &keysym)
{
    XSync(dpy, False);
    xdotool("key --window " + std::to_string(w) + " " + keysym);
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

bool unmapped(Display *dpy, Window w, double timeoutSeconds)
{
    return waitUntil(
        [&] {
            XWindowAttributes a;
            return !XGetWindowAttributes(dpy, w, &a) || a.map_state != IsViewable;
        },
        timeoutSeconds);
}

// Writes a native movie: kFrames RLE24 pictures when pictures is set, a
// second of a 440 Hz tone when sound is set. "" on failure.
static std::string makeMovie(const std::string &name, bool pictures, bool sound, int tint = 0)
{
    std::string path = tempName(name);
    using namespace testing_movie;
    MVid movie = 0, image = 0, audio = 0;
    if (mvCreateFile(path.c_str(), movieParams().get(), nullptr, &movie) != 0)
        return "";
    if (pictures) {
        mvAddTrack(movie, DM_MEDIUM_IMAGE,
                   imageParams(kWidth, kHeight, DM_PACKING_RGBX, "RLE24", kRate).get(), nullptr,
                   &image);
        std::vector<uint32_t> pixels(kWidth * kHeight);
        for (int f = 0; f < kFrames; ++f) {
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    pixels[y * kWidth + x] = framePixel(f, x, y, tint);
            mvInsertFrames(image, f, 1, pixels.size() * 4, pixels.data());
        }
    }
    if (sound) {
        constexpr int kSampleRate = 8000;
        mvAddTrack(movie, DM_MEDIUM_AUDIO, audioParams(16, 1, kSampleRate).get(), nullptr, &audio);
        std::vector<int16_t> samples(kSampleRate * kFrames / static_cast<int>(kRate));
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / kSampleRate));
        mvInsertFrames(audio, 0, samples.size(), samples.size() * 2, samples.data());
    }
    mvClose(movie);
    return path;
}

int wavPeak(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    size_t data = bytes.find("data");
    if (data == std::string::npos || data + 8 >= bytes.size())
        return -1;
    int peak = 0;
    for (size_t i = data + 8; i + 1 < bytes.size(); i += 2) {
        auto sample = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                           static_cast<uint8_t>(bytes[i + 1]) << 8);
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

std::string Player::movie_, Player::soundOnly_, Player::notMovie_, Player::other_;

void Player::SetUpTestSuite()
{
    setenv("CINELARK_AUDIO", "null", 0);
    movie_ = makeMovie("pictures.mv", true, true);
    other_ = makeMovie("other.mv", true, false, 128);
    soundOnly_ = makeMovie("sound.mv", false, true);
    notMovie_ = tempName("text.mv");
    std::ofstream(notMovie_) << "not a movie at all\n";
}

void Player::TearDownTestSuite()
{
    for (const std::string *path : {&movie_, &other_, &soundOnly_, &notMovie_})
        unlink(path->c_str());
    std::system(("rm -rf " + tempName("config")).c_str());
}

void Player::SetUp()
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    // The test's own XDG_CONFIG_HOME, empty at its start: every player
    // starts from the default settings and keeps what it remembers there.
    std::system(("rm -rf " + tempName("config")).c_str());
    setenv("XDG_CONFIG_HOME", tempName("config").c_str(), 1);
    XSetErrorHandler(ignoreGoneWindows);
    // A server busy letting go of a player that has just ended may refuse
    // a new connection for a moment.
    waitUntil([&] { return (dpy_ = XOpenDisplay(nullptr)) != nullptr; }, 20.0);
    ASSERT_NE(dpy_, nullptr);
    ASSERT_FALSE(movie_.empty());
    ASSERT_FALSE(other_.empty());
    // A player of an earlier test may still be going away; its windows
    // carry the same titles.
    waitUntil([&] { return findWindow(dpy_, movie_, 0.0) == 0; }, 5.0);
    waitUntil([&] { return findWindow(dpy_, "Cinelark", 0.0) == 0; }, 5.0);
}

void Player::TearDown()
{
    if (dpy_)
        XCloseDisplay(dpy_);
}

void Player::start(const std::string &movie, std::vector<std::string> options, const Env &env)
{
    // An earlier player ends first: its windows go, and the settings it
    // keeps are written before the new one reads them.
    player_.reset();
    waitUntil([&] { return findWindow(dpy_, movie, 0.0) == 0; }, 5.0);
    options.push_back(movie);
    options.insert(options.begin(), "-f");
    player_ = std::make_unique<Running>(cinelark(options), env);
    movieWindow_ = findWindow(dpy_, movie, 20.0);
    ASSERT_NE(movieWindow_, 0u) << "status " << player_->wait(0.1) << "\n" << player_->err();
    if (std::find(options.begin(), options.end(), "-v") == options.end()) {
        mainWindow_ = findWindow(dpy_, "Cinelark", 20.0);
        ASSERT_NE(mainWindow_, 0u);
    }
    ASSERT_TRUE(showsFrame(movieWindow_, 0));
}

int Player::shownFrame(Window w, int tint)
{
    // The picture lies inside the movie window's one-pixel border.
    Rect r;
    const std::vector<uint32_t> shown = grab(dpy_, w, &r);
    if (r.width < kWidth + 2 || r.height < kHeight + 2)
        return -1;
    for (int f = 0; f < kFrames; ++f) {
        bool same = true;
        for (int y = 0; y < kHeight - 26 && same; ++y)  // above the marker's band
            for (int x = 0; x < kWidth && same; ++x)
                same = shown[(y + 1) * r.width + x + 1] == framePixel(f, x, y, tint, true);
        if (same)
            return f;
    }
    return -1;
}

bool Player::showsFrame(Window w, int f, double timeoutSeconds, int tint)
{
    return waitUntil([&] { return shownFrame(w, tint) == f; }, timeoutSeconds);
}

int Player::settledFrame(Window w)
{
    // Two seconds of the same picture: the movie would have moved on by
    // several frames in that time.
    int last = -2, same = 0;
    waitUntil(
        [&] {
            int now = shownFrame(w);
            same = now == last ? same + 1 : 0;
            last = now;
            return same >= 40;
        },
        20.0);
    return last;
}

void Player::clickField(int x)
{
    // There is no window manager to give the main window the keyboard when
    // it is clicked, so the test does.
    const std::string w = std::to_string(mainWindow_);
    xdotool("mousemove --window " + w + " " + std::to_string(x) + " " + std::to_string(kFieldY) +
            " click 1 windowfocus " + w);
}

std::string Player::fieldText(int x)
{
    // Ctrl+/ selects the field. A busy window or an empty field gives no
    // answer, so an empty one is asked again before it counts.
    std::string text;
    for (int attempt = 0; attempt < 3 && text.empty(); ++attempt) {
        clickField(x);
        xdotool("key ctrl+slash");
        text = primarySelection(dpy_);
    }
    return text;
}

void Player::typeInto(int x, const std::string &text)
{
    clickField(x);
    xdotool("key End key --repeat 12 BackSpace");
    if (!text.empty())
        xdotool("type '" + text + "'");
    xdotool("key Return");
}

void Player::chooseMenu(int menu, int entry)
{
    // F10 goes to the menu bar, Right to the wanted menu, Down opens it and
    // then walks its entries (separators are passed over).
    std::string keys = "key --delay 250 F10";
    for (int i = 0; i < menu; ++i)
        keys += " Right";
    keys += " Down";
    for (int i = 0; i < entry; ++i)
        keys += " Down";
    keys += " Return";
    xdotool("mousemove --window " + std::to_string(mainWindow_) + " 200 5 windowfocus " +
            std::to_string(mainWindow_));
    xdotool(keys);
}

int Player::logged(const std::string &text)
{
    return int(testrun::occurrences(player_->err(), text));
}

void Player::at(int x, int y, const std::string &then)
{
    xdotool("mousemove --window " + std::to_string(movieWindow_) + " " + std::to_string(x) + " " +
            std::to_string(y) + " " + then);
}

bool Player::answerDialog(const std::string &title)
{
    Window dialog = findWindow(dpy_, title, 20.0);
    if (!dialog)
        return false;
    xdotool("mousemove --window " + std::to_string(dialog) + " 20 20 windowfocus " +
            std::to_string(dialog) + " key Return");
    return unmapped(dpy_, dialog);
}

}  // namespace player_test
