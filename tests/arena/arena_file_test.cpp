// The arena's temporary file: named with its prefix, present while the
// object lives, gone afterwards.
#include "arena/arena_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

using cinelark::arena::ArenaFile;

TEST(ArenaFile, IsCreatedWithItsPrefixAndRemovedWithTheObject)
{
    // Without a directory named, the default one is used.
    const std::string fallback = ArenaFile::defaultDirectory();
    auto inFallback = ArenaFile::create();
    ASSERT_NE(inFallback, nullptr);
    EXPECT_EQ(inFallback->path().rfind(fallback + "/.mvlib", 0), 0u);

    char dir[] = "/tmp/arena_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path;
    {
        auto file = ArenaFile::createIn(dir);
        ASSERT_NE(file, nullptr);
        path = file->path();
        EXPECT_EQ(path.rfind(std::string(dir) + "/.mvlib", 0), 0u) << path;
        EXPECT_EQ(access(path.c_str(), F_OK), 0);
        auto second = ArenaFile::createIn(dir);
        ASSERT_NE(second, nullptr);
        EXPECT_NE(second->path(), path);
    }
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_EQ(rmdir(dir), 0) << "every file was removed";
    EXPECT_EQ(ArenaFile::createIn(dir), nullptr) << "the directory is gone";
}

}  // namespace
