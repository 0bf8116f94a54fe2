// The player's end-to-end set-up: the real player under the test display,
// movies whose frames differ in every pixel (a picture read back names its
// frame), and ways to find its windows, read them and send them input.
#ifndef CINELARK_TESTS_APP_PLAYER_FIXTURE_H
#define CINELARK_TESTS_APP_PLAYER_FIXTURE_H

#include <gtest/gtest.h>

#include <X11/Xlib.h>  // after gtest: it defines None

#include "tools/program_run.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace player_test {

// A name under /tmp private to this test program.
std::string tempName(const std::string &what);

using testrun::Env;
using testrun::Result;
using testrun::run;
using testrun::Running;

// The player's command line with these arguments.
std::vector<std::string> cinelark(std::vector<std::string> args);

// The newest mapped top-level window titled title, or 0 after the time.
Window findWindow(Display *dpy, const std::string &title, double timeoutSeconds = 5.0);
// The mapped top-level windows of the display, oldest first.
std::vector<Window> topWindows(Display *dpy);
// Waits until w is unmapped or gone.
bool unmapped(Display *dpy, Window w, double timeoutSeconds = 20.0);

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};
Rect geometry(Display *dpy, Window w);
// The window's pixels as 0xRRGGBB, top row first.
std::vector<uint32_t> grab(Display *dpy, Window w, Rect *size = nullptr);

// xdotool's key names, such as "ctrl+z".
void key(Display *dpy, Window w, const std::string &keysym);
void sendDelete(Display *dpy, Window w);
void pause(double seconds);
bool xdotool(const std::string &arguments);

// Polls done() every 50 ms until it holds or the time is up.
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

// The test movies: a pass takes two seconds, long enough to act on while
// it plays on a busy machine.
constexpr int kWidth = 64, kHeight = 48, kFrames = 10;
constexpr double kRate = 5.0;

// The largest sample magnitude of the wav: device's recording, or -1.
int wavPeak(const std::string &path);

// Where the main window's fields are under the test display's fonts.
constexpr int kFrameFieldX = 30, kTimeFieldX = 190, kFieldY = 49;

// The entries of the Options menu, in the order the keyboard reaches them.
enum OptionsEntry {
    kMute, kAudioControl, kPlayOnce, kLoop, kSwing, kHalfSpeed, kNormalSpeed, kTwiceSpeed,
    kZoomDown, kZoomUp
};

constexpr int kFileMenu = 0, kOptionsMenu = 1, kHelpMenu = 2;

class Player : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Starts player_ on movie with these options and finds its windows
    // (the main window unless the run is view-only); it shows frame 0.
    void start(const std::string &movie, std::vector<std::string> options = {"-S", "600,600"},
               const Env &env = {});

    // The frame the movie window shows (above the marker's band), or -1.
    int shownFrame(Window w, int tint = 0);
    bool showsFrame(Window w, int f, double timeoutSeconds = 10.0, int tint = 0);
    // Waits until the picture stops changing and returns its frame.
    int settledFrame(Window w);

    void clickField(int x);
    // A field's text, selected and read back as the primary selection.
    std::string fieldText(int x);
    void typeInto(int x, const std::string &text);
    // Chooses an entry of a menu with the keyboard.
    void chooseMenu(int menu, int entry);
    void options(OptionsEntry entry) { chooseMenu(kOptionsMenu, entry); }
    // Waits for a dialog titled title and answers it with Return.
    bool answerDialog(const std::string &title = "Cinelark Error");
    // How often text appears in player_'s standard error.
    int logged(const std::string &text);
    // Moves the pointer to (x, y) of the movie window (the picture starts
    // one pixel in, inside the border), then does what `then` asks of xdotool.
    void at(int x, int y, const std::string &then = "");

    static std::string movie_, soundOnly_, notMovie_, other_;
    Display *dpy_ = nullptr;
    std::unique_ptr<Running> player_;
    Window movieWindow_ = 0, mainWindow_ = 0;
};

}  // namespace player_test

#endif
