// The arena's temporary file: named with its prefix, present while the
// object lives, gone afterwards.
#include "arena/arena_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

using cinelark::arena::ArenaFile;

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

TEST(ArenaFile, IsCreatedWithItsPrefixAndRemovedWithTheObject)
{
    char dir[] = "/tmp/arena_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path;
    {
        auto file = ArenaFile::createIn(dir);
        ASSERT_NE(file, nullptr);
        path = file->path();
        EXPECT_EQ(path.rfind(std::string(dir) + "/.mvlib", 0), 0u) << path;
        EXPECT_TRUE(exists(path));
        auto second = ArenaFile::createIn(dir);
        ASSERT_NE(second, nullptr);
        EXPECT_NE(second->path(), path);
    }
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(rmdir(dir), 0) << "every file was removed";
    EXPECT_EQ(ArenaFile::createIn(dir), nullptr) << "the directory is gone";
}

TEST(ArenaFile, DefaultDirectoryExists)
{
    struct stat st;
    const std::string dir = ArenaFile::defaultDirectory();
    ASSERT_EQ(stat(dir.c_str(), &st), 0) << dir;
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    auto file = ArenaFile::create();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->path().rfind(dir + "/.mvlib", 0), 0u);
}

}  // namespace
