// Byte streams of all four kinds and the resource-part lookup.
#include "error.h"
#include "movie_builders.h"
#include "stream.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <thread>
#include <vector>

namespace {

using testing_movie::failsWith;
using testing_movie::ramp;

struct StreamCloser {
    MVstream *s = nullptr;
    ~StreamCloser() { __mvS_Destroy(s); }
};

TEST(DescriptorStream, PositionsAreRelativeToTheDescriptorsStartingPoint)
{
    TempDir dir;
    const std::string path = dir.write("data", ramp(200));
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(lseek(fd, 100, SEEK_SET), 100);

    StreamCloser c;
    ASSERT_EQ(__mvS_CreateWithFD(fd, 0, &c.s), 0);
    EXPECT_EQ(__mvS_Kind(c.s), MV_STREAM_FD);
    EXPECT_EQ(__mvS_FileMode(c.s), 0);
    unsigned char byte = 0;
    ASSERT_EQ(__mvS_Read(c.s, &byte, 1), 0);
    EXPECT_EQ(byte, 100);
    int64_t position = -1;
    ASSERT_EQ(__mvS_Seek(c.s, 0, 0, &position), 0);
    EXPECT_EQ(position, 0);
    ASSERT_EQ(__mvS_SeeknRead(c.s, 5, &byte, 1), 0);
    EXPECT_EQ(byte, 105);
    int64_t length = 0;
    ASSERT_EQ(__mvS_Length(c.s, &length), 0);
    EXPECT_EQ(length, 100);
    // A short read is an error of the system's.
    unsigned char buffer[101];
    ASSERT_EQ(__mvS_Seek(c.s, 0, 0, nullptr), 0);
    EXPECT_EQ(__mvS_Read(c.s, buffer, sizeof buffer), -1);
    EXPECT_LT(mvGetErrno(), 1000);
    EXPECT_EQ(close(fd), 0);
    MVstream *bad = nullptr;
    EXPECT_TRUE(failsWith(__mvS_CreateWithFD(-1, 0, &bad), EBADF));
}

TEST(NamedFileStream, OpensWithTheGivenFlagsAndReportsTheirAccessMode)
{
    TempDir dir;
    const std::string path = dir.file("new.mv");
    StreamCloser c;
    ASSERT_EQ(__mvS_CreateWithFile(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, &c.s), 0);
    EXPECT_EQ(__mvS_Kind(c.s), MV_STREAM_FILE);
    EXPECT_EQ(__mvS_FileMode(c.s), 2);
    EXPECT_STREQ(__mvS_FileName(c.s), path.c_str());
    const char text[] = "MOVI";
    ASSERT_EQ(__mvS_Write(c.s, text, 4), 0);
    ASSERT_EQ(__mvS_Seek(c.s, 10, 0, nullptr), 0);
    ASSERT_EQ(__mvS_Write(c.s, text, 4), 0);
    int64_t position = 0;
    ASSERT_EQ(__mvS_Seek(c.s, -2, 2, &position), 0);
    EXPECT_EQ(position, 12);
    __mvS_Destroy(c.s);
    c.s = nullptr;

    const auto bytes = TempDir::read(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("MOVI\0\0\0\0\0\0MOVI", 14));

    ASSERT_EQ(__mvS_CreateWithFile(path.c_str(), O_RDONLY, &c.s), 0);
    EXPECT_EQ(__mvS_FileMode(c.s), 0);
    EXPECT_TRUE(failsWith(__mvS_Write(c.s, text, 4), EBADF));
}

TEST(MemoryStream, ReadsWritesAndSeeksPastTheEndFailAndLeaveThePosition)
{
    auto memory = ramp(100);
    StreamCloser c;
    ASSERT_EQ(__mvS_CreateWithMem(memory.data(), memory.size(), &c.s), 0);
    EXPECT_EQ(__mvS_FileMode(c.s), 2);
    ASSERT_EQ(__mvS_Seek(c.s, 95, 0, nullptr), 0);
    unsigned char buffer[10] = {};
    EXPECT_TRUE(failsWith(__mvS_Read(c.s, buffer, 10), MV_ERR_MEM_TOO_SMALL));
    int64_t position = 0;
    ASSERT_EQ(__mvS_Seek(c.s, 0, 1, &position), 0);
    EXPECT_EQ(position, 95);
    ASSERT_EQ(__mvS_Read(c.s, buffer, 5), 0);
    EXPECT_EQ(std::tuple(buffer[0], buffer[4]), std::tuple(95, 99));

    // A write past the end copies nothing.
    ASSERT_EQ(__mvS_Seek(c.s, 96, 0, nullptr), 0);
    const unsigned char data[5] = {1, 2, 3, 4, 5};
    EXPECT_TRUE(failsWith(__mvS_Write(c.s, data, 5), MV_ERR_MEM_TOO_SMALL));
    EXPECT_EQ(memory, ramp(100));
    ASSERT_EQ(__mvS_Write(c.s, data, 4), 0);
    EXPECT_EQ(std::vector<unsigned char>(memory.begin() + 95, memory.end()),
              (std::vector<unsigned char>{95, 1, 2, 3, 4}));

    // Seeks outside the block are refused.
    ASSERT_EQ(__mvS_Seek(c.s, 40, 0, nullptr), 0);
    EXPECT_TRUE(failsWith(__mvS_Seek(c.s, 101, 0, nullptr), MV_ERR_MEM_TOO_SMALL));
    EXPECT_EQ(__mvS_Seek(c.s, -41, 1, nullptr), -1);
    EXPECT_EQ(__mvS_Seek(c.s, 1, 2, nullptr), -1);
    EXPECT_EQ(__mvS_Seek(c.s, INT64_MAX, 1, nullptr), -1);
    ASSERT_EQ(__mvS_Seek(c.s, 0, 1, &position), 0);
    EXPECT_EQ(position, 40);
    ASSERT_EQ(__mvS_Seek(c.s, 0, 2, &position), 0);
    EXPECT_EQ(position, 100) << "the end itself is a valid position";
    ASSERT_EQ(__mvS_Seek(c.s, -100, 2, &position), 0);
    EXPECT_EQ(position, 0);
}

TEST(Stream, SeeknReadIsAtomicBetweenThreads)
{
    // A seek of one thread between the other's seek and read would mix them.
    TempDir dir;
    std::vector<unsigned char> bytes(4096);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i / 1024);
    const std::string path = dir.write("quarters", bytes);
    StreamCloser c;
    ASSERT_EQ(__mvS_CreateWithFile(path.c_str(), O_RDONLY, &c.s), 0);
    std::atomic<int> mixed{0};
    auto reader = [&](int quarter) {
        std::vector<unsigned char> block(1024);
        for (int i = 0; i < 2000; ++i) {
            if (__mvS_SeeknRead(c.s, quarter * 1024, block.data(), block.size()) != 0 ||
                block.front() != quarter || block.back() != quarter)
                ++mixed;
        }
    };
    std::thread a(reader, 1), b(reader, 3);
    a.join();
    b.join();
    EXPECT_EQ(mixed.load(), 0);
}

