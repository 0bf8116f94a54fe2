// The set-up the player's end-to-end tests share: small movies whose every
// frame differs in every pixel (so a picture read back from the screen names
// its frame), a connection to the test display, and ways to read what the
// player shows: the frame in its picture, the text of its fields, the
// messages it reports and the windows it opens.
#ifndef CINELARK_TESTS_APP_PLAYER_FIXTURE_H
#define CINELARK_TESTS_APP_PLAYER_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player_process.h"

namespace player_test {

// The test movies: kFrames pictures of kWidth x kHeight at kRate frames a
// second, so a pass takes two seconds, long enough to act on while it
// plays on a busy machine.
constexpr int kWidth = 64, kHeight = 48, kFrames = 10;
constexpr double kRate = 5.0;

// The colour of pixel (x, y) of frame f as the movie stores it (0x00BBGGRR,
// bottom row first); tint changes the whole series, so that two movies
// cannot be mistaken for each other.
uint32_t framePixel(int f, int x, int y, int tint = 0);

// Writes a native movie under /tmp: kFrames RLE24 pictures when pictures is
// set, a second of a 440 Hz tone when sound is set. "" on failure.
std::string makeMovie(const std::string &name, bool pictures, bool sound, int tint = 0);

// The largest sample magnitude of a 16-bit WAV file (the wav: device's
// recording), or -1 when it holds no samples.
int wavPeak(const std::string &path);

// Where the main window's fields and menus are: the fixed layout of the
// window under the test display's fonts.
constexpr int kFrameFieldX = 30, kTimeFieldX = 190, kFieldY = 49;

// The entries of the Options menu, in the order the keyboard reaches them.
enum OptionsEntry {
    kMute, kAudioControl, kPlayOnce, kLoop, kSwing, kHalfSpeed, kNormalSpeed, kTwiceSpeed,
    kZoomDown, kZoomUp
};

class Player : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // The picture inside the movie window's one-pixel border.
    std::vector<uint32_t> picture(Window w);
    // How many pixels above the marker's band differ from frame f.
    int mismatches(const std::vector<uint32_t> &shown, int f, int tint = 0);
    // The frame the movie window shows now, or -1 for none of them.
    int shownFrame(Window w, int tint = 0);
    // Waits until the movie window shows frame f.
    bool showsFrame(Window w, int f, double timeoutSeconds = 10.0, int tint = 0);
    // Waits until the picture stops changing and returns its frame.
    int settledFrame(Window w);

    // The text of a field of the main window (selected, then read back as
    // the primary selection).
    std::string fieldText(Window mainWindow, int x);
    // Replaces the text of a field and presses Return.
    void typeInto(Window mainWindow, int x, const std::string &text);
    // Chooses menu entry `entry` of menu `menu` (0 File, 1 Options, 2 Help)
    // with the keyboard, as a user without a mouse would.
    void chooseMenu(Window mainWindow, int menu, int entry);
    // Waits for a window titled title (by default the player's error
    // dialog) to appear and answers it with Return.
    bool answerDialog(const std::string &title = "Cinelark Error");
    // Waits for a mapped window titled title; 0 when none comes.
    Window waitForTitle(const std::string &title, double timeoutSeconds = 20.0);

    static std::string movie_, soundOnly_, notMovie_, other_;
    Display *dpy_ = nullptr;
    // The test's own XDG_CONFIG_HOME, empty at its start: every player
    // starts from the default settings and keeps what it remembers there.
    std::string configHome_;
};

}  // namespace player_test

#endif
