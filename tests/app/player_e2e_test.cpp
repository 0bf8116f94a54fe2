// The cinelark program driven from outside under the test display: its
// command line and messages, its exit statuses, play to the end in a
// view-only window, keys and clicks on the picture, and the picture itself
// compared with the frames the movie library decodes.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include "player_process.h"

using namespace player_test;

namespace {

constexpr int kWidth = 64, kHeight = 48, kFrames = 10;

// The colour of pixel (x, y) of frame f, as the movie stores it (0x00BBGGRR);
// every frame differs everywhere, so a wrong frame cannot pass.
uint32_t framePixel(int f, int x, int y)
{
    uint32_t r = static_cast<uint32_t>(x * 4) & 255, g = static_cast<uint32_t>(y * 5) & 255,
             b = static_cast<uint32_t>(f * 25);
    return r | g << 8 | b << 16;
}

// Writes a movie of kFrames RLE24 pictures (and, when wanted, sound) or of
// sound only.
std::string makeMovie(const std::string &name, bool pictures, bool sound, double rate = 10.0)
{
    std::string path = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-" + name;
    DMparams *p = nullptr;
    dmParamsCreate(&p);
    mvSetMovieDefaults(p, MV_FORMAT_NATIVE_3);
    MVid movie = 0;
    if (mvCreateFile(path.c_str(), p, nullptr, &movie) != 0)
        return "";
    dmParamsDestroy(p);
    if (pictures) {
        dmParamsCreate(&p);
        dmSetImageDefaults(p, kWidth, kHeight, DM_PACKING_RGBX);
        dmParamsSetFloat(p, DM_IMAGE_RATE, rate);
        dmParamsSetString(p, DM_IMAGE_COMPRESSION, "RLE24");
        MVid image = 0;
        mvAddTrack(movie, DM_MEDIUM_IMAGE, p, nullptr, &image);
        dmParamsDestroy(p);
        std::vector<uint32_t> pixels(kWidth * kHeight);
        for (int f = 0; f < kFrames; ++f) {
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    pixels[y * kWidth + x] = framePixel(f, x, y);
            mvInsertFrames(image, f, 1, pixels.size() * 4, pixels.data());
        }
    }
    if (sound) {
        dmParamsCreate(&p);
        dmSetAudioDefaults(p, 16, 8000.0, 1);
        MVid audio = 0;
        mvAddTrack(movie, DM_MEDIUM_AUDIO, p, nullptr, &audio);
        dmParamsDestroy(p);
        std::vector<int16_t> samples(8000, 100);
        mvInsertFrames(audio, 0, 8000, samples.size() * 2, samples.data());
    }
    mvClose(movie);
    return path;
}

class Player : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("CINELARK_AUDIO", "null", 0);
        movie_ = makeMovie("pictures.mv", true, true);
        soundOnly_ = makeMovie("sound.mv", false, true);
        notMovie_ = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-text.mv";
        FILE *f = std::fopen(notMovie_.c_str(), "w");
        std::fputs("not a movie at all\n", f);
        std::fclose(f);
    }
    static void TearDownTestSuite()
    {
        unlink(movie_.c_str());
        unlink(soundOnly_.c_str());
        unlink(notMovie_.c_str());
    }
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X display";
        dpy_ = XOpenDisplay(nullptr);
        ASSERT_NE(dpy_, nullptr);
        ASSERT_FALSE(movie_.empty());
        // A player of an earlier test may still be going away; its window
        // carries the same title.
        for (int i = 0; i < 40 && findWindow(dpy_, movie_, 0.0) != 0; ++i)
            pause(0.05);
    }
    void TearDown() override
    {
        if (dpy_)
            XCloseDisplay(dpy_);
    }

    // The picture inside the movie window's one-pixel border.
    std::vector<uint32_t> picture(Window w)
    {
        Rect r;
        std::vector<uint32_t> all = grab(dpy_, w, &r);
        std::vector<uint32_t> inner;
        if (r.width < kWidth + 2 || r.height < kHeight + 2)
            return inner;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                inner.push_back(all[(y + 1) * r.width + x + 1]);
        return inner;
    }

    // How many pixels above the marker's band differ from frame f.
    int mismatches(const std::vector<uint32_t> &shown, int f)
    {
        if (shown.size() != static_cast<size_t>(kWidth * kHeight))
            return kWidth * kHeight;
        int bad = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                if (y >= kHeight - 26)
                    continue;  // the marker's band
                uint32_t v = framePixel(f, x, kHeight - 1 - y);  // stored bottom row first
                uint32_t want = (v & 0xff) << 16 | (v & 0xff00) | (v >> 16 & 0xff);
                if (shown[y * kWidth + x] != want)
                    ++bad;
            }
        return bad;
    }

    static std::string movie_, soundOnly_, notMovie_;
    Display *dpy_ = nullptr;
};

