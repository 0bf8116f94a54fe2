// The display tests' shared pieces: windows, movies, read-back and events.
#include "engine_fixture.h"

#include <fcntl.h>
#include <poll.h>

#include <cstdlib>
#include <thread>

#include "engine.h"
#include "movie/movie_builders.h"

// Under ThreadSanitizer: the software GL driver synchronises its own worker
// threads in code the sanitizer cannot see, so its reports are not ours.
extern "C" const char *__tsan_default_suppressions()
{
    return "called_from_lib:swrast_dri.so\n"
           "called_from_lib:libLLVM-15.so.1\n"
           "race:swrast_dri.so\n"
           "race:libLLVM-15.so.1\n"
           "mutex:swrast_dri.so\n"
           "deadlock:swrast_dri.so\n"
           "deadlock:libLLVM-15.so.1\n"
           "deadlock:__register_frame_info_bases\n";
}

namespace engine_test {

namespace {

// Xlib must be in thread mode before any other call: the engine paints from
// its own thread on the test's display connection.
const bool threadsReady = XInitThreads() != 0;

}  // namespace

Display *EngineTest::display_ = nullptr;

uint32_t framePixel(int frame, int x, int y)
{
    const uint32_t r = uint32_t(frame * 5 + 3) & 0xff;
    const uint32_t g = uint32_t(x * 7 + frame) & 0xff;
    const uint32_t b = uint32_t(y * 9 + 40) & 0xff;
    return r | g << 8 | b << 16;
}

TestMovie::TestMovie(int width, int height, int frames, double rate, const char *compression,
                     PixelRule pixel, const char *file)
    : memory_(file ? 0 : size_t(width) * height * 4 * frames + (1 << 20))
{
    using namespace testing_movie;
    const Params params = movieParams();
    if ((file ? mvCreateFile(file, params.get(), nullptr, &id_)
              : mvCreateMem(memory_.data(), memory_.size(), params.get(), nullptr, &id_)) != 0 ||
        mvAddTrack(id_, DM_MEDIUM_IMAGE,
                   imageParams(width, height, DM_PACKING_RGBX, compression, rate).get(), nullptr,
                   &track_) != 0)
        return;
    std::vector<uint32_t> pixels(size_t(width) * height * frames);
    for (int f = 0; f < frames; f++)
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                pixels[(size_t(f) * height + y) * width + x] = pixel(f, x, y);
    ok_ = mvInsertFrames(track_, 0, frames, pixels.size() * 4, pixels.data()) == 0;
}

bool TestMovie::addSound(int width, int rate, int sampleFrames, int16_t (*wave)(int i))
{
    std::vector<int8_t> narrow;
    sound_.clear();
    for (int i = 0; i < sampleFrames; i++)
        for (int sign : {1, -1}) {
            const int16_t sample = int16_t(sign * wave(i));
            narrow.push_back(int8_t(sample / 128));
            sound_.push_back(width == 8 ? int16_t(narrow.back() * 256) : sample);
        }
    void *stored = width == 8 ? static_cast<void *>(narrow.data()) : sound_.data();
    MVid audio = 0;
    ok_ = ok_ &&
          mvAddTrack(id_, DM_MEDIUM_AUDIO, testing_movie::audioParams(width, 2, rate).get(),
                     nullptr, &audio) == 0 &&
          mvInsertFrames(audio, 0, sampleFrames, sound_.size() * size_t(width / 8), stored) == 0;
    return ok_;
}

bool TestMovie::reopen(const char *file)
{
    ok_ = ok_ && close() == 0 && mvOpenFile(file, O_RDONLY, &id_) == 0 &&
          mvFindTrackByMedium(id_, DM_MEDIUM_IMAGE, &track_) == 0;
    return ok_;
}

TestMovie::~TestMovie() { close(); }

int TestMovie::close()
{
    if (!id_)
        return 0;
    const int result = mvClose(id_);
    id_ = 0;
    return result;
}

bool TestMovie::breakFrame(int frame)
{
    uint8_t junk[5] = {1, 2, 3, 4, 5};
    return mvDeleteFrames(track_, frame, 1) == 0 &&
           mvInsertCompressedImage(track_, frame, sizeof junk, junk) == 0;
}

int Collected::count(int type) const
{
    int n = 0;
    for (const MVevent &e : events)
        n += e.type == type;
    return n;
}

const MVevent *Collected::first(int type) const
{
    for (const MVevent &e : events)
        if (e.type == type)
            return &e;
    return nullptr;
}

void EngineTest::SetUp()
{
    ASSERT_TRUE(threadsReady);
    if (!display_)
        display_ = kgltest::openDisplay();
    if (!display_)
        GTEST_SKIP() << "no X display";
    ASSERT_EQ(mvGetEventFD(&eventFD_), 0);
    drainEvents();
    mvSetSelectEvents(MV_EVENT_MASK_STOP | MV_EVENT_MASK_ERROR);
    if (windowWidth_ > 0) {
        window_ = makeWindow(windowWidth_, windowHeight_);
        ASSERT_NE(window_, 0u);
    }
}

void EngineTest::TearDown()
{
    windows_.clear();
    if (display_)
        XSync(display_, False);
}

Window EngineTest::makeWindow(int width, int height)
{
    windows_.push_back(std::make_unique<kgltest::XWindow>(display_, width, height));
    return windows_.back()->id();
}

uint32_t EngineTest::windowPixel(Window window, int x, int y)
{
    XWindowAttributes attributes;
    XGetWindowAttributes(display_, window, &attributes);
    const std::vector<uint32_t> pixel =
        kgltest::serverPixels(display_, window, x, y, 1, 1, attributes.height);
    return pixel.empty() ? 0xffffffff : pixel[0];
}

bool EngineTest::waitForPixel(Window window, int x, int y, uint32_t value)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
        if (windowPixel(window, x, y) == value)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

Collected EngineTest::waitFor(int type, std::chrono::milliseconds limit)
{
    Collected got;
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return got;
        pollfd p{eventFD_, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) != 1)
            continue;
        while (mvPendingEvents() > 0) {
            MVevent e;
            if (mvNextEvent(&e) != 0)
                break;
            got.events.push_back(e);
            if (e.type == type)
                return got;
        }
    }
}

