// The engine's life at exit: a program that bound and played a movie ends
// normally, with every engine thread stopped and the arena file removed. The
// case runs this test program again as a child that binds, plays, stops and
// exits with the movie still bound.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
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

TEST_F(Teardown, ProgramEndsCleanlyAndRemovesTheArenaFile)
{
    if (std::getenv("CINELARK_ENGINE_CHILD"))
        GTEST_SKIP();
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    const std::string command = std::string("CINELARK_ENGINE_CHILD=1 '") + self +
                                "' --gtest_filter=Teardown.ChildBindsPlaysAndExits";
    FILE *child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    std::string arena;
    char line[4096];
    while (std::fgets(line, sizeof line, child)) {
        std::string text(line);
        if (text.rfind("ARENA ", 0) == 0)
            arena = text.substr(6, text.size() - 7);
    }
    const int status = pclose(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_FALSE(arena.empty());
    EXPECT_NE(arena.find("/.mvlib"), std::string::npos) << arena;
    EXPECT_FALSE(exists(arena)) << arena;
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
