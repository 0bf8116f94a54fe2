// The cinelark program driven from outside under the test display: its
// command line and messages, its exit statuses, play to the end in a
// view-only window, keys and clicks on the picture, and the picture itself
// compared with the frames the movie library decodes.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player_fixture.h"

#include <X11/Xutil.h>  // after the test headers: it defines Bool and None

using namespace player_test;

namespace {

TEST_F(Player, CommandLineMessagesAndStatuses)
{
    Result bad = run({"-f", "-q"});
    EXPECT_EQ(bad.status, 255);
    EXPECT_NE(bad.err.find("usage: " CINELARK_PLAYER_PATH
                           " [Xtoolkit-options] [-DfNv] [-l loopcount] [-W swingcount]\n"
                           "       [-S x,y] [-z zoom] [movie-file]\n"),
              std::string::npos)
        << bad.err;

    Result zoom = run({"-f", "-z", "0", "-F", "fit", "-v", "/nonexistent/movie.mv"});
    EXPECT_EQ(zoom.status, 255);
    EXPECT_NE(zoom.err.find("Warning: Specified zoom factor: 0 must be between 1 and 4.\n"
                            "         Setting zoom to 1.\n"),
              std::string::npos);
    EXPECT_NE(zoom.err.find("cinelark: This option is obsolete.\n             FIT files are no "
                            "longer supported and this option is ignored\nfor movie files\n"),
              std::string::npos);
    EXPECT_NE(zoom.err.find("Cannot open the file /nonexistent/movie.mv."), std::string::npos);

    Result text = run({"-f", "-v", notMovie_});
    EXPECT_EQ(text.status, 255);
    EXPECT_NE(text.err.find(notMovie_ + " is not a movie file."), std::string::npos) << text.err;

    Result sound = run({"-f", "-v", soundOnly_, "extra-argument-ignored"});
    EXPECT_EQ(sound.status, 255);
    EXPECT_NE(sound.err.find(soundOnly_ + " is a movie file, but has no pictures to show."),
              std::string::npos)
        << sound.err;
}

TEST_F(Player, DamagedMoviesAndMissingDisplaysAreRefusedCleanly)
{
    // The first 3000 bytes of a good movie: the header is there, the rest
    // is not.
    std::string cut = movie_ + ".cut";
    {
        FILE *in = std::fopen(movie_.c_str(), "rb");
        FILE *out = std::fopen(cut.c_str(), "wb");
        std::vector<char> head(3000);
        size_t n = std::fread(head.data(), 1, head.size(), in);
        std::fwrite(head.data(), 1, n, out);
        std::fclose(in);
        std::fclose(out);
    }
    Result damaged = run({"-f", "-l", "1", cut});
    unlink(cut.c_str());
    EXPECT_EQ(damaged.status, 255);
    EXPECT_EQ(damaged.err.rfind(cut + ": ", 0), 0u) << damaged.err;

    std::string display = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    Result noDisplay = run({"-f", movie_});
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(noDisplay.status, 1);
    EXPECT_NE(noDisplay.err.find("cannot open the X display"), std::string::npos);
}

// The movie window of a player showing the movie's first frame at zoom on
// the display dpy (named name) with the painter paint, grabbed once the
// picture holds still: 0xRRGGBB, top row first.
std::vector<uint32_t> shownAt(Display *dpy, const std::string &name, const char *paint, int zoom,
                              const std::string &movie)
{
    std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", name.c_str(), 1);
    setenv("CINELARK_PAINT", paint, 1);
    Running player({"-f", "-v", "-z", std::to_string(zoom), movie});
    unsetenv("CINELARK_PAINT");
    setenv("DISPLAY", display.c_str(), 1);
    Window w = findWindow(dpy, movie, 20.0);
    std::vector<uint32_t> last, now;
    waitUntil(
        [&] {
            now = w ? grab(dpy, w) : std::vector<uint32_t>{};
            const bool same = !now.empty() && now == last;
            last = now;
            return same;
        },
        10.0);
    return now;
}

TEST_F(Player, DisplaysWithoutGlxPaintWithXImagesAtTheSamePixels)
{
    Server noGlx({"-extension", "GLX"});
    ASSERT_FALSE(noGlx.name().empty()) << "a second test display could not be started";
    std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", noGlx.name().c_str(), 1);
    setenv("CINELARK_PAINT", "auto", 1);
    Result played = run({"-f", "-l", "1", movie_}, 30.0);
    setenv("CINELARK_PAINT", "gl", 1);
    Result refused = run({"-f", "-v", movie_});
    unsetenv("CINELARK_PAINT");
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.err.find("cinelark: painting with X images in shared memory (MIT-SHM)\n"),
              std::string::npos)
        << played.err;
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "Coult not glxgetconfig\n");
    EXPECT_NE(refused.err.find("no OpenGL (GLX) visual"), std::string::npos) << refused.err;

    // The first frame at each zoom, on this display through GL and on the
    // other through X images: the same pixels, and those of the frame, down
    // to the marker's band.
    Display *other = XOpenDisplay(noGlx.name().c_str());
    ASSERT_NE(other, nullptr);
    for (int zoom : {1, 2, 4}) {
        const int width = kWidth * zoom + 2, height = kHeight * zoom + 2;
        std::vector<uint32_t> gl = shownAt(dpy_, display, "gl", zoom, movie_);
        std::vector<uint32_t> ximage = shownAt(other, noGlx.name(), "auto", zoom, movie_);
        ASSERT_EQ(gl.size(), size_t(width * height)) << "zoom " << zoom;
        ASSERT_EQ(ximage.size(), gl.size()) << "zoom " << zoom;
        int differ = 0, wrong = 0;
        for (int y = 1; y < height - 1 - 26; ++y)
            for (int x = 1; x < width - 1; ++x) {
                const uint32_t v = framePixel(0, (x - 1) / zoom, kHeight - 1 - (y - 1) / zoom);
                const uint32_t want = (v & 0xff) << 16 | (v & 0xff00) | (v >> 16 & 0xff);
                differ += gl[y * width + x] != ximage[y * width + x];
                wrong += ximage[y * width + x] != want;
            }
        EXPECT_EQ(differ, 0) << "zoom " << zoom;
        EXPECT_EQ(wrong, 0) << "zoom " << zoom;
    }
    XCloseDisplay(other);
}

