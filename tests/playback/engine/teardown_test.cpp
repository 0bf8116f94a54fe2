// The engine's life at exit: a program that bound and played a movie ends
// normally, with every engine thread stopped and the arena file removed,
// however it ends. The cases run programs of their own as children: this
// test program again (binds, plays, stops and exits with the movie still
// bound) and the exit child, which leaves while its movie plays.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <thread>

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

// The child's part: only when run by the case below.
TEST_F(Teardown, ChildBindsPlaysAndExits)
{
    if (!std::getenv("CINELARK_ENGINE_CHILD"))
        GTEST_SKIP() << "run as the child of ProgramEndsCleanlyAndRemovesTheArenaFile";
    Window window = makeWindow(16, 12);
    TestMovie movie(16, 12, 30, 100.0);
    ASSERT_TRUE(movie.ok());
    ASSERT_EQ(mvBindWindow(movie.id(), display_, window), 0);
    const std::string arena = __mvPB_GetSharedArenaFname();
    std::printf("ARENA %s\n", arena.c_str());
    std::fflush(stdout);
    mvSetPlayLoopMode(movie.id(), MV_LOOP_REPEAT);
    ASSERT_EQ(mvPlay(movie.id()), 0);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(mvStop(movie.id()), 0);
    // The movie is left bound: the exit handler must close it and end the
    // engine's threads.
    std::exit(0);
}

// Runs a command and returns its exit status and everything it printed.
std::pair<int, std::string> run(const std::string &command)
{
    FILE *child = popen((command + " 2>&1").c_str(), "r");
    if (!child)
        return {-1, "popen failed"};
    std::string output;
    char line[4096];
    while (std::fgets(line, sizeof line, child))
        output += line;
    return {pclose(child), output};
}

TEST_F(Teardown, ProgramEndsCleanlyAndRemovesTheArenaFile)
{
    if (std::getenv("CINELARK_ENGINE_CHILD"))
        GTEST_SKIP();
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    const auto [status, output] = run(std::string("CINELARK_ENGINE_CHILD=1 '") + self +
                                      "' --gtest_filter=Teardown.ChildBindsPlaysAndExits");
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    const size_t at = output.find("ARENA ");
    ASSERT_NE(at, std::string::npos) << output;
    const std::string arena = output.substr(at + 6, output.find('\n', at) - at - 6);
    EXPECT_NE(arena.find("/.mvlib"), std::string::npos) << arena;
    EXPECT_FALSE(exists(arena)) << arena;
}

// A program may end while a movie plays, without closing it, by exit() on
// any thread or by returning from main, and it may close its display first;
// its movie may be paced by its timer or by its sound.
// Each way is run several times: a wrong order of the engine's, the GL
// driver's and Xlib's teardown shows as a crash in only some of the runs.
TEST_F(Teardown, LeavingWhileAMoviePlaysEndsCleanlyInEveryOrder)
{
    if (std::getenv("CINELARK_ENGINE_CHILD"))
        GTEST_SKIP();
    constexpr int kRuns = 6;
    for (const char *mode : {"exit", "return", "thread-exit", "close-exit", "close-return",
                             "exit sound", "close-return sound"}) {
        for (int i = 0; i < kRuns; i++) {
            const auto [status, output] = run(std::string("'") + ENGINE_EXIT_CHILD + "' " + mode);
            ASSERT_TRUE(WIFEXITED(status)) << mode << " run " << i << " ended by a signal\n"
                                           << output;
            ASSERT_NE(WEXITSTATUS(status), 2) << mode << " could not set up: " << output;
            ASSERT_EQ(WEXITSTATUS(status), 0) << mode << " run " << i << "\n" << output;
            ASSERT_EQ(output, "") << mode << " run " << i;
        }
    }
}

TEST_F(Teardown, ArenaFileExistsWhileTheEngineRuns)
{
    Window window = makeWindow(16, 12);
    TestMovie movie(16, 12, 3, 100.0);
    ASSERT_EQ(mvBindWindow(movie.id(), display_, window), 0);
    const char *arena = __mvPB_GetSharedArenaFname();
    ASSERT_NE(arena, nullptr);
    EXPECT_TRUE(exists(arena));
}

}  // namespace
}  // namespace engine_test
