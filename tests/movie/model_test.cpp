// Movies and ids: numbering, creation on each kind of storage, the clean
// and dirty states, and bad ids everywhere.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "error.h"
#include "movie_builders.h"
#include "stream.h"
#include "temp_dir.h"

using namespace testing_movie;

namespace {

TEST(MovieCreate, DefaultsAreReadBackTheSettingsTakenReturnedAndEachRequiredOneNeeded)
{
    MemMovie movie(MV_FORMAT_QUICKTIME);
    ASSERT_EQ(movie.created(), 0);
    EXPECT_EQ(std::tuple(mvGetFileFormat(movie.id()), mvGetLoopMode(movie.id()), mvGetLoopLimit(movie.id()),
                         mvGetOptimized(movie.id()), mvGetTitle(movie.id())),
              std::tuple(int(MV_FORMAT_QUICKTIME), int(MV_LOOP_ONCE), 0, 0, nullptr));

    Params p = movieParams();
    dmParamsSetString(p.get(), MV_TITLE, "Harbour");
    dmParamsSetString(p.get(), "UNKNOWN_THING", "dropped");
    Params returned = newParams();
    std::vector<uint8_t> memory(4096);
    MVid id = 0;
    ASSERT_EQ(mvCreateMem(memory.data(), memory.size(), p.get(), returned.get(), &id), 0);
    EXPECT_STREQ(dmParamsGetString(returned.get(), MV_TITLE), "Harbour");
    EXPECT_EQ(dmParamsGetEnum(returned.get(), MV_FILE_FORMAT), MV_FORMAT_NATIVE_3);
    EXPECT_FALSE(dmParamsIsPresent(returned.get(), "UNKNOWN_THING"));
    EXPECT_FALSE(dmParamsIsPresent(mvGetParams(id), "UNKNOWN_THING"));
    MemMovie::release(id);

    for (const char *missing : {MV_FILE_FORMAT, MV_LOOP_LIMIT, MV_LOOP_MODE, MV_OPTIMIZED}) {
        p = movieParams();
        dmParamsRemove(p.get(), missing);
        EXPECT_TRUE(failsWith(mvCreateMem(memory.data(), memory.size(), p.get(), nullptr, &id), MV_ERR_MOVIE_SETTINGS))
            << missing;
    }
}

TEST(MovieCreate, OnFilesAndDescriptorsReportsErrorsKeepsFilesOnBadSettingsAndTruncatesOtherwise)
{
    TempDir dir;
    MVid id = 0;
    Params p = movieParams();
    EXPECT_TRUE(failsWith(mvCreateFile((dir.path() + "/missing/dir/x.mv").c_str(), p.get(), nullptr, &id), ENOENT));

    // Bad settings are refused before the file is touched.
    std::string existing = dir.write("keep.mv", {1, 2, 3});
    dmParamsSetEnum(p.get(), MV_LOOP_MODE, 7);
    EXPECT_TRUE(failsWith(mvCreateFile(existing.c_str(), p.get(), nullptr, &id), MV_ERR_MOVIE_SETTINGS));
    EXPECT_EQ(TempDir::read(existing).size(), 3u);

    // Good settings truncate the file; where frames then go is the file
    // space manager's (filespace_test).
    std::string path = dir.write("new.mv", std::vector<unsigned char>(500, 7));
    p = movieParams();
    ASSERT_EQ(mvCreateFile(path.c_str(), p.get(), nullptr, &id), 0);
    EXPECT_EQ(TempDir::read(path).size(), 0u);
    MVid image = 0;
    ASSERT_EQ(mvAddTrack(id, DM_MEDIUM_IMAGE, imageParams(2, 1).get(), nullptr, &image), 0);
    uint32_t pixels[2] = {0x00332211, 0x00665544};
    ASSERT_EQ(mvInsertFrames(image, 0, 1, sizeof pixels, pixels), 0);
    EXPECT_EQ(TempDir::read(path).size(), 16u) << "frames go to the file itself";
    MemMovie::release(id);

    // A movie made on a descriptor leaves the descriptor the caller's.
    int fd = open(dir.file("fd.mv").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(mvCreateFD(fd, p.get(), nullptr, &id), 0);
    EXPECT_EQ(mvGetFileFormat(id), MV_FORMAT_NATIVE_3);
    MemMovie::release(id);
    EXPECT_EQ(fcntl(fd, F_GETFD), 0);
    close(fd);
}

TEST(MovieFiles, UnrecognisedDataIsNotAMovieAndAReadOnlyStreamRefusesTheWrite)
{
    // Bytes in memory are the Detection and QuickTimeDamage tests' case.
    MVid id = 0;
    TempDir dir;
    std::string path = dir.write("junk", std::vector<unsigned char>(64, 0x5a));
    EXPECT_EQ(mvIsMovieFile(path.c_str()), 0);
    EXPECT_EQ(mvIsMovieFile(dir.file("absent").c_str()), 0);
    EXPECT_EQ(mvIsMovieFile(dir.path().c_str()), 0) << "a directory is not a movie";
    EXPECT_TRUE(failsWith(mvOpenFile(dir.file("absent").c_str(), O_RDONLY, &id), ENOENT));
    EXPECT_TRUE(failsWith(mvOpenFile(path.c_str(), O_WRONLY, &id), EINVAL));

    // A read-only stream refuses the write of a changed movie.
    path = dir.write("ro.mv", {0});
    MVstream *stream = nullptr;
    ASSERT_EQ(__mvS_CreateWithFile(path.c_str(), O_RDONLY, &stream), 0);
    Params p = movieParams();
    ASSERT_EQ(__mvMV_Create(stream, p.get(), nullptr, &id), 0);
    ASSERT_EQ(__mvMV_LoadDone(id, 0), 0);
    ASSERT_EQ(mvSetComment(id, "changed"), 0);
    EXPECT_TRUE(failsWith(mvWrite(id), MV_ERR_READ_ONLY));
    // A close that cannot write leaves the movie open.
    EXPECT_EQ(mvClose(id), -1);
    EXPECT_STREQ(mvGetComment(id), "changed");
    MemMovie::release(id);
}

TEST(MovieErrors, BadIdsAndMissingPointersAreRefusedEverywhere)
{
    MemMovie movie;
    MVid image = movie.addImage(imageParams());
    ASSERT_NE(image, 0);
    const MVid unknown = 99991;
    MVid out = 0;
    int frame = 0;
    uint8_t buffer[64] = {};
    Params p = newParams();

    auto expectBadId = [](int result, const char *what) {
        EXPECT_TRUE(failsWith(result, MV_ERR_BAD_ID)) << what;
    };
    expectBadId(mvClose(unknown), "close");
    expectBadId(mvClose(-1), "the registry's own marker");
    expectBadId(mvWrite(unknown), "write");
    expectBadId(mvAddTrack(unknown, DM_MEDIUM_AUDIO, p.get(), nullptr, &out), "add track");
    expectBadId(mvFindTrackByMedium(unknown, DM_MEDIUM_IMAGE, &out), "find track");
    expectBadId(mvRemoveTrack(movie.id(), unknown), "remove track");
    expectBadId(mvSetParams(unknown, p.get(), nullptr), "set params");
    expectBadId(mvReadFrames(unknown, 0, 1, sizeof buffer, buffer), "read");
    expectBadId(mvInsertFrames(unknown, 0, 1, sizeof buffer, buffer), "insert");
    expectBadId(mvDeleteFrames(unknown, 0, 1), "delete");
    expectBadId(mvPasteFrames(image, 0, 1, unknown, 0), "paste");
    expectBadId(mvMapBetweenTracks(unknown, image, 0, &frame), "map");
    expectBadId(mvOptimize(movie.id(), unknown), "optimize");
    // Track-only operations refuse a movie id, movie-only ones a track id.
    expectBadId(mvReadFrames(movie.id(), 0, 1, sizeof buffer, buffer), "read a movie");
    expectBadId(mvReadCompressedImage(movie.id(), 0, sizeof buffer, buffer), "stored frame");
    expectBadId(mvAddTrack(image, DM_MEDIUM_AUDIO, p.get(), nullptr, &out), "track as movie");
    EXPECT_EQ(std::tuple(mvGetCompressedImageSize(unknown, 0), mvGetParams(unknown), mvGetImageWidth(unknown),
                         mvGetTitle(unknown), mvGetImageRate(unknown)),
              std::tuple(size_t(0), nullptr, 0, nullptr, 0.0));
    expectBadId(mvSetTitle(unknown, "x"), "setter");

    // Missing pointers are invalid arguments.
    EXPECT_TRUE(failsWith(mvCreateMem(nullptr, 100, p.get(), nullptr, &out), EINVAL));
    EXPECT_TRUE(failsWith(mvAddTrack(movie.id(), DM_MEDIUM_AUDIO, nullptr, nullptr, &out), EINVAL));
    EXPECT_EQ(mvFindTrackByMedium(movie.id(), DM_MEDIUM_IMAGE, nullptr), -1);
    EXPECT_EQ(mvSetParams(movie.id(), nullptr, nullptr), -1);
    EXPECT_EQ(mvSetTitle(movie.id(), nullptr), -1);
    EXPECT_EQ(mvMapBetweenTracks(image, image, 0, nullptr), -1);
    EXPECT_TRUE(failsWith(mvInsertFrames(image, 0, 1, 0, nullptr), EINVAL));
    EXPECT_EQ(mvSetMovieDefaults(nullptr, 0), -1);
    EXPECT_EQ(mvAddUserParam(nullptr), -1);
}

}  // namespace
