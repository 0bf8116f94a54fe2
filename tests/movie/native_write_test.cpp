// Writing version 3 files: the exact bytes of small movies, the growth of
// the directory space that moves frame data out of its way, user
// parameters, and the refusals.
#include <cinelark/movie.h>

#include "error.h"
#include "directory.h"
#include "formats.h"
#include "model.h"
#include "native_bytes.h"
#include "stream.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using namespace native_bytes;

struct ParamsDeleter {
    void operator()(DMparams *p) const { dmParamsDestroy(p); }
};
using Params = std::unique_ptr<DMparams, ParamsDeleter>;

Params newParams()
{
    DMparams *p = nullptr;
    dmParamsCreate(&p);
    return Params(p);
}

Params imageTrackParams(int width, int height)
{
    Params p = newParams();
    dmSetImageDefaults(p.get(), width, height, DM_PACKING_RGBX);
    dmParamsSetFloat(p.get(), DM_IMAGE_RATE, 15.0);
    dmParamsSetEnum(p.get(), DM_IMAGE_ORIENTATION, DM_ORIENTATION_BOTTOM_TO_TOP);
    return p;
}

Params audioTrackParams()
{
    Params p = newParams();
    dmSetAudioDefaults(p.get(), 8, 8000.0, 1);
    return p;
}

// A movie in a block of memory filled with a marker, so that every byte the
// writer touches shows.
class MemoryMovie {
public:
    explicit MemoryMovie(int loopLimit = 0, size_t size = 4096) : memory(size, 0xEE)
    {
        Params p = newParams();
        mvSetMovieDefaults(p.get(), MV_FORMAT_NATIVE_3);
        dmParamsSetInt(p.get(), "LOOP_LIMIT", loopLimit);
        EXPECT_EQ(mvCreateMem(memory.data(), memory.size(), p.get(), nullptr, &id), 0);
    }
    ~MemoryMovie()
    {
        if (id && mvClose(id) != 0) {
            MVmovie *movie = __mvFindMovie(id);
            __mvUnregisterMovie(id);
            __mvMV_Destroy(movie);
        }
    }
    MVid addTrack(int medium, const Params &p)
    {
        MVid track = 0;
        EXPECT_EQ(mvAddTrack(id, medium, p.get(), nullptr, &track), 0) << mvGetErrorStr(mvGetErrno());
        return track;
    }
    Bytes head(size_t n) const { return Bytes(memory.begin(), memory.begin() + n); }

    std::vector<uint8_t> memory;
    MVid id = 0;
};

Bytes frameBytes(uint8_t first, size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(first + i);
    return b;
}

// 32-bit pixels are native words in memory and big-endian words in files.
Bytes asStoredWords(Bytes b)
{
    for (size_t i = 0; i + 4 <= b.size(); i += 4)
        std::reverse(b.begin() + long(i), b.begin() + long(i) + 4);
    return b;
}

TEST(NativeWriter, SmallImageMovieIsByteExact)
{
    MemoryMovie movie(3);
    const MVid track = movie.addTrack(DM_MEDIUM_IMAGE, imageTrackParams(2, 1));
    Bytes frames = frameBytes(0x10, 16);
    ASSERT_EQ(mvInsertFrames(track, 0, 2, frames.size(), frames.data()), 0);
    ASSERT_EQ(mvWrite(movie.id), 0) << mvGetErrorStr(mvGetErrno());

    Bytes expected = v3Header(5);
    append(expected, record("LOOP_MODE", "0"));
    append(expected, record("NUM_LOOPS", "3"));
    append(expected, record("OPTIMIZED", "0"));
    append(expected, record("__NUM_A_TRACKS", "0"));
    append(expected, record("__NUM_I_TRACKS", "1"));
    append(expected, trackHeader(8));
    append(expected, record("WIDTH", "2"));
    append(expected, record("HEIGHT", "1"));
    append(expected, record("FPS", "15.000000"));
    append(expected, record("COMPRESSION", "2"));
    append(expected, record("INTERLACING", "0"));
    append(expected, record("PACKING", "1001"));
    append(expected, record("ORIENTATION", "1101"));
    append(expected, record("__DIR_COUNT", "2"));
    // The area is 368 bytes. Growing the space at offset 0 to that size moved
    // the two 8-byte frames (at 8 and 16) to the end of the file again and
    // again, first to last, until they lay past it: frame 1 at 368 and
    // frame 0 at 376.
    append(expected, entry(376, 8));
    append(expected, entry(368, 8));
    ASSERT_EQ(expected.size(), 368u);
    EXPECT_EQ(movie.head(368), expected);
    EXPECT_EQ(Bytes(movie.memory.begin() + 368, movie.memory.begin() + 376), asStoredWords(frameBytes(0x18, 8)));
    EXPECT_EQ(Bytes(movie.memory.begin() + 376, movie.memory.begin() + 384), asStoredWords(frameBytes(0x10, 8)));
    EXPECT_EQ(movie.memory[384], 0xEE) << "nothing is written past the last block";
}

