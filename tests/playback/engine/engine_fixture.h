// What the engine's display tests share: an X window with an RGB visual on
// $DISPLAY, small memory movies whose frames are told apart by their
// pixels, a window read-back, and waiting for movie events.
#ifndef CINELARK_TESTS_ENGINE_FIXTURE_H
#define CINELARK_TESTS_ENGINE_FIXTURE_H

// GoogleTest comes before Xlib, whose macro "None" would clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include <cinelark/movie.h>

#include "kgl/x_window.h"

namespace engine_test {

// The pixel of frame f at (x, y), rows counted from the bottom.
uint32_t framePixel(int frame, int x, int y);

using PixelRule = uint32_t (*)(int frame, int x, int y);

// A movie with one image track of generated frames (framePixel unless
// another rule is given), stored with the given compression. It lives in
// memory, or with a file name in that file.
class TestMovie {
public:
    TestMovie(int width, int height, int frames, double rate,
              const char *compression = DM_IMAGE_UNCOMPRESSED, PixelRule pixel = framePixel,
              const char *file = nullptr);
    ~TestMovie();
    MVid id() const { return id_; }
    MVid track() const { return track_; }
    bool ok() const { return ok_; }
    // Adds a stereo sound track of the given sample width and rate: wave(i)
    // on the left and its negative on the right, 8-bit samples as the wave
    // over 128.
    bool addSound(int width, int rate, int sampleFrames, int16_t (*wave)(int i));
    // The samples a capture of the whole sound track at speed 1 holds: an
    // 8-bit sample s is played as the 16-bit s * 256.
    const std::vector<int16_t> &sound() const { return sound_; }
    // Closes a file movie and opens it again read-only, so that its frames
    // are read from the file as they play.
    bool reopen(const char *file);
    // Replaces the stored bytes of a frame with bytes that cannot be read
    // as a picture.
    bool breakFrame(int frame);
    // Closes the movie now (the destructor then does nothing).
    int close();

private:
    std::vector<uint8_t> memory_;
    std::vector<int16_t> sound_;
    MVid id_ = 0;
    MVid track_ = 0;
    bool ok_ = false;
};

struct Collected {
    std::vector<MVevent> events;
    int count(int type) const;
    const MVevent *first(int type) const;
};

class EngineTest : public ::testing::Test {
protected:
    // A fixture given a size gets a mapped window of that size, window_,
    // before each test.
    explicit EngineTest(int windowWidth = 0, int windowHeight = 0)
        : windowWidth_(windowWidth), windowHeight_(windowHeight)
    {
    }
    void SetUp() override;
    void TearDown() override;

    // A mapped window of the given size on the shared display, destroyed
    // after the test.
    Window makeWindow(int width, int height);
    // The window's pixel at (x, y) counted from the bottom-left, as a
    // 0x00BBGGRR word.
    uint32_t windowPixel(Window window, int x, int y);
    // Events until one of the given type arrives (or the time runs out).
    Collected waitFor(int type, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Every event that arrives within the time.
    Collected collect(std::chrono::milliseconds span);
    void drainEvents();
    // Plays and stops the bound movie `rounds` times, switching every-frame
    // play on and off on the way in some rounds and stopping in it in
    // others; fails when a stop leaves frames advancing.
    void stressPlayAndStop(MVid movie, int rounds);
    // Waits up to five seconds until the window's pixel at (x, y) is the
    // value.
    bool waitForPixel(Window window, int x, int y, uint32_t value);

    static Display *display_;
    Window window_ = 0;
    int eventFD_ = -1;
    std::vector<std::unique_ptr<kgltest::XWindow>> windows_;

private:
    int windowWidth_, windowHeight_;
};

}  // namespace engine_test

#endif
