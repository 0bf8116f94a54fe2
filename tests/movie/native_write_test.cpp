// Writing version 3 files: the exact bytes of small movies, user
// parameters, and the refusals; and the code lists behind the name tables:
// each code read becomes its name and is written back as the same code, and
// text outside a list passes unchanged both ways.
#include <cinelark/movie.h>

#include "error.h"
#include "model.h"
#include "movie_builders.h"
#include "native/param_tables.h"
#include "native_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

using namespace native_bytes;
using namespace cinelark::native;
using namespace testing_movie;

// A memory movie of 4096 bytes filled with 0xEE.
struct MarkedMovie : MemMovie {
    explicit MarkedMovie(size_t size = 4096) : MemMovie(MV_FORMAT_NATIVE_3, size, 0xEE) {}
    MVid add(int medium, const Params &p)
    {
        MVid track = 0;
        EXPECT_EQ(mvAddTrack(id(), medium, p.get(), nullptr, &track), 0) << mvGetErrorStr(mvGetErrno());
        return track;
    }
    Bytes at(size_t from, size_t n) const { return Bytes(memory().begin() + long(from), memory().begin() + long(from + n)); }
};

// Appends version 3 records, name and value.
void records(Bytes &b, std::initializer_list<std::pair<const char *, const char *>> list)
{
    for (const auto &[name, value] : list)
        append(b, record(name, value));
}

// The records every movie starts with.
Bytes movieHeader(const char *loops, const char *audioTracks)
{
    Bytes b = v3Header(5);
    records(b, {{"LOOP_MODE", "0"}, {"NUM_LOOPS", loops}, {"OPTIMIZED", "0"}, {"__NUM_A_TRACKS", audioTracks},
                {"__NUM_I_TRACKS", "1"}});
    return b;
}

// The track records of an image track of the given size and frame count.
void imageTrack(Bytes &b, const char *width, const char *height, const char *frames)
{
    append(b, trackHeader(8));
    records(b, {{"WIDTH", width}, {"HEIGHT", height}, {"FPS", "15.000000"}, {"COMPRESSION", "2"},
                {"INTERLACING", "0"}, {"PACKING", "1001"}, {"ORIENTATION", "1101"}, {"__DIR_COUNT", frames}});
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
    MarkedMovie movie;
    ASSERT_EQ(mvSetLoopLimit(movie.id(), 3), 0);
    const MVid track = movie.add(DM_MEDIUM_IMAGE, imageParams(2, 1));
    Bytes frames = ramp(16, 0x10);
    ASSERT_EQ(mvInsertFrames(track, 0, 2, frames.size(), frames.data()), 0);
    ASSERT_EQ(mvWrite(movie.id()), 0) << mvGetErrorStr(mvGetErrno());

    // Text values carry their terminating zero: "NUM_LOOPS" "3" is 2 bytes,
    // "FPS" "15.000000" 10.
    Bytes expected = movieHeader("3", "0");
    imageTrack(expected, "2", "1", "2");
    // The area is 368 bytes. Growing the space at offset 0 to that size moved
    // the two 8-byte frames (at 8 and 16) to the end of the file again and
    // again, first to last, until they lay past it: frame 1 at 368 and
    // frame 0 at 376.
    append(expected, entry(376, 8));
    append(expected, entry(368, 8));
    ASSERT_EQ(expected.size(), 368u);
    EXPECT_EQ(movie.head(368), expected);
    EXPECT_EQ(movie.at(368, 8), asStoredWords(ramp(8, 0x18)));
    EXPECT_EQ(movie.at(376, 8), asStoredWords(ramp(8, 0x10)));
    EXPECT_EQ(movie.memory()[384], 0xEE) << "nothing is written past the last block";
}

TEST(NativeWriter, AudioDirectoryComesBeforeTheImageDirectory)
{
    MarkedMovie movie;
    const MVid image = movie.add(DM_MEDIUM_IMAGE, imageParams(1, 1));
    const MVid audio = movie.add(DM_MEDIUM_AUDIO, audioParams(8, 1, 8000.0));
    Bytes pixel = ramp(4, 1), samples = ramp(6, 0x40);
    ASSERT_EQ(mvInsertFrames(image, 0, 1, pixel.size(), pixel.data()), 0);
    ASSERT_EQ(mvInsertFrames(audio, 0, 6, samples.size(), samples.data()), 0);
    ASSERT_EQ(mvWrite(movie.id()), 0) << mvGetErrorStr(mvGetErrno());

    Bytes expected = movieHeader("0", "1");
    append(expected, trackHeader(7));
    records(expected, {{"SAMPLE_WIDTH", "1"}, {"NUM_CHANNELS", "1"}, {"SAMPLE_RATE", "8000.000000"},
                       {"AUDIO_FORMAT", "401"}, {"COMPRESSION", "100"}, {"DEFAULT_VOL", "1.000000"},
                       {"__DIR_COUNT", "1"}});
    imageTrack(expected, "1", "1", "1");
    const size_t directoryAt = expected.size();
    ASSERT_EQ(movie.head(directoryAt), expected);

    // Audio entry first (6 bytes), then the image entry (4 bytes), each
    // naming data past the directory.
    const Bytes audioEntry = movie.at(directoryAt, 16), imageEntry = movie.at(directoryAt + 16, 16);
    EXPECT_EQ(audioEntry[7], 6);
    EXPECT_EQ(imageEntry[7], 4);
    const auto offsetOf = [](const Bytes &e) { return uint32_t(e[0]) << 24 | e[1] << 16 | e[2] << 8 | e[3]; };
    EXPECT_GE(offsetOf(audioEntry), directoryAt + 32);
    EXPECT_GE(offsetOf(imageEntry), directoryAt + 32);
    EXPECT_EQ(movie.at(offsetOf(audioEntry), 6), samples);
    EXPECT_EQ(movie.at(offsetOf(imageEntry), 4), asStoredWords(pixel));
}

