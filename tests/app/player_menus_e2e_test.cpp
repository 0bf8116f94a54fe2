// The main window: its menus from the keyboard, its fields, its button
// panel and the marker dragged with the mouse. Dialogs are answered, and
// their texts read from the player's log on standard error.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player_fixture.h"

using namespace player_test;

namespace {

class Menus : public Player {
protected:
    // File > Open with the path typed over the selection (cleared when
    // the path is empty).
    void open(const std::string &path)
    {
        chooseMenu(kFileMenu, 0);
        Window dialog = findWindow(dpy_, "Movie Name", 20.0);
        ASSERT_NE(dialog, 0u);
        // The selection field lies just above the dialog's buttons.
        Rect r = geometry(dpy_, dialog);
        xdotool("mousemove --window " + std::to_string(dialog) + " " +
                std::to_string(r.width / 2) + " " + std::to_string(r.height - 89) +
                " click 1 windowfocus " + std::to_string(dialog) + " key ctrl+slash");
        xdotool(path.empty() ? "key BackSpace" : "type --delay 10 '" + path + "'");
        xdotool("key Return");
    }

    // The first frame shown after the movie leaves frame `from`.
    int frameAfter(int from)
    {
        int now = from;
        waitUntil(
            [&] {
                now = shownFrame(movieWindow_);
                return now != from && now >= 0;
            },
            10.0);
        return now;
    }
};

// One run, muted from the menu at its start: the loop modes, a reverse play
// slowed down, the fields while the movie plays, File > Open and the movie
// window's close, and File > Quit.
TEST_F(Menus, LoopModesHalfSpeedFieldsFileOpenAndQuit)
{
    const std::string wav = tempName("menus.wav");
    ASSERT_NO_FATAL_FAILURE(start(movie_, {"-S", "600,600"}, {{"CINELARK_AUDIO", "wav:" + wav}}));
    EXPECT_EQ(geometry(dpy_, movieWindow_).x, 600) << "placed where -S says";
    // The audio control program is not installed here: its start fails
    // in the child, and the player goes on.
    options(kAudioControl);
    EXPECT_TRUE(waitUntil([&] { return logged("Could not run Voxdeck.") == 1; }, 20.0));
    options(kMute);

    options(kLoop);
    key(dpy_, movieWindow_, "p");
    ASSERT_TRUE(showsFrame(movieWindow_, kFrames - 1));
    EXPECT_EQ(frameAfter(kFrames - 1), 0) << "a loop starts again";
    options(kSwing);
    ASSERT_TRUE(showsFrame(movieWindow_, kFrames - 1));
    EXPECT_EQ(frameAfter(kFrames - 1), kFrames - 2) << "a swing turns back";
    // Whichever way the swing was going, play once ends it at that end.
    options(kPlayOnce);
    int stopped = settledFrame(movieWindow_);
    EXPECT_TRUE(stopped == 0 || stopped == kFrames - 1) << "stopped at " << stopped;

    {
        SCOPED_TRACE("half speed keeps a reverse play going backwards");
        // Looping, a fast reverse from frame 0 runs down from the last frame
        // for as long as the menu takes.
        key(dpy_, movieWindow_, "Home");
        ASSERT_TRUE(showsFrame(movieWindow_, 0));
        options(kLoop);
        key(dpy_, movieWindow_, "r");
        ASSERT_TRUE(waitUntil([&] { return shownFrame(movieWindow_) > 0; }, 10.0));
        options(kHalfSpeed);
        pause(1.0);  // the keys reach the menu some time after they are sent
        // Five frames in a row, each one below the last (the loop wraps from
        // 0 to the last frame), two fifths of a second apart at half speed.
        int from = frameAfter(-1);
        auto start = std::chrono::steady_clock::now();
        for (int step = 0; step < 4; ++step) {
            int next = frameAfter(from);
            int down = (from - next + kFrames) % kFrames;
            EXPECT_TRUE(down == 1 || down == 2) << "from " << from << " to " << next;
            from = next;
        }
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GT(seconds, 1.2) << "four frames at half speed take 1.6 s";
        options(kPlayOnce);
        key(dpy_, movieWindow_, "s");
    }

    {
        SCOPED_TRACE("the fields follow every third frame while playing");
        key(dpy_, movieWindow_, "Home");
        ASSERT_TRUE(showsFrame(movieWindow_, 0));
        key(dpy_, movieWindow_, "p");  // at half speed a pass of four seconds leaves time to read
        ASSERT_TRUE(waitUntil([&] { return shownFrame(movieWindow_) > 0; }, 10.0));
        // A reading counts when the picture has not yet reached the last
        // frame after it: the field was then set while the movie played.
        // The frames it moves to from frame 0, where play starts, lie three
        // frames apart.
        std::vector<int> seen;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (shownFrame(movieWindow_) != kFrames - 1) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the pass never ended";
            std::string frameText = fieldText(kFrameFieldX);
            if (shownFrame(movieWindow_) == kFrames - 1)
                break;
            ASSERT_EQ(frameText.size(), 1u) << frameText;
            int frame = frameText[0] - '0';
            if (frame != 0 && std::find(seen.begin(), seen.end(), frame) == seen.end())
                seen.push_back(frame);
        }
        ASSERT_GE(seen.size(), 2u) << "the fields change while the movie plays";
        for (int frame : seen)
            EXPECT_EQ((frame - seen[0]) % 3, 0) << seen[0] << " then " << frame;
        // Stopped at the end, the fields show the last frame.
        EXPECT_TRUE(waitUntil([&] { return fieldText(kFrameFieldX) == "9"; }, 10.0));
        EXPECT_EQ(fieldText(kTimeFieldX), "00:01:24");
    }