std::string Player::movie_, Player::soundOnly_, Player::notMovie_;

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

TEST_F(Player, WithoutForegroundTheShellGetsItsPromptBack)
{
    Result r = run({"-v", notMovie_}, 5.0);
    EXPECT_EQ(r.status, 0);  // the parent leaves at once; the child reports
}

TEST_F(Player, LoopCountPlaysAtFiveHundredAndExits)
{
    Running player({"-l", "1", movie_});
    Window w = findWindow(dpy_, movie_);
    ASSERT_NE(w, 0u) << player.err();
    Rect r = geometry(dpy_, w);
    int screenHeight = DisplayHeight(dpy_, DefaultScreen(dpy_));
    EXPECT_EQ(r.x, 500);
    EXPECT_EQ(screenHeight - (r.y + r.height), 500 - 2);  // the form's border
    EXPECT_EQ(r.width, kWidth + 2);
    EXPECT_EQ(player.wait(15.0), 0);
}

TEST_F(Player, SwingCountExits)
{
    Running player({"-W", "1", "-S", "10,20", movie_});
    Window w = findWindow(dpy_, movie_);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(geometry(dpy_, w).x, 10);
    EXPECT_EQ(player.wait(20.0), 0);
}

TEST_F(Player, FrameStepsShowTheDecodedFramesAndWrap)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_);
    ASSERT_NE(w, 0u);
    pause(0.5);
    EXPECT_EQ(mismatches(picture(w), 0), 0);
    key(dpy_, w, "Right");
    pause(0.4);
    EXPECT_EQ(mismatches(picture(w), 1), 0);
    key(dpy_, w, "greater");
    pause(0.4);
    EXPECT_EQ(mismatches(picture(w), 2), 0);
    key(dpy_, w, "less");
    key(dpy_, w, "Left");
    key(dpy_, w, "Left");
    pause(0.4);
    // Back from frame 0 wraps to the last frame.
    EXPECT_EQ(mismatches(picture(w), kFrames - 1), 0);
    key(dpy_, w, "Right");
    pause(0.4);
    EXPECT_EQ(mismatches(picture(w), 0), 0);
    EXPECT_TRUE(player.alive());
}

TEST_F(Player, ClickPlaysAndSecondClickStops)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_);
    ASSERT_NE(w, 0u);
    pause(0.4);
    click(dpy_, w, kWidth / 2, 10);
    pause(0.35);
    click(dpy_, w, kWidth / 2, 10);
    pause(0.3);
    std::vector<uint32_t> stopped = picture(w);
    int shown = -1;
    for (int f = 0; f < kFrames; ++f)
        if (mismatches(stopped, f) == 0)
            shown = f;
    EXPECT_GT(shown, 0) << "play moved on from frame 0";
    EXPECT_LT(shown, kFrames - 1) << "the second click stopped it before the end";
    pause(0.4);
    EXPECT_EQ(mismatches(picture(w), shown), 0) << "still stopped";
}

TEST_F(Player, KeysPlayStopAndFastReverse)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_);
    ASSERT_NE(w, 0u);
    pause(0.4);
    key(dpy_, w, "p");
    pause(1.6);  // ten frames at ten a second: the end
    EXPECT_EQ(mismatches(picture(w), kFrames - 1), 0);
    key(dpy_, w, "r");  // fast reverse from the end
    pause(0.2);
    key(dpy_, w, "s");
    pause(0.3);
    std::vector<uint32_t> shown = picture(w);
    int at = -1;
    for (int f = 0; f < kFrames; ++f)
        if (mismatches(shown, f) == 0)
            at = f;
    EXPECT_GE(at, 0);
    EXPECT_LT(at, kFrames - 1);
    key(dpy_, w, "m");  // mute with sound on a null device: still running
    EXPECT_TRUE(player.alive());
}

