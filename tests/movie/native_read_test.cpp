// Reading native movie files built byte by byte, damaged and hostile ones
// included.
#include <cinelark/movie.h>

#include "directory.h"
#include "error.h"
#include "formats.h"
#include "quicktime/qt_test_support.h"
#include "stream.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace native_bytes;
using testing_movie::failsWith;
using testing_movie::newParams;
using testing_movie::Params;

// The format __mvDetectFormat gives a memory image, -1 when none.
int detectedFormat(Bytes bytes)
{
    MVstream *stream = nullptr;
    if (__mvS_CreateWithMem(bytes.data(), bytes.size(), &stream) != 0)
        return -2;
    int format = -1;
    const int result = __mvDetectFormat(stream, &format);
    int64_t position = -1;
    __mvS_Seek(stream, 0, SEEK_CUR, &position);
    EXPECT_EQ(position, 0) << "detection leaves the stream at 0";
    __mvS_Destroy(stream);
    return result == 0 ? format : -1;
}

Bytes atom(uint32_t size, const char *type)
{
    Bytes b;
    put32(b, size);
    b.insert(b.end(), type, type + 4);
    return b;
}

Bytes mdatThen(const char *second)
{
    Bytes b = atom(4096, "mdat");
    b.resize(4096, 0);
    append(b, atom(8, second));
    return b;
}