TEST(NativeWriter, RecordValuesFollowTheFormatsTextRules)
{
    // The record for "LOOP_LIMIT" 3 is "NUM_LOOPS" with text "3" and length
    // 2; the rate 15.0 is "FPS" with "15.000000" and length 10.
    MemoryMovie movie(3);
    movie.addTrack(DM_MEDIUM_IMAGE, imageTrackParams(2, 1));
    ASSERT_EQ(mvWrite(movie.id), 0);
    const Bytes numLoops = record("NUM_LOOPS", "3");
    EXPECT_EQ(numLoops.size(), 20u + 2u);
    auto at = std::search(movie.memory.begin(), movie.memory.begin() + 400, numLoops.begin(), numLoops.end());
    EXPECT_NE(at, movie.memory.begin() + 400);
    const Bytes fps = record("FPS", "15.000000");
    EXPECT_EQ(fps[19], 10);
    at = std::search(movie.memory.begin(), movie.memory.begin() + 400, fps.begin(), fps.end());
    EXPECT_NE(at, movie.memory.begin() + 400);
}

TEST(NativeWriter, AudioDirectoryComesBeforeTheImageDirectory)
{
    MemoryMovie movie;
    const MVid image = movie.addTrack(DM_MEDIUM_IMAGE, imageTrackParams(1, 1));
    const MVid audio = movie.addTrack(DM_MEDIUM_AUDIO, audioTrackParams());
    Bytes pixel = frameBytes(1, 4), samples = frameBytes(0x40, 6);
    ASSERT_EQ(mvInsertFrames(image, 0, 1, pixel.size(), pixel.data()), 0);
    ASSERT_EQ(mvInsertFrames(audio, 0, 6, samples.size(), samples.data()), 0);
    ASSERT_EQ(mvWrite(movie.id), 0) << mvGetErrorStr(mvGetErrno());

    Bytes expected = v3Header(4);
    append(expected, record("LOOP_MODE", "0"));
    append(expected, record("NUM_LOOPS", "0"));
    append(expected, record("OPTIMIZED", "0"));
    append(expected, record("__NUM_A_TRACKS", "1"));
    append(expected, record("__NUM_I_TRACKS", "1"));
    expected[19] = 5;  // the record count
    append(expected, trackHeader(7));
    append(expected, record("SAMPLE_WIDTH", "1"));
    append(expected, record("NUM_CHANNELS", "1"));
    append(expected, record("SAMPLE_RATE", "8000.000000"));
    append(expected, record("AUDIO_FORMAT", "401"));
    append(expected, record("COMPRESSION", "100"));
    append(expected, record("DEFAULT_VOL", "1.000000"));
    append(expected, record("__DIR_COUNT", "1"));
    const size_t imageHeaderAt = expected.size();
    append(expected, trackHeader(8));
    append(expected, record("WIDTH", "1"));
    append(expected, record("HEIGHT", "1"));
    append(expected, record("FPS", "15.000000"));
    append(expected, record("COMPRESSION", "2"));
    append(expected, record("INTERLACING", "0"));
    append(expected, record("PACKING", "1001"));
    append(expected, record("ORIENTATION", "1101"));
    append(expected, record("__DIR_COUNT", "1"));
    const size_t directoryAt = expected.size();
    ASSERT_GT(imageHeaderAt, 0u);

    const Bytes written = movie.head(directoryAt + 32);
    ASSERT_EQ(Bytes(written.begin(), written.begin() + directoryAt), expected);
    // Audio entry first: 6 bytes; then the image entry: 4 bytes.
    native_bytes::Bytes audioEntry(written.begin() + directoryAt, written.begin() + directoryAt + 16);
    native_bytes::Bytes imageEntry(written.begin() + directoryAt + 16, written.begin() + directoryAt + 32);
    EXPECT_EQ(audioEntry[7], 6);
    EXPECT_EQ(imageEntry[7], 4);
    const uint32_t audioOffset = uint32_t(audioEntry[0]) << 24 | audioEntry[1] << 16 | audioEntry[2] << 8 | audioEntry[3];
    const uint32_t imageOffset = uint32_t(imageEntry[0]) << 24 | imageEntry[1] << 16 | imageEntry[2] << 8 | imageEntry[3];
    EXPECT_GE(audioOffset, directoryAt + 32);
    EXPECT_GE(imageOffset, directoryAt + 32);
    EXPECT_EQ(Bytes(movie.memory.begin() + audioOffset, movie.memory.begin() + audioOffset + 6), samples);
    EXPECT_EQ(Bytes(movie.memory.begin() + imageOffset, movie.memory.begin() + imageOffset + 4), asStoredWords(pixel));
}

