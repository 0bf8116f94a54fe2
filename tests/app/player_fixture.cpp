// The end-to-end tests' shared set-up: the test movies and the readers of
// what the player shows.
#include "player_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include "movie/movie_builders.h"

namespace player_test {

uint32_t framePixel(int f, int x, int y, int tint)
{
    uint32_t r = static_cast<uint32_t>(x * 4) & 255, g = static_cast<uint32_t>(y * 5) & 255,
             b = static_cast<uint32_t>(f * 25 + tint) & 255;
    return r | g << 8 | b << 16;
}

std::string makeMovie(const std::string &name, bool pictures, bool sound, int tint)
{
    std::string path = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-" + name;
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

// The largest sample magnitude of a 16-bit WAV file, or -1 when it holds no
// samples.
int wavPeak(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
    notMovie_ = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-text.mv";
    if (FILE *f = std::fopen(notMovie_.c_str(), "w")) {
        std::fputs("not a movie at all\n", f);
        std::fclose(f);
    }
}

void Player::TearDownTestSuite()
{
    for (const std::string *path : {&movie_, &other_, &soundOnly_, &notMovie_})
        unlink(path->c_str());
    std::system(("rm -rf /tmp/cinelark-e2e-" + std::to_string(getpid()) + "-config").c_str());
}

namespace {

// The player's windows come and go while the tests look at them; a request
// about a window that has just gone fails, and the caller sees no answer.
int ignoreGoneWindows(Display *, XErrorEvent *)
{
    return 0;
}

}  // namespace

void Player::SetUp()
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    configHome_ = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-config";
    std::system(("rm -rf " + configHome_).c_str());
    setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1);
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

std::vector<uint32_t> Player::picture(Window w)
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

int Player::mismatches(const std::vector<uint32_t> &shown, int f, int tint)
{
    if (shown.size() != static_cast<size_t>(kWidth * kHeight))
        return kWidth * kHeight;
    int bad = 0;
    for (int y = 0; y < kHeight - 26; ++y)  // above the marker's band
        for (int x = 0; x < kWidth; ++x) {
            uint32_t v = framePixel(f, x, kHeight - 1 - y, tint);
            uint32_t want = (v & 0xff) << 16 | (v & 0xff00) | (v >> 16 & 0xff);
            if (shown[y * kWidth + x] != want)
                ++bad;
        }
    return bad;
}

int Player::shownFrame(Window w, int tint)
{
    std::vector<uint32_t> shown = picture(w);
    for (int f = 0; f < kFrames; ++f)
        if (mismatches(shown, f, tint) == 0)
            return f;
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

std::string Player::fieldText(Window mainWindow, int x)
{
    std::string w = std::to_string(mainWindow);
    // A click gives the field the keyboard; Ctrl+/ selects all its text
    // (clicks counted into a triple click would depend on the machine's
    // speed).
    // The main window may still be busy with an earlier command, and an
    // empty field selects nothing: an empty answer is asked again a few
    // times before it counts.
    std::string text;
    for (int attempt = 0; attempt < 3 && text.empty(); ++attempt) {
        xdotool("mousemove --window " + w + " " + std::to_string(x) + " " +
                std::to_string(kFieldY) + " click 1 windowfocus " + w + " key ctrl+slash");
        text = primarySelection(dpy_);
    }
    return text;
}

void Player::typeInto(Window mainWindow, int x, const std::string &text)
{
    std::string w = std::to_string(mainWindow);
    // There is no window manager to give the main window the keyboard when
    // it is clicked, so the test does.
    xdotool("mousemove --window " + w + " " + std::to_string(x) + " " + std::to_string(kFieldY) +
            " click 1 windowfocus " + w);
    xdotool("key End key --repeat 12 BackSpace");
    if (!text.empty())
        xdotool("type '" + text + "'");
    xdotool("key Return");
}

void Player::chooseMenu(Window mainWindow, int menu, int entry)
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
    xdotool("mousemove --window " + std::to_string(mainWindow) + " 200 5 windowfocus " +
            std::to_string(mainWindow));
    xdotool(keys);
}

Window Player::waitForTitle(const std::string &title, double timeoutSeconds)
{
    return findWindow(dpy_, title, timeoutSeconds);
}

bool Player::answerDialog(const std::string &title)
{
    Window dialog = waitForTitle(title);
    if (!dialog)
        return false;
    xdotool("mousemove --window " + std::to_string(dialog) + " 20 20 windowfocus " +
            std::to_string(dialog) + " key Return");
    return waitUntil(
        [&] {
            XWindowAttributes a;
            return !XGetWindowAttributes(dpy_, dialog, &a) || a.map_state != IsViewable;
        },
        20.0);
}

}  // namespace player_test