TEST(Detection, RecognisesTheFormatFromTheFirstBytes)
{
    const struct {
        Bytes bytes;
        int format;
    } cases[] = {{{'M', 'O', 'V', 'I', 0, 2}, MV_FORMAT_NATIVE_2},
                 {{'M', 'O', 'V', 'I', 0, 0, 0, 3}, MV_FORMAT_NATIVE_3},
                 {{'M', 'O', 'V', 'I', 0, 1, 1, 64}, MV_FORMAT_NATIVE_1},
                 {{0, 1, 4, 0, 0, 2}, MV_FORMAT_NATIVE_2},  // the old magic number
                 {{'M', 'O', 'V', 'I', 0, 0, 0, 4}, -1},
                 {{'M', 'O', 'V', 'I'}, -1},
                 {{}, -1},
                 {atom(8, "moov"), MV_FORMAT_QUICKTIME},
                 {mdatThen("moov"), MV_FORMAT_QUICKTIME},
                 {mdatThen("free"), -1},
                 {atom(0xFFFFFFF0, "mdat"), -1},  // pointing past the end
                 {{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o'}, -1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(detectedFormat(c.bytes), c.format);
        Bytes copy = c.bytes;
        EXPECT_EQ(mvIsMovieMem(copy.data(), copy.size()), c.format >= 0 ? 1 : 0);
    }
}

using Opened = qt_support::OpenedFile;

// Opening the bytes fails with the error and hands out no movie.
void expectRefused(Bytes file, int error)
{
    MVid id = 0;
    EXPECT_TRUE(failsWith(mvOpenMem(file.data(), file.size(), &id), error));
    EXPECT_EQ(id, 0);
}

// A track's directory entries as offset, size and frames.
using Entry = std::tuple<uint32_t, uint32_t, int>;

std::vector<Entry> entries(MVid track)
{
    std::vector<Entry> list;
    MVdirectory *directory = __mvT_DirList(track);
    for (int i = 0; i < __mvDL_DirCount(directory); ++i) {
        auto &[offset, size, frames] = list.emplace_back();
        __mvDL_DirEntry(directory, i, &offset, &size, &frames, nullptr);
    }
    return list;
}

// A version 1 or 2 file of two chunks: each chunk is 4 bytes of audio
// (for version 1 stored as 4 x channels in the index) and a 2 x 1 image of
// 8 bytes.
Bytes twoChunkFile(V12Header h)
{
    h.indexCount = 2;
    Bytes b = v12Header(h);
    const uint32_t audioField = h.version == 1 ? 4u * uint32_t(h.channels) : 4u;
    const uint32_t chunk0 = 592 + 2 * 20;
    const uint32_t chunk1 = chunk0 + audioField + 8;
    append(b, indexRecord(chunk0, audioField, 8));
    append(b, indexRecord(chunk1, audioField, 8));
    for (int c = 0; c < 2; ++c) {
        for (uint32_t i = 0; i < audioField; ++i)
            b.push_back(uint8_t(0xA0 + 16 * c + i));
        for (uint8_t i = 0; i < 8; ++i)
            b.push_back(uint8_t(0x10 * (c + 1) + i));
    }
    return b;
}

TEST(VersionOneAndTwoReader, BuildTracksFromTheIndex)
{
    V12Header h;
    h.loopMode = MV_LOOP_SWING;
    Opened movie(twoChunkFile(h));
    ASSERT_EQ(movie.error, 0) << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(std::tuple(mvGetFileFormat(movie.movie()), mvGetLoopMode(movie.movie()),
                         __mvMV_DirectorySize(movie.movie())),
              std::tuple(int(MV_FORMAT_NATIVE_2), int(MV_LOOP_SWING), 592u + 40u));

    const MVid image = movie.image(), audio = movie.audio();
    ASSERT_NE(image, 0);
    ASSERT_NE(audio, 0);
    EXPECT_EQ(std::tuple(mvGetImageWidth(image), mvGetImageHeight(image), mvGetImageRate(image),
                         std::string(mvGetImageCompression(image)), mvGetImagePacking(image), mvGetTrackLength(image)),
              std::tuple(2, 1, 15.0, std::string("Uncompressed Video"), int(DM_PACKING_RGBX), 2));
    EXPECT_EQ(entries(image), (std::vector<Entry>{{632 + 4, 8, 1}, {632 + 12 + 4, 8, 1}}));
    EXPECT_EQ(std::tuple(mvGetAudioWidth(audio), mvGetAudioChannels(audio), mvGetAudioRate(audio),
                         mvGetTrackLength(audio)),
              std::tuple(8, 1, 8000.0, 8));
    EXPECT_EQ(entries(audio), (std::vector<Entry>{{632, 4, 4}, {632 + 12, 4, 4}}));

    uint8_t samples[8];
    ASSERT_EQ(mvReadFrames(audio, 0, 8, sizeof samples, samples), 0);
    EXPECT_EQ(std::tuple(samples[0], samples[4]), std::tuple(0xA0, 0xB0));
    uint32_t pixels[2];
    ASSERT_EQ(mvReadFrames(image, 1, 1, sizeof pixels, pixels), 0);
    EXPECT_EQ(pixels[0], 0x20212223u) << "big-endian words in the file";

    // Version 1 counts the audio bytes of all channels in the index: 8 there
    // for a chunk of 4 bytes, 2 stereo frames; the image still starts 8 bytes
    // after the chunk.
    h = V12Header{};
    h.version = 1;
    h.channels = 2;
    Opened v1(twoChunkFile(h));
    ASSERT_EQ(v1.error, 0) << mvGetErrorStr(mvGetErrno());
    ASSERT_NE(v1.audio(), 0);
    EXPECT_EQ(entries(v1.audio()), (std::vector<Entry>{{632, 4, 2}, {632 + 16, 4, 2}}));
    EXPECT_EQ(std::get<0>(entries(v1.image())[0]), 632u + 8u);

    // Without sound; code 10 names JPEG, whose pictures decode as those of
    // any JPEG track (ffmpeg_test) and a damaged one fails alone (CodecFrames).
    h = V12Header{};
    h.audio = 0;
    h.compression = 10;
    Opened silent(twoChunkFile(h));
    ASSERT_EQ(silent.error, 0) << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(silent.audio(), 0);
    EXPECT_STREQ(mvGetImageCompression(silent.image()), "JPEG");

    // An empty index still holds one record.
    Bytes empty = v12Header(V12Header{});
    append(empty, indexRecord(0, 0, 0));
    Opened none(empty);
    ASSERT_EQ(none.error, 0) << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(mvGetTrackLength(none.image()), 0);
    EXPECT_EQ(__mvMV_DirectorySize(none.movie()), 612u);
}

TEST(DamagedVersionTwo, IsRefusedWithTheLibrarysError)
{
    const struct {
        const char *name;
        void (*damage)(Bytes &file);
        int error;
    } cases[] = {
        {"compression code 7", [](Bytes &f) { set32(f, 32, 7); }, MV_ERR_NOT_MOVIE},
        {"index longer than the file", [](Bytes &f) { set32(f, 28, 0x10000000); }, MV_ERR_NOT_MOVIE},
        {"image past the end", [](Bytes &f) { set32(f, 592 + 20 + 8, 5000); }, MV_ERR_NOT_MOVIE},
        {"chunk offset near 4 GiB", [](Bytes &f) { set32(f, 592, 0xFFFFFFF0); }, MV_ERR_NOT_MOVIE},
        {"truncated header", [](Bytes &f) { f.resize(300); }, MV_ERR_NOT_MOVIE},
        {"zero width", [](Bytes &f) { set16(f, 6, 0); }, MV_ERR_IMAGE_SETTINGS},
        {"no audio channels", [](Bytes &f) { set32(f, 68, 0); }, MV_ERR_AUDIO_SETTINGS},
        {"huge sample size", [](Bytes &f) { set32(f, 60, 0x40000000); }, MV_ERR_AUDIO_SETTINGS},
        {"loop mode 3", [](Bytes &f) { set32(f, 52, 3); }, MV_ERR_MOVIE_SETTINGS},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = twoChunkFile(V12Header{});
        c.damage(file);
        expectRefused(file, c.error);
    }
}

// A version 3 file: the movie's records, the records of an audio and an
// image track (a track without any is left out), and their entries.
struct V3File {
    std::vector<Bytes> movie, audio, image;
    Bytes audioEntries, imageEntries;

    Bytes build() const
    {
        Bytes b = v3Header(uint32_t(movie.size()));
        for (const Bytes &r : movie)
            append(b, r);
        for (const std::vector<Bytes> *track : {&audio, &image}) {
            if (!track->empty())
                append(b, words({0, uint32_t(track->size()), 0}));
            for (const Bytes &r : *track)
                append(b, r);
        }
        append(b, audioEntries);
        append(b, imageEntries);
        return b;
    }
};

// Audio (8-bit mono, 4 frames at 400) and image (1 x 1, at 404).
V3File standardFile()
{
    return {{record("TITLE", "Dawn"), record("__NUM_A_TRACKS", "1"), record("__NUM_I_TRACKS", "1")},
            {record("SAMPLE_WIDTH", "1"), record("NUM_CHANNELS", "1"), record("SAMPLE_RATE", "8000.000000"),
             record("__DIR_COUNT", "1")},
            {record("WIDTH", "1"), record("HEIGHT", "1"), record("FPS", "12.500000"), record("COMPRESSION", "2"),
             record("__DIR_COUNT", "1")},
            entry(400, 4),
            entry(404, 4)};
}

Bytes padTo400(Bytes b)
{
    EXPECT_LE(b.size(), 400u);
    b.resize(400, 0);
    append(b, {1, 2, 3, 4, 0x11, 0x22, 0x33, 0x44});
    return b;
}

// The standard file with a record on the image entry.
TEST(VersionThreeReader, ReadsTracksEntriesEntryRecordsAndDefaults)
{
    V3File f = standardFile();
    f.imageEntries = entry(404, 4, 1);
    append(f.imageEntries, record("SCENE", "7"));
    Bytes file = padTo400(f.build());
    Opened movie(file);
    ASSERT_EQ(movie.error, 0) << mvGetErrorStr(mvGetErrno());
    // No loop records: the defaults.
    EXPECT_EQ(std::tuple(mvGetFileFormat(movie.movie()), std::string(mvGetTitle(movie.movie())),
                         mvGetLoopMode(movie.movie()), mvGetLoopLimit(movie.movie())),
              std::tuple(int(MV_FORMAT_NATIVE_3), std::string("Dawn"), int(MV_LOOP_ONCE), 0));
    EXPECT_EQ(dmParamsIsPresent(mvGetParams(movie.movie()), "MV_NUM_ATRACKS"), 0) << "working names do not stay";
    EXPECT_EQ(__mvMV_DirectorySize(movie.movie()), f.build().size());

    const MVid audio = movie.audio();
    ASSERT_NE(audio, 0);
    EXPECT_EQ(std::tuple(mvGetAudioWidth(audio), mvGetAudioFormat(audio), std::string(mvGetAudioCompression(audio)),
                         mvGetTrackLength(audio)),
              std::tuple(8, int(AUDIO_FORMAT_TWOS), std::string("Uncompressed Audio"), 4));
    EXPECT_EQ(dmParamsIsPresent(mvGetParams(audio), "DIR_COUNT"), 0);

    const MVid image = movie.image();
    ASSERT_NE(image, 0);
    EXPECT_EQ(std::tuple(mvGetImageRate(image), mvGetImagePacking(image), mvGetImageOrientation(image),
                         mvGetImageInterlacing(image)),
              std::tuple(12.5, int(DM_PACKING_RGBX), int(DM_ORIENTATION_BOTTOM_TO_TOP), 0));
    uint32_t pixel = 0;
    ASSERT_EQ(mvReadFrames(image, 0, 1, sizeof pixel, &pixel), 0);
    EXPECT_EQ(pixel, 0x11223344u);
    DMparams *frame = nullptr;
    ASSERT_EQ(__mvDL_DirEntry(__mvT_DirList(image), 0, nullptr, nullptr, nullptr, &frame), 0);
    ASSERT_NE(frame, nullptr);
    EXPECT_STREQ(dmParamsGetString(frame, "SCENE"), "7");
}

TEST(VersionThreeReader, OlderBinaryRecordsAndCodesAreTranslatedAndUnknownNamesKept)
{
    V3File f;
    f.movie = {rawRecord("MV_NUMATRACKS", {0, 0, 0, 1}), rawRecord("MV_MVLOOP_MODE", {0, 0, 0, 2}),
               record("MV_MAXWIDTH", "640"), record("DIRECTOR", "Smith")};
    // A 16-character name fills the field; its last byte reads as zero.
    f.audio = {rawRecord("MV_ASAMPLE_SIZE", {0, 0, 0, 2}), rawRecord("MV_ANUM_CHANNELS", {0, 0, 0, 2}),
               record("MV_ASAMPLE_RATE", "22050.0"), record("MV_COMPRESSION", "100"),
               rawRecord("MV_FRAME_COUNT", {0, 0, 0, 1})};
    f.audioEntries = entry(400, 8);
    Bytes file = padTo400(f.build());
    Opened movie(file);
    ASSERT_EQ(movie.error, 0) << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(mvGetLoopMode(movie.movie()), MV_LOOP_SWING);
    EXPECT_EQ(dmParamsIsPresent(mvGetParams(movie.movie()), "MV_MAXWIDTH"), 0) << "dropped";
    const MVid audio = movie.audio();
    ASSERT_NE(audio, 0);
    EXPECT_EQ(std::tuple(mvGetAudioWidth(audio), mvGetAudioChannels(audio), mvGetAudioRate(audio),
                         mvGetTrackLength(audio)),
              std::tuple(16, 2, 22050.0, 2));
    EXPECT_EQ(movie.image(), 0);

    // An unknown name becomes a user parameter, registered, so that a setter
    // now copies it too.
    EXPECT_STREQ(dmParamsGetString(mvGetParams(movie.movie()), "DIRECTOR"), "Smith");
    Params p = newParams();
    dmParamsSetString(p.get(), "DIRECTOR", "Jones");
    EXPECT_EQ(mvSetParams(movie.movie(), p.get(), nullptr), 0);
    EXPECT_STREQ(dmParamsGetString(mvGetParams(movie.movie()), "DIRECTOR"), "Jones");
}

TEST(VersionOneReader, ChangedMovieIsWrittenAsVersionThree)
{
    TempDir dir;
    V12Header h;
    h.version = 1;
    const std::string path = dir.write("old.mv", twoChunkFile(h));
    MVid movie = 0;
    ASSERT_EQ(mvOpenFile(path.c_str(), O_RDWR, &movie), 0) << mvGetErrorStr(mvGetErrno());
    ASSERT_EQ(mvSetTitle(movie, "renewed"), 0);
    ASSERT_EQ(mvWrite(movie), 0) << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(mvGetFileFormat(movie), MV_FORMAT_NATIVE_3);
    ASSERT_EQ(mvClose(movie), 0);

    const Bytes file = TempDir::read(path);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), (Bytes{'M', 'O', 'V', 'I', 0, 0, 0, 3}));
    ASSERT_EQ(mvOpenFile(path.c_str(), O_RDONLY, &movie), 0) << mvGetErrorStr(mvGetErrno());
    EXPECT_STREQ(mvGetTitle(movie), "renewed");
    MVid image = 0;
    ASSERT_EQ(mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &image), 0);
    uint32_t pixels[2];
    ASSERT_EQ(mvReadFrames(image, 1, 1, sizeof pixels, pixels), 0);
    EXPECT_EQ(pixels[0], 0x20212223u);
    EXPECT_EQ(pixels[1], 0x24252627u);
    ASSERT_EQ(mvClose(movie), 0);
}