TEST(NativeWriter, GrowingDirectoryMovesDataFirstToLastAndKeepsItReadable)
{
    TempDir dir;
    const std::string path = dir.file("grow.mv");
    Params p = newParams();
    mvSetMovieDefaults(p.get(), MV_FORMAT_NATIVE_3);
    MVid movie = 0;
    ASSERT_EQ(mvCreateFile(path.c_str(), p.get(), nullptr, &movie), 0);
    MVid track = 0;
    Params ip = imageTrackParams(10, 5);  // 200-byte frames
    ASSERT_EQ(mvAddTrack(movie, DM_MEDIUM_IMAGE, ip.get(), nullptr, &track), 0);
    std::vector<uint8_t> frames(200 * 6);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = uint8_t(i / 200 * 31 + i % 7);
    ASSERT_EQ(mvInsertFrames(track, 0, 6, frames.size(), frames.data()), 0);
    ASSERT_EQ(mvClose(movie), 0) << mvGetErrorStr(mvGetErrno());

    const Bytes file = TempDir::read(path);
    ASSERT_GE(file.size(), 24u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), (Bytes{'M', 'O', 'V', 'I', 0, 0, 0, 3}));

    ASSERT_EQ(mvOpenFile(path.c_str(), O_RDONLY, &movie), 0) << mvGetErrorStr(mvGetErrno());
    ASSERT_EQ(mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &track), 0);
    EXPECT_EQ(mvGetTrackLength(track), 6);
    std::vector<uint8_t> back(frames.size());
    ASSERT_EQ(mvReadFrames(track, 0, 6, back.size(), back.data()), 0);
    EXPECT_EQ(back, frames);
    // The blocks that were in the way went to the end in order: frames 0 to
    // 2 sat at 8, 208 and 408, inside the directory area of a little over
    // 400 bytes, and were moved; frames 3 to 5 stayed.
    MVdirectory *directory = __mvT_DirList(track);
    uint32_t offsets[6];
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(__mvDL_DirEntry(directory, i, &offsets[i], nullptr, nullptr, nullptr), 0);
    const uint32_t directorySize = __mvMV_DirectorySize(movie);
    EXPECT_GT(directorySize, 408u);
    EXPECT_LT(directorySize, 608u);
    EXPECT_EQ(offsets[3], 608u);
    EXPECT_EQ(offsets[4], 808u);
    EXPECT_EQ(offsets[5], 1008u);
    EXPECT_EQ(offsets[0], 1208u);
    EXPECT_EQ(offsets[1], 1408u);
    EXPECT_EQ(offsets[2], 1608u);
    EXPECT_EQ(file.size(), 1808u);
    ASSERT_EQ(mvClose(movie), 0);
}

