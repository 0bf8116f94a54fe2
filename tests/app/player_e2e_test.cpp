// The player driven from outside: command lines, messages and statuses,
// keys, clicks and the mouse buttons' pop-ups on the picture it shows.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kgl/x_server.h"
#include "player_fixture.h"

#include <X11/Xutil.h>  // after the test headers: it defines Bool and None

using namespace player_test;

namespace {

TEST_F(Player, CommandLinesEndWithTheirStatusesAndMessages)
{
    // A good movie cut after its header.
    const std::string cut = movie_ + ".cut";
    std::filesystem::copy_file(movie_, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, 3000);
    const struct {
        std::vector<std::string> args;
        int status;
        // Texts standard error holds ("^" first: starts with; none: it is
        // empty, unless anything goes).
        std::vector<std::string> said;
        bool anything = false, noDisplay = false;
        const char *audio = "null";
        double seconds = 30.0;
    } cases[] = {
        {{"-f", "-q"}, 255,
         {"usage: " CINELARK_PLAYER_PATH
          " [Xtoolkit-options] [-DfNv] [-l loopcount] [-W swingcount]\n"
          "       [-S x,y] [-z zoom] [movie-file]\n"}},
        {{"-f", "-z", "0", "-F", "fit", "-v", "/nonexistent/movie.mv"}, 255,
         {"Warning: Specified zoom factor: 0 must be between 1 and 4.\n"
          "         Setting zoom to 1.\n",
          "cinelark: This option is obsolete.\n             FIT files are no longer supported "
          "and this option is ignored\nfor movie files\n",
          "Cannot open the file /nonexistent/movie.mv."}},
        {{"-f", "-v", notMovie_}, 255, {notMovie_ + " is not a movie file."}},
        {{"-f", "-v", soundOnly_, "extra-argument-ignored"}, 255,
         {soundOnly_ + " is a movie file, but has no pictures to show."}},
        {{"-f", "-l", "1", cut}, 255, {"^" + cut + ": "}},
        // A counted swing (one pass each way) plays by itself and ends.
        {{"-f", "-W", "2", movie_}, 0, {}},
        {{"-f", movie_}, 1, {"cannot open the X display"}, false, true},
        // This machine has no sound card: the movie plays silently, to its end.
        {{"-f", "-l", "1", movie_}, 0,
         {"no audio device could be opened; " + movie_ + " plays without sound."}, false,
         false, "alsa"},
        // Without -f the parent leaves at once; the child reports.
        {{"-v", notMovie_}, 0, {}, true, false, "null", 5.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.back());
        Env env = {{"CINELARK_AUDIO", c.audio}};
        if (c.noDisplay)
            env.push_back({"DISPLAY", std::nullopt});
        const Result r = run(cinelark(c.args), c.seconds, env);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.said.empty() && !c.anything) {
            EXPECT_EQ(r.err, "");
        }
        for (const std::string &text : c.said) {
            if (text[0] == '^')
                EXPECT_EQ(r.err.rfind(text.substr(1), 0), 0u) << r.err;
            else
                EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
        }
    }
    unlink(cut.c_str());
}

TEST_F(Player, DisplaysWithoutGlxPaintWithXImagesAndRefuseGL)
{
    kgltest::XServer noGlx({"-extension", "GLX"});
    ASSERT_FALSE(noGlx.name().empty()) << "a second test display could not be started";
    const Result played = run(cinelark({"-f", "-l", "1", movie_}), 30.0,
                              {{"DISPLAY", noGlx.name()}, {"CINELARK_PAINT", "auto"}});
    const Result refused =
        run(cinelark({"-f", "-v", movie_}), 20.0,
            {{"DISPLAY", noGlx.name()}, {"CINELARK_PAINT", "gl"}});
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.err.find("cinelark: painting with X images in shared memory (MIT-SHM)\n"),
              std::string::npos)
        << played.err;
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "Coult not glxgetconfig\n");
    EXPECT_NE(refused.err.find("no OpenGL (GLX) visual"), std::string::npos) << refused.err;
}

