// The picture under the mouse: dragging the position marker scrubs the
// movie, the middle button's volume slider, and the right button's pop-up
// menu with its pictured buttons.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player_fixture.h"

using namespace player_test;

namespace {

constexpr double kSlowerThanAClick = 0.8;  // seconds; the toolkit's default is 0.2

class Mouse : public Player {
protected:
    // Pointer moves and buttons in the movie window's coordinates (the
    // picture starts one pixel in, inside the border).
    void at(int x, int y, const std::string &then = "")
    {
        xdotool("mousemove --window " + std::to_string(movieWindow_) + " " + std::to_string(x) +
                " " + std::to_string(y) + " " + then);
    }

    // The mapped window of the given size that is neither of the player's
    // own top-level windows: the pop-up menu or the volume slider.
    Window popupOfHeight(int minHeight, int maxHeight)
    {
        Window found = 0;
        waitUntil(
            [&] {
                for (Window w : topWindows(dpy_)) {
                    Rect r = geometry(dpy_, w);
                    if (w != movieWindow_ && r.height >= minHeight && r.height <= maxHeight &&
                        r.width < 80)
                        found = w;
                }
                return found != 0;
            },
            20.0);
        return found;
    }

    // Presses the middle button at the picture's middle, moves the pointer
    // by each of moves (pixels, down positive), releases it and returns the
    // volume the slider showed at the press: its thumb lands under the
    // pointer, so the slider's top lies 100 - volume above the pointer.
    int drag(const std::vector<int> &moves)
    {
        at(30, 20, "mousedown 2");
        Window slider = popupOfHeight(100, 100);
        Window root, child;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        XQueryPointer(dpy_, movieWindow_, &root, &child, &rootX, &rootY, &x, &y, &mask);
        int volume = slider ? geometry(dpy_, slider).y - rootY + 100 : -1;
        for (int move : moves)
            xdotool("mousemove_relative -- 0 " + std::to_string(move));
        xdotool("mouseup 2");
        unmapped(dpy_, slider);
        return volume;
    }