TEST(NativeWriter, UserParametersAreWrittenBackUnderTheirNames)
{
    ASSERT_EQ(mvAddUserParam("DIRECTOR"), 0);
    MemoryMovie movie;
    Params p = newParams();
    dmParamsSetString(p.get(), "DIRECTOR", "Smith");
    dmParamsSetString(p.get(), "TITLE", "Dawn");
    ASSERT_EQ(mvSetParams(movie.id, p.get(), nullptr), 0);
    movie.addTrack(DM_MEDIUM_IMAGE, imageTrackParams(1, 1));
    ASSERT_EQ(mvWrite(movie.id), 0);
    const Bytes director = record("DIRECTOR", "Smith");
    const Bytes title = record("TITLE", "Dawn");
    EXPECT_NE(std::search(movie.memory.begin(), movie.memory.end(), director.begin(), director.end()),
              movie.memory.end());
    EXPECT_NE(std::search(movie.memory.begin(), movie.memory.end(), title.begin(), title.end()),
              movie.memory.end());

    MVid reopened = 0;
    ASSERT_EQ(mvOpenMem(movie.memory.data(), movie.memory.size(), &reopened), 0);
    EXPECT_STREQ(dmParamsGetString(mvGetParams(reopened), "DIRECTOR"), "Smith");
    EXPECT_STREQ(mvGetTitle(reopened), "Dawn");
    ASSERT_EQ(mvClose(reopened), 0);
}

TEST(NativeWriter, UserParameterNameTooLongForTheFieldIsRefused)
{
    ASSERT_EQ(mvAddUserParam("PRODUCTION_HOUSE"), 0);  // 16 characters
    MemoryMovie movie;
    Params p = newParams();
    dmParamsSetString(p.get(), "PRODUCTION_HOUSE", "North");
    ASSERT_EQ(mvSetParams(movie.id, p.get(), nullptr), 0);
    const std::vector<uint8_t> before = movie.memory;
    EXPECT_EQ(mvWrite(movie.id), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_MOVIE_SETTINGS);
    EXPECT_EQ(movie.memory, before) << "nothing is written";
    EXPECT_EQ(mvWrite(movie.id), -1) << "the movie stays dirty";
    // Removing the parameter lets the movie be written again.
    dmParamsRemove(mvGetParams(movie.id), "PRODUCTION_HOUSE");
    EXPECT_EQ(mvWrite(movie.id), 0);
}

TEST(NativeWriter, OnlyTheFirstTrackOfEachMediumIsWritten)
{
    MemoryMovie movie;
    movie.addTrack(DM_MEDIUM_IMAGE, imageTrackParams(3, 1));
    movie.addTrack(DM_MEDIUM_IMAGE, imageTrackParams(5, 1));
    ASSERT_EQ(mvWrite(movie.id), 0);
    MVid reopened = 0, image = 0;
    ASSERT_EQ(mvOpenMem(movie.memory.data(), movie.memory.size(), &reopened), 0);
    ASSERT_EQ(mvFindTrackByMedium(reopened, DM_MEDIUM_IMAGE, &image), 0);
    EXPECT_EQ(mvGetImageWidth(image), 3);
    EXPECT_EQ(__mvMV_TrackCount(reopened), 1);
    ASSERT_EQ(mvClose(reopened), 0);
}

TEST(NativeWriter, MemoryTooSmallForTheDirectoryFailsAndStaysDirty)
{
    MemoryMovie movie(0, 64);
    ASSERT_NE(movie.id, 0);
    movie.addTrack(DM_MEDIUM_IMAGE, imageTrackParams(1, 1));
    EXPECT_EQ(mvWrite(movie.id), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_MEM_TOO_SMALL);
}

TEST(NativeWriter, CleanMovieIsNotWritten)
{
    MemoryMovie movie;
    const std::vector<uint8_t> before = movie.memory;
    EXPECT_EQ(mvWrite(movie.id), 0);
    EXPECT_EQ(movie.memory, before);
}

}  // namespace