TEST(NativeWriter, UserParametersAreWrittenBackUnderTheirNamesUnlessTooLongForTheField)
{
    ASSERT_EQ(mvAddUserParam("DIRECTOR"), 0);
    ASSERT_EQ(mvAddUserParam("PRODUCTION_HOUSE"), 0);  // 16 characters
    MarkedMovie movie;
    Params p = newParams();
    dmParamsSetString(p.get(), "DIRECTOR", "Smith");
    dmParamsSetString(p.get(), "TITLE", "Dawn");
    dmParamsSetString(p.get(), "PRODUCTION_HOUSE", "North");
    ASSERT_EQ(mvSetParams(movie.id(), p.get(), nullptr), 0);
    const std::vector<uint8_t> before = movie.memory();
    EXPECT_TRUE(failsWith(mvWrite(movie.id()), MV_ERR_MOVIE_SETTINGS));
    EXPECT_EQ(movie.memory(), before) << "nothing is written";
    EXPECT_EQ(mvWrite(movie.id()), -1) << "the movie stays dirty";

    // Removing the parameter lets the movie be written again; of two image
    // tracks only the first is.
    dmParamsRemove(mvGetParams(movie.id()), "PRODUCTION_HOUSE");
    movie.add(DM_MEDIUM_IMAGE, imageParams(3, 1));
    movie.add(DM_MEDIUM_IMAGE, imageParams(5, 1));
    ASSERT_EQ(mvWrite(movie.id()), 0);
    for (const Bytes &r : {record("DIRECTOR", "Smith"), record("TITLE", "Dawn")})
        EXPECT_NE(std::search(movie.memory().begin(), movie.memory().end(), r.begin(), r.end()), movie.memory().end());
    std::vector<uint8_t> copy = movie.memory();
    MVid reopened = 0, image = 0;
    ASSERT_EQ(mvOpenMem(copy.data(), copy.size(), &reopened), 0);
    EXPECT_STREQ(dmParamsGetString(mvGetParams(reopened), "DIRECTOR"), "Smith");
    EXPECT_STREQ(mvGetTitle(reopened), "Dawn");
    ASSERT_EQ(mvFindTrackByMedium(reopened, DM_MEDIUM_IMAGE, &image), 0);
    EXPECT_EQ(mvGetImageWidth(image), 3);
    EXPECT_EQ(__mvMV_TrackCount(reopened), 1);
    ASSERT_EQ(mvClose(reopened), 0);
}

TEST(NativeWriter, CleanMoviesAreNotWrittenAndTooSmallMemoryFails)
{
    MarkedMovie clean;
    const std::vector<uint8_t> before = clean.memory();
    EXPECT_EQ(mvWrite(clean.id()), 0);
    EXPECT_EQ(clean.memory(), before);

    MarkedMovie small(64);
    ASSERT_NE(small.id(), 0);
    small.add(DM_MEDIUM_IMAGE, imageParams(1, 1));
    EXPECT_TRUE(failsWith(mvWrite(small.id()), MV_ERR_MEM_TOO_SMALL));
}

TEST(CodeLists, CodeReadsAsNameAndWritesBack)
{
    const struct {
        ReadAs read;
        WriteAs write;
        const char *code, *name;
    } cases[] = {{ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "1", "MVC1"},
                 {ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "2", "Uncompressed Video"},
                 {ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "6", "Apple Video"},
                 {ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "7", "Apple Animation"},
                 {ReadAs::ImageCodeToName, WriteAs::NameToImageCode, "10", "JPEG"},
                 {ReadAs::AudioCodeToName, WriteAs::NameToAudioCode, "100", "Uncompressed Audio"},
                 {ReadAs::WidthCodeToBits, WriteAs::BitsToWidthCode, "1", "8"},
                 {ReadAs::WidthCodeToBits, WriteAs::BitsToWidthCode, "2", "16"}};
    for (const auto &c : cases) {
        EXPECT_EQ(convertForReading(c.read, c.code), c.name);
        EXPECT_EQ(convertForWriting(c.write, c.name), std::string(c.code));
    }
}

TEST(CodeLists, TextOutsideTheListsPassesUnchanged)
{
    EXPECT_EQ(convertForReading(ReadAs::ImageCodeToName, "9"), "9");
    EXPECT_EQ(convertForReading(ReadAs::ImageCodeToName, "RLE24"), "RLE24");
    EXPECT_EQ(convertForWriting(WriteAs::NameToImageCode, "RLE24"), std::string("RLE24"));
    EXPECT_EQ(convertForWriting(WriteAs::BitsToWidthCode, "24"), std::string("24"));
    EXPECT_EQ(convertForWriting(WriteAs::Text, "anything"), std::string("anything"));
    EXPECT_FALSE(convertForWriting(WriteAs::None, "2").has_value());
}

TEST(NameTables, EveryWrittenNameFitsTheFieldAndIsReadBackByItsOwnTable)
{
    for (auto table : {movieTable(), imageTable(), audioTable()}) {
        for (const ParamRow &row : table) {
            if (row.write == WriteAs::None)
                continue;
            EXPECT_LT(std::strlen(row.fileName), 16u) << row.fileName;
            ASSERT_NE(row.libraryName, nullptr) << row.fileName;
            // The same file name must be readable into the same library name.
            EXPECT_NE(row.read, ReadAs::Drop) << row.fileName;
        }
    }
}

}  // namespace