    // File > Open replaces the movie, or leaves none for a file that is not
    // one; closing the movie window leaves none too, and the menus say so.
    open(other_);
    Window replaced = findWindow(dpy_, other_, 20.0);
    ASSERT_NE(replaced, 0u) << player_->err();
    EXPECT_TRUE(waitUntil([&] { return findWindow(dpy_, movie_, 0.0) == 0; }, 20.0));
    EXPECT_TRUE(showsFrame(replaced, 0, 10.0, 128)) << "the new movie from its first frame";
    EXPECT_EQ(fieldText(kFrameFieldX), "0");

    open(notMovie_);
    ASSERT_TRUE(answerDialog());
    EXPECT_EQ(logged(notMovie_ + " is not a movie file."), 1);
    EXPECT_TRUE(waitUntil([&] { return findWindow(dpy_, other_, 0.0) == 0; }, 20.0))
        << "the old movie is gone";

    open(movie_);
    movieWindow_ = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(movieWindow_, 0u) << player_->err();
    sendDelete(dpy_, movieWindow_);
    EXPECT_TRUE(waitUntil([&] { return findWindow(dpy_, movie_, 0.0) == 0; }, 20.0));
    EXPECT_EQ(fieldText(kFrameFieldX), "");
    for (OptionsEntry entry : {kLoop, kTwiceSpeed, kZoomUp}) {
        options(entry);
        ASSERT_TRUE(answerDialog()) << "entry " << entry;
    }
    EXPECT_EQ(logged("No movie is loaded. Open one with File > Open first."), 3);

    // An empty selection opens nothing and leaves the busy state.
    open("");
    EXPECT_EQ(findWindow(dpy_, "Cinelark Busy", 3.0), 0u) << "still busy";

    chooseMenu(kFileMenu, 1);  // Quit
    EXPECT_EQ(player_->wait(20.0), 0);
    EXPECT_EQ(logged("Warning"), 0) << "every font and resource converts: " << player_->err();
    int peak = wavPeak(wav);
    unlink(wav.c_str());
    EXPECT_LT(peak, 100) << "muted from the menu";
}