TEST(ResourceFork, PrefersTheHSresourceFileFallsBackToResourceAndMayBeMissingOrImpossible)
{
    TempDir dir;
    const std::string movie = dir.write("intro.mov", {1});
    StreamCloser c;
    ASSERT_EQ(__mvS_CreateWithFile(movie.c_str(), O_RDONLY, &c.s), 0);
    StreamCloser fork;
    EXPECT_TRUE(failsWith(__mvS_OpenResourceFork(c.s, &fork.s), ENOENT));

    dir.write(".resource/intro.mov", {'R'});
    ASSERT_EQ(__mvS_OpenResourceFork(c.s, &fork.s), 0);
    unsigned char byte = 0;
    ASSERT_EQ(__mvS_Read(fork.s, &byte, 1), 0);
    EXPECT_EQ(byte, 'R');
    EXPECT_EQ(__mvS_FileMode(fork.s), 0);
    __mvS_Destroy(fork.s);
    fork.s = nullptr;

    dir.write(".HSresource/intro.mov", {'H'});
    ASSERT_EQ(__mvS_OpenResourceFork(c.s, &fork.s), 0);
    ASSERT_EQ(__mvS_Read(fork.s, &byte, 1), 0);
    EXPECT_EQ(byte, 'H');

    // A bare name gets the bare subdirectory; memory and dummy streams and a
    // name too long for a path have none.
    char path[MV_STREAM_MAX_PATH];
    ASSERT_EQ(__mvS_ResourcePath("intro.mov", ".HSresource", path, sizeof path), 0);
    EXPECT_STREQ(path, ".HSresource/intro.mov");
    EXPECT_EQ(__mvS_ResourcePath(std::string(MV_STREAM_MAX_PATH, 'x').c_str(), ".resource", path, sizeof path), -1);
    StreamCloser m, d;
    ASSERT_EQ(__mvS_CreateWithMem(&byte, 1, &m.s), 0);
    ASSERT_EQ(__mvS_CreateDummy(&d.s), 0);
    MVstream *none = nullptr;
    EXPECT_EQ(__mvS_OpenResourceFork(m.s, &none), -1);
    EXPECT_EQ(__mvS_OpenResourceFork(d.s, &none), -1);
}

}  // namespace