// The Motif window-manager hints of a window: flags, functions, decorations.
std::vector<long> motifHints(Display *dpy, Window w)
{
    Atom hints = XInternAtom(dpy, "_MOTIF_WM_HINTS", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(dpy, w, hints, 0, 5, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        if (format == 32 && count >= 3)
            values.assign(reinterpret_cast<long *>(data), reinterpret_cast<long *>(data) + 3);
        XFree(data);
    }
    return values;
}

// The user cannot resize the window; only the zoom does.
void expectFixedSize(Display *dpy, Window w, int zoom)
{
    XSizeHints size{};
    long supplied = 0;
    EXPECT_TRUE(waitUntil(
        [&] {
            return XGetWMNormalHints(dpy, w, &size, &supplied) && (size.flags & PMinSize) &&
                   (size.flags & PMaxSize) && size.min_width == zoom * kWidth + 2;
        },
        20.0));
    EXPECT_EQ(size.max_width, zoom * kWidth + 2);
    EXPECT_EQ(size.min_height, zoom * kHeight + 2);
    EXPECT_EQ(size.max_height, zoom * kHeight + 2);
}

// The mapped window of the given height, narrower than 80 pixels, that is
// not the movie window: the pop-up menu or the volume slider.
Window popupOfHeight(Display *dpy, Window movieWindow, int minHeight, int maxHeight)
{
    Window found = 0;
    waitUntil(
        [&] {
            for (Window w : topWindows(dpy)) {
                Rect r = geometry(dpy, w);
                if (w != movieWindow && r.height >= minHeight && r.height <= maxHeight &&
                    r.width < 80)
                    found = w;
            }
            return found != 0;
        },
        20.0);
    return found;
}

// One view-only run, muted from its start, driven through zoom keys, frame
// steps, play keys, clicks, the right button's pop-up menu and the middle
// button's volume slider, and closed by the window manager; then a second,
// borderless run that starts at the volume the first one left and ends on a
// signal.
TEST_F(Player, ViewOnlyKeysClicksAndMouseButtonsDriveThePicture)
{
    const std::string wav = tempName("muted.wav");
    Running player(cinelark({"-f", "-v", "-z", "2", movie_}), {{"CINELARK_AUDIO", "wav:" + wav}});
    movieWindow_ = findWindow(dpy_, movie_, 20.0);
    const Window w = movieWindow_;
    ASSERT_NE(w, 0u);
    std::vector<long> hints = motifHints(dpy_, w);
    ASSERT_EQ(hints.size(), 3u);
    EXPECT_TRUE(hints[0] & 1) << "functions given";
    EXPECT_EQ(hints[1], 4 | 8 | 32) << "move, minimise and close: no resize, no maximise";
    expectFixedSize(dpy_, w, 2);

    EXPECT_EQ(geometry(dpy_, w).width, 2 * kWidth + 2);
    key(dpy_, w, "ctrl+z");
    EXPECT_TRUE(waitUntil([&] { return geometry(dpy_, w).width == 3 * kWidth + 2; }, 10.0));
    key(dpy_, w, "ctrl+d");
    key(dpy_, w, "ctrl+d");
    EXPECT_TRUE(waitUntil([&] { return geometry(dpy_, w).width == kWidth + 2; }, 10.0));
    EXPECT_EQ(geometry(dpy_, w).height, kHeight + 2);
    ASSERT_TRUE(showsFrame(w, 0)) << "the picture follows the window";
    key(dpy_, w, "m");

    // Each step is one key; the picture must be exactly the decoded frame.
    const struct {
        const char *key;
        int frame;
    } steps[] = {{"Right", 1}, {"greater", 2}, {"less", 1}, {"Left", 0},
                 {"Left", kFrames - 1},  // back from frame 0 wraps to the last
                 {"Right", 0},           // and on from the last to frame 0
                 {"End", kFrames - 1}, {"Home", 0}};
    for (const auto &step : steps) {
        key(dpy_, w, step.key);
        EXPECT_TRUE(showsFrame(w, step.frame)) << step.key << " to frame " << step.frame;
    }

    // Presses the right button, releases it over entry i (0 Reset, 1 Stop,
    // 2 Play; the menu's three entries share its height) and keeps what the
    // menu showed.
    std::vector<uint32_t> menuShown;
    auto choose = [&](int entry) {
        at(20, 10, "mousedown 3");
        Window menu = popupOfHeight(dpy_, w, 30, 90);
        ASSERT_NE(menu, 0u) << "the right button shows the menu";
        Rect r;
        menuShown = grab(dpy_, menu, &r);
        // Motif takes a release within the double-click time for a click
        // that leaves the menu up; a user choosing an entry is slower.
        pause(0.8);
        xdotool("mousemove " + std::to_string(r.x + r.width / 2) + " " +
                std::to_string(r.y + r.height * (2 * entry + 1) / 6) + " mouseup 3");
    };
    // Space, a click and the menu's Play then Stop each play from frame 0
    // and stop before the end.
    for (const std::string way : {"space", "click", "menu"}) {
        SCOPED_TRACE(way);
        key(dpy_, w, "Home");
        ASSERT_TRUE(showsFrame(w, 0));
        auto toggle = [&](int entry) {
            if (way == "space")
                key(dpy_, w, "space");
            else if (way == "click")
                at(32, 10, "click 1");
            else
                choose(entry);
        };
        toggle(2);
        ASSERT_TRUE(waitUntil([&] { return shownFrame(w) > 0; }, 10.0)) << "it plays";
        toggle(1);
        int stopped = settledFrame(w);
        EXPECT_GT(stopped, 0);
        EXPECT_LT(stopped, kFrames - 1);
    }
    // Each entry, a third of the menu from the top, is labelled with a
    // picture drawn in black.
    ASSERT_FALSE(menuShown.empty());
    const size_t third = menuShown.size() / 3;
    for (size_t entry = 0; entry < 3; ++entry) {
        int black = 0;
        for (size_t i = entry * third; i < (entry + 1) * third; ++i)
            black += menuShown[i] == 0;
        EXPECT_GT(black, 10) << "entry " << entry;
    }
    choose(0);  // Reset
    EXPECT_TRUE(showsFrame(w, 0));

    key(dpy_, w, "p");
    ASSERT_TRUE(showsFrame(w, kFrames - 1)) << "P plays to the end";
    key(dpy_, w, "r");  // fast reverse from the end
    ASSERT_TRUE(waitUntil([&] { return shownFrame(w) < kFrames - 1; }, 10.0));
    key(dpy_, w, "s");
    int stopped = settledFrame(w);
    EXPECT_GE(stopped, 0);
    EXPECT_LT(stopped, kFrames - 1);
    key(dpy_, w, "Right");
    EXPECT_TRUE(showsFrame(w, stopped + 1));

    // Drags the middle button's slider by moves (down positive) and returns
    // the volume at the press: the thumb lands under the pointer, so the
    // slider's top lies 100 - volume above it.
    auto drag = [&](const std::vector<int> &moves, Rect *shownAt = nullptr) {
        at(30, 20, "mousedown 2");
        Window slider = popupOfHeight(dpy_, movieWindow_, 100, 100);
        Window root, child;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        XQueryPointer(dpy_, movieWindow_, &root, &child, &rootX, &rootY, &x, &y, &mask);
        const Rect r = geometry(dpy_, slider);
        if (shownAt)
            *shownAt = r;
        for (int move : moves)
            xdotool("mousemove_relative -- 0 " + std::to_string(move));
        xdotool("mouseup 2");
        EXPECT_TRUE(unmapped(dpy_, slider)) << "the slider goes with the button";
        return slider ? r.y - rootY + 100 : -1;
    };
    // The device starts at full gain, volume 100. One pixel down sets 99
    // (read back as 98 through the gain's rounding); then up one, to 100
    // and far beyond: only the step to 99 may take.
    EXPECT_EQ(drag({1}), 100);
    EXPECT_EQ(drag({-1, -1, -1, -50}), 98);
    Rect slider;
    const int after = drag({30}, &slider);  // then down: 30 points quieter
    EXPECT_GE(after, 98) << "the drag up took its step below 100";
    EXPECT_LT(after, 100) << "the volume never reaches 100";
    EXPECT_EQ(slider.x, geometry(dpy_, w).x + 30 - 15) << "beside the pointer";
    // The slider comes back with its thumb under the pointer: 30 points
    // lower means it sits 30 pixels higher (within the gain's rounding).
    const int left = drag({});
    EXPECT_GE(after - left, 29);
    EXPECT_LE(after - left, 32);

    sendDelete(dpy_, w);
    EXPECT_EQ(player.wait(20.0), 0);
    EXPECT_LT(wavPeak(wav), 100) << "nothing of the tone reached the device";
    unlink(wav.c_str());

    // The second run is borderless and keeps the engine's arena file in
    // $TMPDIR (there is no /usr/tmp); one end signal stands for all, as the
    // player handles them alike.
    const std::string arenas = tempName("arenas");
    ASSERT_EQ(mkdir(arenas.c_str(), 0700), 0);
    auto arenaFiles = [&] {
        int n = 0;
        if (DIR *d = opendir(arenas.c_str())) {
            while (dirent *e = readdir(d))
                n += std::string(e->d_name).rfind(".mvlib", 0) == 0;
            closedir(d);
        }
        return n;
    };
    ASSERT_NO_FATAL_FAILURE(start(movie_, {"-N", "-v"}, {{"TMPDIR", arenas}}));
    EXPECT_NEAR(drag({}), left, 1) << "the second run starts where the first one left";
    hints = motifHints(dpy_, movieWindow_);
    ASSERT_EQ(hints.size(), 3u);
    EXPECT_TRUE(hints[0] & 2) << "decorations given";
    EXPECT_EQ(hints[2], 0) << "no decorations";
    expectFixedSize(dpy_, movieWindow_, 1);
    if (access("/usr/tmp", F_OK) != 0) {
        EXPECT_EQ(arenaFiles(), 1);
    }
    player_->signal(SIGTERM);
    EXPECT_EQ(player_->wait(20.0), 128 + SIGTERM);
    EXPECT_EQ(arenaFiles(), 0) << "the arena file went with the player";
    rmdir(arenas.c_str());
}

TEST_F(Player, ViewOnlyWithoutAFileShowsTheMainWindowAndRuns)
{
    Running player(cinelark({"-f", "-v"}));
    EXPECT_NE(findWindow(dpy_, "Cinelark", 20.0), 0u);
    EXPECT_TRUE(answerDialog()) << "the view-only error is shown";
    EXPECT_NE(player.err().find("View-only mode needs a movie file."), std::string::npos);
    EXPECT_TRUE(player.alive());
}

}  // namespace
