// The engine's life at exit: a program that bound and played a movie ends
// normally, with every engine thread stopped and the arena file removed,
// however it ends. The cases run this test program again as a child, which
// binds a movie and leaves in the way CINELARK_ENGINE_CHILD names (with
// " sound" after it the movie has a sound track that paces it).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

#include "engine_fixture.h"

const char *__mvPB_GetSharedArenaFname();

namespace engine_test {
namespace {

using namespace std::chrono_literals;

bool exists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class Teardown : public EngineTest {};

TEST_F(Teardown, Child)
{
    const char *how = std::getenv("CINELARK_ENGINE_CHILD");
    if (!how)
        GTEST_SKIP() << "run by the cases below as a program of its own";
    std::string mode = how;
    const bool sound = mode.ends_with(" sound");
    if (sound)
        mode.resize(mode.size() - 6);
    // The movie and its bytes outlive main: the engine reads frames from
    // them until its exit teardown closes the movie. The window stays too.
    static TestMovie *movie = new TestMovie(32, 24, 20, 100.0);
    ASSERT_TRUE(movie->ok());
    // Quiet sound for the whole movie, so that its audio thread paces it
    // and an audio port is open when the program leaves.
    const auto quiet = [](int) -> int16_t { return 16; };
    ASSERT_TRUE(!sound || movie->addSound(16, 22050, 20 * 22050 / 100, quiet));
    const Window window = makeWindow(32, 24);
    static kgltest::XWindow *kept = windows_.back().release();
    windows_.clear();
    ASSERT_EQ(kept->id(), window);
    ASSERT_EQ(mvBindWindow(movie->id(), display_, window), 0);
    // The arena file exists while the engine runs; without it no name is
    // written for the cases below to look for.
    const char *arena = __mvPB_GetSharedArenaFname();
    ASSERT_TRUE(arena && exists(arena));
    std::fprintf(stderr, "ARENA %s\n", arena);
    mvSetSelectEvents(MV_EVENT_MASK_FRAME | MV_EVENT_MASK_STOP | MV_EVENT_MASK_ERROR);
    ASSERT_EQ(mvSetPlayLoopMode(movie->id(), MV_LOOP_REPEAT), 0);
    ASSERT_EQ(mvSetPlaySpeed(movie->id(), 4.0), 0);
    ASSERT_EQ(mvPlay(movie->id()), 0);
    if (mode == "stop-exit") {
        std::this_thread::sleep_for(100ms);  // a few frames' time
        ASSERT_EQ(mvStop(movie->id()), 0);
        std::exit(0);
    }
    // The engine's threads are busy painting when the program leaves.
    for (int i = 0; i < 5; i++)
        ASSERT_EQ(waitFor(MV_EVENT_FRAME).count(MV_EVENT_FRAME), 1);
    // The leak checker would otherwise blame the GL driver's own blocks on
    // the display's close.
    kgltest::keepGLDriverLoaded();
    if (mode.starts_with("close-")) {
        XCloseDisplay(display_);
        display_ = nullptr;
        mode.erase(0, 6);
    }
    if (mode == "exit")
        std::exit(0);
    if (mode == "thread-exit")
        std::thread([] { std::exit(0); }).join();
    ASSERT_EQ(mode, "return");
}

// Runs this program as the child that leaves in the given way; its exit
// status and what it wrote on standard error.
std::pair<int, std::string> runChild(const std::string &mode)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    const std::string command = "CINELARK_ENGINE_CHILD='" + mode + "' '" + self +
                                "' --gtest_filter=Teardown.Child 2>&1 >/dev/null";
    FILE *child = popen(command.c_str(), "r");
    if (!child)
        return {-1, "popen failed"};
    std::string output;
    char line[4096];
    while (std::fgets(line, sizeof line, child))
        output += line;
    return {pclose(child), output};
}

// Each way is run several times: a wrong order of the engine's, the GL
// driver's and Xlib's teardown shows as a crash in only some of the runs.
// Nothing but the arena file's name may be written on standard error (no
// sanitizer's report, no failed check), and the file is gone at the end.
TEST_F(Teardown, LeavingInEveryWayEndsCleanlyAndRemovesTheArenaFile)
{
    if (std::getenv("CINELARK_ENGINE_CHILD"))
        GTEST_SKIP();
    for (const char *mode : {"stop-exit", "exit", "return", "thread-exit", "close-exit",
                             "close-return", "exit sound", "close-return sound"}) {
        for (int i = 0; i < 6; i++) {
            SCOPED_TRACE(testing::Message() << mode << " run " << i);
            const auto [status, output] = runChild(mode);
            ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal\n" << output;
            ASSERT_EQ(WEXITSTATUS(status), 0) << output;
            ASSERT_TRUE(output.starts_with("ARENA ")) << output;
            const std::string arena = output.substr(6, output.find('\n') - 6);
            ASSERT_EQ(output, "ARENA " + arena + "\n");
            EXPECT_NE(arena.find("/.mvlib"), std::string::npos) << arena;
            EXPECT_FALSE(exists(arena)) << arena;
        }
    }
}

}  // namespace
}  // namespace engine_test