TEST_F(Player, MachinesWithoutSoundAreToldSo)
{
    // This machine has no sound card: the movie plays silently, to its end.
    setenv("CINELARK_AUDIO", "alsa", 1);
    Result silent = run({"-f", "-l", "1", movie_}, 30.0);
    setenv("CINELARK_AUDIO", "null", 1);
    EXPECT_EQ(silent.status, 0);
    EXPECT_NE(silent.err.find("no audio device could be opened; " + movie_ +
                              " plays without sound."),
              std::string::npos)
        << silent.err;
}

TEST_F(Player, WithoutForegroundTheShellGetsItsPromptBack)
{
    Result r = run({"-v", notMovie_}, 5.0);
    EXPECT_EQ(r.status, 0);  // the parent leaves at once; the child reports
}

TEST_F(Player, LoopCountPlaysAtFiveHundredAndExits)
{
    Running player({"-l", "1", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u) << "status " << player.wait(0.1) << "\n" << player.err() << player.out();
    Rect r = geometry(dpy_, w);
    int screenHeight = DisplayHeight(dpy_, DefaultScreen(dpy_));
    EXPECT_EQ(r.x, 500);
    EXPECT_EQ(screenHeight - (r.y + r.height), 500 - 2);  // the form's border
    EXPECT_EQ(r.width, kWidth + 2);
    EXPECT_TRUE(showsFrame(w, kFrames - 1)) << "played to the last frame";
    EXPECT_EQ(player.wait(30.0), 0);
}

TEST_F(Player, MpegVideoFilesPlayToTheEnd)
{
    // I, P and B pictures, two groups, made by ffmpeg.
    const std::string m1v = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-clip.m1v";
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc2=size=64x48:rate=25 -frames:v 20 "
                           "-pix_fmt yuv420p -c:v mpeg1video -bf 2 -g 12 -qscale:v 5 " + m1v)
                              .c_str()),
              0);
    Result r = run({"-f", "-l", "1", m1v}, 30.0);
    unlink(m1v.c_str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
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

TEST_F(Player, WindowsAskForAFixedSizeAndTheirBorders)
{
    constexpr long kFunctionsFlag = 1, kDecorationsFlag = 2;
    constexpr long kMoveMinimiseClose = 4 | 8 | 32;
    for (bool borderless : {false, true}) {
        std::vector<std::string> args = {"-v", movie_};
        if (borderless)
            args.insert(args.begin(), "-N");
        Running player(args);
        Window w = findWindow(dpy_, movie_, 20.0);
        ASSERT_NE(w, 0u);
        std::vector<long> hints = motifHints(dpy_, w);
        ASSERT_EQ(hints.size(), 3u);
        if (borderless) {
            EXPECT_TRUE(hints[0] & kDecorationsFlag);
            EXPECT_EQ(hints[2], 0) << "no decorations";
        } else {
            EXPECT_TRUE(hints[0] & kFunctionsFlag);
            EXPECT_EQ(hints[1], kMoveMinimiseClose) << "no resize, no maximise";
        }
        // The user cannot resize the window; only the zoom does.
        XSizeHints size{};
        long supplied = 0;
        EXPECT_TRUE(waitUntil(
            [&] {
                return XGetWMNormalHints(dpy_, w, &size, &supplied) &&
                       (size.flags & PMinSize) && (size.flags & PMaxSize) &&
                       size.min_width == kWidth + 2;
            },
            20.0));
        EXPECT_EQ(size.max_width, kWidth + 2);
        EXPECT_EQ(size.min_height, kHeight + 2);
        EXPECT_EQ(size.max_height, kHeight + 2);
        sendDelete(dpy_, w);
        EXPECT_EQ(player.wait(20.0), 0);
    }
}

TEST_F(Player, EndSignalsEndThePlayerCleanly)
{
    // The engine's arena file goes to $TMPDIR when there is no /usr/tmp.
    std::string arenas = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-arenas";
    ASSERT_EQ(mkdir(arenas.c_str(), 0700), 0);
    const char *saved = std::getenv("TMPDIR");
    std::string savedTmp = saved ? saved : "";
    setenv("TMPDIR", arenas.c_str(), 1);
    auto arenaFiles = [&] {
        int n = 0;
        if (DIR *d = opendir(arenas.c_str())) {
            while (dirent *e = readdir(d))
                n += std::string(e->d_name).rfind(".mvlib", 0) == 0;
            closedir(d);
        }
        return n;
    };
    const bool usrTmp = access("/usr/tmp", F_OK) == 0;
    for (int signalNumber : {SIGTERM, SIGINT}) {
        Running player({"-v", movie_});
        Window w = findWindow(dpy_, movie_, 20.0);
        ASSERT_NE(w, 0u);
        if (!usrTmp) {
            EXPECT_EQ(arenaFiles(), 1);
        }
        player.signal(signalNumber);
        EXPECT_EQ(player.wait(20.0), 128 + signalNumber);
        EXPECT_EQ(arenaFiles(), 0) << "the arena file went with the player";
    }
    if (saved)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    rmdir(arenas.c_str());
}

TEST_F(Player, StoppingALoopCountRunEndsTheProgram)
{
    // Three passes would take six seconds; S ends the run at once.
    Running player({"-l", "3", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(waitUntil([&] { return shownFrame(w) > 0; }, 20.0)) << "it plays by itself";
    key(dpy_, w, "s");
    EXPECT_EQ(player.wait(20.0), 0);
}

TEST_F(Player, SoundPlaysWithThePictures)
{
    std::string wav = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-sound.wav";
    setenv("CINELARK_AUDIO", ("wav:" + wav).c_str(), 1);
    Result r = run({"-f", "-l", "1", movie_}, 30.0);
    setenv("CINELARK_AUDIO", "null", 1);
    EXPECT_EQ(r.status, 0) << r.err;
    int peak = wavPeak(wav);
    unlink(wav.c_str());
    // The movie's tone has an amplitude of 8000.
    EXPECT_GT(peak, 4000) << "the tone reached the device";
}

TEST_F(Player, SwingCountTurnsAtTheEndAndExits)
{
    // Each direction is one pass: two passes go there and back.
    Running player({"-W", "2", "-S", "10,20", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(geometry(dpy_, w).x, 10);
    ASSERT_TRUE(showsFrame(w, kFrames - 1));
    EXPECT_TRUE(showsFrame(w, kFrames / 2)) << "on its way back";
    EXPECT_EQ(player.wait(30.0), 0);
}

TEST_F(Player, FrameStepsShowTheDecodedFramesAndWrap)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(showsFrame(w, 0));
    // Each step is one key; the picture must be exactly the decoded frame.
    const struct {
        const char *key;
        int frame;
    } steps[] = {{"Right", 1}, {"greater", 2}, {"less", 1}, {"Left", 0},
                 {"Left", kFrames - 1},  // back from frame 0 wraps to the last
                 {"Right", 0}};          // and on from the last to frame 0
    for (const auto &step : steps) {
        key(dpy_, w, step.key);
        EXPECT_TRUE(showsFrame(w, step.frame)) << step.key << " to frame " << step.frame;
    }
    EXPECT_TRUE(player.alive());
}

TEST_F(Player, ClickPlaysAndSecondClickStops)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(showsFrame(w, 0));
    click(dpy_, w, kWidth / 2, 10);
    ASSERT_TRUE(waitUntil([&] { return shownFrame(w) > 0; }, 10.0)) << "a click plays";
    click(dpy_, w, kWidth / 2, 10);
    int stopped = settledFrame(w);
    EXPECT_GT(stopped, 0);
    EXPECT_LT(stopped, kFrames - 1) << "the second click stopped it before the end";
}

TEST_F(Player, KeysPlayStopAndFastReverse)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(showsFrame(w, 0));
    key(dpy_, w, "p");
    ASSERT_TRUE(showsFrame(w, kFrames - 1)) << "P plays to the end";
    key(dpy_, w, "r");  // fast reverse from the end
    ASSERT_TRUE(waitUntil([&] { return shownFrame(w) < kFrames - 1; }, 10.0));
    key(dpy_, w, "s");
    int stopped = settledFrame(w);
    EXPECT_GE(stopped, 0);
    EXPECT_LT(stopped, kFrames - 1);
    key(dpy_, w, "m");  // mute with sound on a null device: still running
    key(dpy_, w, "Right");
    EXPECT_TRUE(showsFrame(w, stopped + 1));
    EXPECT_TRUE(player.alive());
}

TEST_F(Player, SpaceHomeAndEndPlayStopAndGoToTheEnds)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(showsFrame(w, 0));
    key(dpy_, w, "End");
    EXPECT_TRUE(showsFrame(w, kFrames - 1)) << "End shows the last frame";
    key(dpy_, w, "Home");
    EXPECT_TRUE(showsFrame(w, 0)) << "Home shows the first frame";
    key(dpy_, w, "space");
    ASSERT_TRUE(waitUntil([&] { return shownFrame(w) > 0; }, 10.0)) << "Space plays";
    key(dpy_, w, "space");
    int stopped = settledFrame(w);
    EXPECT_GT(stopped, 0);
    EXPECT_LT(stopped, kFrames - 1) << "the second Space stopped it before the end";
}

TEST_F(Player, ZoomOptionAndKeysResizeTheWindow)
{
    Running player({"-v", "-z", "2", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(geometry(dpy_, w).width, 2 * kWidth + 2);
    key(dpy_, w, "z", ControlMask);
    EXPECT_TRUE(waitUntil([&] { return geometry(dpy_, w).width == 3 * kWidth + 2; }, 10.0));
    EXPECT_EQ(geometry(dpy_, w).height, 3 * kHeight + 2);
    key(dpy_, w, "d", ControlMask);
    key(dpy_, w, "d", ControlMask);
    EXPECT_TRUE(waitUntil([&] { return geometry(dpy_, w).width == kWidth + 2; }, 10.0));
    EXPECT_EQ(geometry(dpy_, w).height, kHeight + 2);
    EXPECT_TRUE(showsFrame(w, 0)) << "the picture follows the window";
}

TEST_F(Player, MuteKeepsTheSoundFromTheDevice)
{
    std::string wav = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-muted.wav";
    setenv("CINELARK_AUDIO", ("wav:" + wav).c_str(), 1);
    Running player({"-v", movie_});
    setenv("CINELARK_AUDIO", "null", 1);
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(showsFrame(w, 0));
    key(dpy_, w, "m");
    key(dpy_, w, "p");
    EXPECT_TRUE(showsFrame(w, kFrames - 1)) << "the pictures play on";
    sendDelete(dpy_, w);
    EXPECT_EQ(player.wait(20.0), 0);
    int peak = wavPeak(wav);
    unlink(wav.c_str());
    EXPECT_LT(peak, 100) << "nothing of the tone reached the device";
}

TEST_F(Player, TypedFrameNumbersAndTimesMoveTheMovie)
{
    Running player({"-S", "600,600", movie_});
    Window movieWindow = findWindow(dpy_, movie_, 20.0);
    Window mainWindow = findWindow(dpy_, "Cinelark");
    ASSERT_NE(movieWindow, 0u);
    ASSERT_NE(mainWindow, 0u);
    ASSERT_TRUE(showsFrame(movieWindow, 0));
    EXPECT_EQ(fieldText(mainWindow, kFrameFieldX), "0");
    EXPECT_EQ(fieldText(mainWindow, kTimeFieldX), "00:00:00");
    const struct {
        int x;
        const char *typed;
        int frame;             // where the movie is afterwards
        const char *frameText, *timeText;
    } cases[] = {
        {kFrameFieldX, "5", 5, "5", "00:01:00"},
        {kFrameFieldX, "99999", kFrames - 1, "9", "00:01:24"},  // past the end: the last
        {kFrameFieldX, "3a", kFrames - 1, "9", "00:01:24"},     // not a number: no move
        {kFrameFieldX, "", 0, "0", "00:00:00"},                  // empty: frame 0
        {kTimeFieldX, "0:18", 3, "3", "00:00:18"},  // 18 thirtieths at 5 a second
        {kTimeFieldX, "75", 3, "3", "00:00:18"},    // 75 thirtieths: refused
        {kTimeFieldX, "1:18", 8, "8", "00:01:18"},
    };
    for (const auto &c : cases) {
        typeInto(mainWindow, c.x, c.typed);
        EXPECT_TRUE(showsFrame(movieWindow, c.frame)) << "typed " << c.typed;
        EXPECT_EQ(fieldText(mainWindow, kFrameFieldX), c.frameText) << "typed " << c.typed;
        EXPECT_EQ(fieldText(mainWindow, kTimeFieldX), c.timeText) << "typed " << c.typed;
    }
    EXPECT_TRUE(player.alive());
}

TEST_F(Player, WindowManagerCloseEndsViewOnlyRuns)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_, 20.0);
    ASSERT_NE(w, 0u);
    sendDelete(dpy_, w);
    EXPECT_EQ(player.wait(10.0), 0);
}

TEST_F(Player, ViewOnlyWithoutAFileShowsTheMainWindowAndRuns)
{
    Running player({"-v"});
    EXPECT_NE(findWindow(dpy_, "Cinelark", 20.0), 0u);
    EXPECT_TRUE(answerDialog()) << "the view-only error is shown";
    EXPECT_NE(player.err().find("View-only mode needs a movie file."), std::string::npos);
    EXPECT_TRUE(player.alive());
}

}  // namespace