// One change to the standard version 3 file: to its description before it
// is built, or to the built bytes.
struct BadV3Case {
    const char *name;
    std::function<void(V3File &)> describe;
    std::function<void(Bytes &)> patch = nullptr;
    bool pad = true;  // data bytes at 400, as the standard entries expect
    int error = MV_ERR_NOT_MOVIE;
};

TEST(DamagedVersionThree, IsRefusedWithTheLibrarysError)
{
    const BadV3Case cases[] = {
        {"two audio tracks", [](V3File &f) { f.movie.push_back(record("__NUM_A_TRACKS", "2")); }},
        {"entry past the end", [](V3File &f) { f.imageEntries = entry(404, 5); }},
        {"entry near 4 GiB", [](V3File &f) { f.imageEntries = entry(0xFFFFFFFC, 8); }},
        {"huge directory count", [](V3File &f) { f.image.push_back(record("__DIR_COUNT", "100000000")); }},
        {"huge record count", nullptr, [](Bytes &b) { set32(b, 16, 0xFFFFFFFF); }},
        {"record length past the end", nullptr, [](Bytes &b) { set32(b, 24 + 16, 0x7FFFFFFF); }},
        // The file really holds the 2 MiB value; it is still refused, so no
        // record can demand a huge buffer.
        {"value longer than any setting",
         [](V3File &f) { f.movie.push_back(record("COMMENT", std::string(2 << 20, 'x'))); }, nullptr, false},
        {"short binary integer", [](V3File &f) { f.movie.push_back(rawRecord("MV_NUMITRACKS", {0, 1})); }},
        {"number that is not a number", [](V3File &f) { f.image.push_back(record("PACKING", "wide")); }},
        {"empty record name", [](V3File &f) { f.movie.push_back(record("", "x")); }},
        {"truncated directory", nullptr, [](Bytes &b) { b.resize(b.size() - 6); }, false},
        {"cut inside the header", nullptr, [](Bytes &b) { b = Bytes{'M', 'O', 'V', 'I', 0, 0, 0, 3, 0}; }},
        // Settings the object model refuses fail with its errors.
        {"image rate too low", [](V3File &f) { f.image.push_back(record("FPS", "0.5")); }, nullptr, true,
         MV_ERR_IMAGE_SETTINGS},
        {"three channels", [](V3File &f) { f.audio.push_back(record("NUM_CHANNELS", "3")); }, nullptr, true,
         MV_ERR_AUDIO_SETTINGS},
    };
    for (const BadV3Case &c : cases) {
        SCOPED_TRACE(c.name);
        V3File f = standardFile();
        if (c.describe)
            c.describe(f);
        Bytes file = c.pad ? padTo400(f.build()) : f.build();
        if (c.patch)
            c.patch(file);
        expectRefused(file, c.error);
    }
}

}  // namespace