Collected EngineTest::collect(std::chrono::milliseconds span)
{
    return waitFor(-1, span);
}

void EngineTest::stressPlayAndStop(MVid movie, int rounds)
{
    MVplayback *object = nullptr;
    ASSERT_EQ(__mvPB_FindByMovieID(movie, &object), 0);
    mvSetSelectEvents(MV_EVENT_MASK_STOP);
    for (int i = 0; i < rounds; i++) {
        ASSERT_EQ(mvPlay(movie), 0);
        if (i % 3 != 0) {
            ASSERT_EQ(mvSetPlayEveryFrame(movie, 1), 0);
        }
        if (i % 3 == 1) {
            ASSERT_EQ(mvSetPlayEveryFrame(movie, 0), 0);
        }
        ASSERT_EQ(mvStop(movie), 0);
        {
            // Stopped means the pacing thread waits at a closed gate.
            std::lock_guard<std::mutex> hold(object->gate.lock);
            ASSERT_TRUE(object->gate.parked && !object->gate.open) << "round " << i;
        }
        ASSERT_EQ(mvSetPlayEveryFrame(movie, 0), 0);
        ASSERT_EQ(waitFor(MV_EVENT_STOP).count(MV_EVENT_STOP), 1) << "round " << i;
    }
    // Long enough for many frame periods at the speeds the stress plays at.
    const int32_t stopped = mvGetCurrentFrame(movie);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(mvGetCurrentFrame(movie), stopped);
}

void EngineTest::drainEvents()
{
    MVevent e;
    while (mvPendingEvents() > 0 && mvNextEvent(&e) == 0) {
    }
}

}  // namespace engine_test