    Window movieWindow_ = 0;
};

TEST_F(Mouse, DraggingTheMarkerScrubsAndSettlesOnItsFrame)
{
    Running player({"-S", "600,600", movie_});
    movieWindow_ = findWindow(dpy_, movie_, 20.0);
    Window mainWindow = findWindow(dpy_, "Cinelark", 20.0);
    ASSERT_NE(movieWindow_, 0u);
    ASSERT_TRUE(showsFrame(movieWindow_, 0));

    // The marker's band is the picture's bottom 25 rows; the marker starts
    // at the left end. The slider is 64 - 25 = 39 pixels long.
    const int bandY = kHeight - 4;
    at(6, bandY, "mousedown 1");
    at(10, bandY);  // 4 pixels: still a click, no scrubbing
    at(26, bandY);  // x 25 in the picture: frame 6
    EXPECT_TRUE(showsFrame(movieWindow_, 6));
    at(60, bandY);  // past the slider's end: the last frame
    EXPECT_TRUE(showsFrame(movieWindow_, kFrames - 1));
    at(16, bandY, "mouseup 1");  // x 15: frame 3
    EXPECT_TRUE(showsFrame(movieWindow_, 3));
    EXPECT_EQ(settledFrame(movieWindow_), 3) << "a drag does not start play";
    EXPECT_EQ(fieldText(mainWindow, kFrameFieldX), "3");
    EXPECT_EQ(fieldText(mainWindow, kTimeFieldX), "00:00:18");
}

// A damaged settings file giving the defaults is the settings unit test's.
TEST_F(Mouse, VolumeIsKeptBetweenRuns)
{
    // One run of the player: the volume its slider shows at a press, then
    // moved by moves.
    auto run = [&](const std::vector<int> &moves) {
        Running player({"-v", "-S", "300,300", movie_});
        movieWindow_ = findWindow(dpy_, movie_, 20.0);
        if (!movieWindow_ || !showsFrame(movieWindow_, 0))
            return -1;
        return drag(moves);
    };
    EXPECT_EQ(run({30}), 100) << "the first run starts at full gain";
    EXPECT_NEAR(run({}), 70, 1) << "the second run starts where the first one left";
}

// One run: the middle button's volume slider, then the right button's menu.
TEST_F(Mouse, VolumeSliderAndPopupMenu)
{
    Running player({"-v", "-S", "300,300", movie_});
    movieWindow_ = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(movieWindow_, 0u);
    ASSERT_TRUE(showsFrame(movieWindow_, 0));

    // The device starts at full gain, volume 100. One pixel down sets 99
    // (read back as 98 through the gain's rounding); then up one, to 100
    // and far beyond: only the step to 99 may take.
    EXPECT_EQ(drag({1}), 100);
    EXPECT_EQ(drag({-1, -1, -1, -50}), 98);
    const int after = drag({});
    EXPECT_GE(after, 98) << "the drag up took its step below 100";
    EXPECT_LT(after, 100) << "the volume never reaches 100";

    // The slider shows beside the pointer while the button is down.
    Rect picture = geometry(dpy_, movieWindow_);
    at(30, 20, "mousedown 2");
    Window slider = popupOfHeight(100, 100);
    ASSERT_NE(slider, 0u);
    Rect first = geometry(dpy_, slider);
    EXPECT_EQ(first.x, picture.x + 30 - 15);
    xdotool("mousemove_relative 0 30");  // down: 30 points quieter
    at(30, 50, "mouseup 2");
    EXPECT_TRUE(unmapped(dpy_, slider)) << "the slider goes with the button";
    // It comes back with its thumb under the pointer: 30 points lower
    // means the slider sits 30 pixels higher (within the gain's rounding).
    at(30, 20, "mousedown 2");
    ASSERT_NE(popupOfHeight(100, 100), 0u);
    int raised = first.y - geometry(dpy_, slider).y;
    at(30, 20, "mouseup 2");
    EXPECT_GE(raised, 29);
    EXPECT_LE(raised, 32);


    // Press the right button, release it over entry i (0 Reset, 1 Stop,
    // 2 Play); the menu's three entries share its height.
    auto choose = [&](int entry, std::vector<uint32_t> *pixels = nullptr) {
        at(20, 10, "mousedown 3");
        Window menu = popupOfHeight(30, 90);
        ASSERT_NE(menu, 0u) << "the right button shows the menu";
        Rect r = geometry(dpy_, menu);
        if (pixels)
            *pixels = grab(dpy_, menu);
        // Motif takes a release within the double-click time for a click
        // that leaves the menu up; a user choosing an entry is slower.
        pause(kSlowerThanAClick);
        xdotool("mousemove " + std::to_string(r.x + r.width / 2) + " " +
                std::to_string(r.y + r.height * (2 * entry + 1) / 6) + " mouseup 3");
    };

    std::vector<uint32_t> shown;
    choose(2, &shown);  // Play
    EXPECT_TRUE(waitUntil([&] { return shownFrame(movieWindow_) > 0; }, 10.0));
    // Each entry, a third of the menu from the top, is labelled with a
    // picture drawn in black.
    ASSERT_FALSE(shown.empty());
    const size_t third = shown.size() / 3;
    for (size_t entry = 0; entry < 3; ++entry) {
        int black = 0;
        for (size_t i = entry * third; i < (entry + 1) * third; ++i)
            black += shown[i] == 0;
        EXPECT_GT(black, 10) << "entry " << entry;
    }
    choose(1);  // Stop
    int stopped = settledFrame(movieWindow_);
    EXPECT_GT(stopped, 0);
    EXPECT_LT(stopped, kFrames - 1);
    choose(0);  // Reset
    EXPECT_TRUE(showsFrame(movieWindow_, 0));
    EXPECT_TRUE(player.alive());
}

}  // namespace