// One run: the marker dragged, frame numbers and times typed, the button
// panel, the help entries, the zoom steps, and the main window's close.
TEST_F(Menus, MarkerFieldsButtonPanelHelpZoomStepsAndClose)
{
    ASSERT_NO_FATAL_FAILURE(start(movie_));
    // The marker's band is the picture's bottom 25 rows; the marker starts
    // at the left end. The slider is 64 - 25 = 39 pixels long.
    const int bandY = kHeight - 4;
    at(6, bandY, "mousedown 1");
    at(10, bandY);  // 4 pixels: still a click, no scrubbing
    at(26, bandY);  // x 25 in the picture: frame 6
    EXPECT_TRUE(showsFrame(movieWindow_, 6));
    at(16, bandY, "mouseup 1");  // x 15: frame 3
    EXPECT_TRUE(showsFrame(movieWindow_, 3));
    EXPECT_EQ(settledFrame(movieWindow_), 3) << "a drag does not start play";
    EXPECT_EQ(fieldText(kFrameFieldX), "3");

    const struct {
        int x;
        const char *typed;
        int frame;             // where the movie is afterwards
        const char *frameText, *timeText;
    } typed[] = {
        {kFrameFieldX, "5", 5, "5", "00:01:00"},
        {kFrameFieldX, "99999", kFrames - 1, "9", "00:01:24"},  // past the end: the last
        {kFrameFieldX, "3a", kFrames - 1, "9", "00:01:24"},     // not a number: no move
        {kTimeFieldX, "75", kFrames - 1, "9", "00:01:24"},  // 75 thirtieths: refused
        {kTimeFieldX, "1:18", 8, "8", "00:01:18"},
        {kFrameFieldX, "", 0, "0", "00:00:00"},     // empty: frame 0
    };
    for (const auto &c : typed) {
        SCOPED_TRACE(std::string("typed ") + c.typed);
        typeInto(c.x, c.typed);
        EXPECT_TRUE(showsFrame(movieWindow_, c.frame));
        EXPECT_EQ(fieldText(kFrameFieldX), c.frameText);
        EXPECT_EQ(fieldText(kTimeFieldX), c.timeText);
    }

    // The panel's buttons, left to right, on one row under the fields.
    const int row = 90;
    const int frmBack = 42, reverse = 117, stop = 249, frmFwd = 310, play = 366;
    auto press = [&](int x) {
        xdotool("mousemove --window " + std::to_string(mainWindow_) + " " + std::to_string(x) +
                " " + std::to_string(row) + " click 1");
    };
    press(frmFwd);
    EXPECT_TRUE(showsFrame(movieWindow_, 1));
    press(frmBack);
    EXPECT_TRUE(showsFrame(movieWindow_, 0));
    press(frmBack);  // back from the first frame to the last
    EXPECT_TRUE(showsFrame(movieWindow_, kFrames - 1));
    press(play);  // from the last frame play starts again at the first
    EXPECT_TRUE(waitUntil(
        [&] {
            int f = shownFrame(movieWindow_);
            return f >= 0 && f <= 2;
        },
        10.0));
    EXPECT_TRUE(showsFrame(movieWindow_, kFrames - 1));
    press(reverse);
    EXPECT_TRUE(waitUntil([&] { return shownFrame(movieWindow_) < kFrames - 2; }, 10.0));
    press(stop);
    int stopped = settledFrame(movieWindow_);
    EXPECT_GE(stopped, 0);
    EXPECT_LT(stopped, kFrames - 1);

    chooseMenu(kHelpMenu, 1);  // Watching Movies
    EXPECT_TRUE(answerDialog("Help"));
    chooseMenu(kHelpMenu, 3);  // Version
    ASSERT_TRUE(answerDialog());
    EXPECT_EQ(logged("cinelark 1.0, a movie player for X11 desktops."), 1);

    options(kZoomDown);
    ASSERT_TRUE(answerDialog());
    EXPECT_EQ(logged("The movie is already at its smallest size (zoom 1)."), 1);
    for (int z = 2; z <= 4; ++z) {
        options(kZoomUp);
        EXPECT_TRUE(waitUntil(
            [&] { return geometry(dpy_, movieWindow_).width == z * kWidth + 2; }, 20.0))
            << "zoom " << z;
    }
    EXPECT_EQ(geometry(dpy_, movieWindow_).height, 4 * kHeight + 2);
    options(kZoomUp);
    ASSERT_TRUE(answerDialog());
    EXPECT_EQ(logged("The movie is already at its largest size (zoom 4)."), 1);
    EXPECT_EQ(geometry(dpy_, movieWindow_).width, 4 * kWidth + 2) << "still at zoom 4";

    // Closing the main window quits while the movie window is open.
    sendDelete(dpy_, mainWindow_);
    EXPECT_EQ(player_->wait(20.0), 0);
}

}  // namespace