TEST_F(Player, ZoomKeysResizeTheWindow)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_);
    ASSERT_NE(w, 0u);
    pause(0.3);
    key(dpy_, w, "z", ControlMask);
    pause(0.5);
    Rect r = geometry(dpy_, w);
    EXPECT_EQ(r.width, 2 * kWidth + 2);
    EXPECT_EQ(r.height, 2 * kHeight + 2);
    key(dpy_, w, "d", ControlMask);
    pause(0.5);
    r = geometry(dpy_, w);
    EXPECT_EQ(r.width, kWidth + 2);
}

// Replaces the text of the main window's field at (x, y) and presses Return.
void typeInto(Window mainWindow, int x, int y, const std::string &text)
{
    std::string w = std::to_string(mainWindow);
    std::string quiet = " >/dev/null 2>&1";
    std::system(("xdotool mousemove --window " + w + " " + std::to_string(x) + " " +
                 std::to_string(y) + " click 1" + quiet)
                    .c_str());
    pause(0.2);
    std::system(("xdotool key End key --repeat 12 BackSpace" + quiet).c_str());
    if (!text.empty())
        std::system(("xdotool type '" + text + "'" + quiet).c_str());
    std::system(("xdotool key Return" + quiet).c_str());
    pause(0.5);
}

TEST_F(Player, TypedFrameNumbersAndTimesMoveTheMovie)
{
    Running player({"-S", "600,600", movie_});
    Window movieWindow = findWindow(dpy_, movie_);
    Window mainWindow = findWindow(dpy_, "Cinelark");
    ASSERT_NE(movieWindow, 0u);
    ASSERT_NE(mainWindow, 0u);
    pause(0.5);
    // The frame field is the first thing on the left under the menu bar.
    const int frameX = 30, timeX = 140, fieldY = 49;
    ASSERT_EQ(mismatches(picture(movieWindow), 0), 0) << "the first frame is shown";
    typeInto(mainWindow, frameX, fieldY, "5");
    EXPECT_EQ(mismatches(picture(movieWindow), 5), 0);
    typeInto(mainWindow, frameX, fieldY, "99999");  // past the end: the last frame
    EXPECT_EQ(mismatches(picture(movieWindow), kFrames - 1), 0);
    typeInto(mainWindow, frameX, fieldY, "3a");  // not a number: no move
    EXPECT_EQ(mismatches(picture(movieWindow), kFrames - 1), 0);
    typeInto(mainWindow, frameX, fieldY, "");  // empty: frame 0
    EXPECT_EQ(mismatches(picture(movieWindow), 0), 0);
    // At ten frames a second, 21 thirtieths are frame 7.
    typeInto(mainWindow, timeX, fieldY, "0:21");
    EXPECT_EQ(mismatches(picture(movieWindow), 7), 0);
    typeInto(mainWindow, timeX, fieldY, "75");  // 75 thirtieths: refused
    EXPECT_EQ(mismatches(picture(movieWindow), 7), 0);
    EXPECT_TRUE(player.alive());
}

TEST_F(Player, WindowManagerCloseEndsViewOnlyRuns)
{
    Running player({"-v", movie_});
    Window w = findWindow(dpy_, movie_);
    ASSERT_NE(w, 0u);
    sendDelete(dpy_, w);
    EXPECT_EQ(player.wait(5.0), 0);
}

TEST_F(Player, WindowManagerCloseInNormalModeKeepsTheMainWindow)
{
    Running player({movie_});
    Window w = findWindow(dpy_, movie_);
    ASSERT_NE(w, 0u);
    ASSERT_NE(findWindow(dpy_, "Cinelark"), 0u);
    sendDelete(dpy_, w);
    pause(0.8);
    EXPECT_TRUE(player.alive());
    EXPECT_EQ(findWindow(dpy_, movie_, 0.3), 0u);
}

TEST_F(Player, ViewOnlyWithoutAFileShowsTheMainWindowAndRuns)
{
    Running player({"-v"});
    EXPECT_NE(findWindow(dpy_, "Cinelark"), 0u);
    pause(0.5);
    EXPECT_TRUE(player.alive());
}

}  // namespace
