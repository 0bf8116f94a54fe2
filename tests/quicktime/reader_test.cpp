// The QuickTime reader on files made in memory: what it builds from valid
// files, each construct it refuses with its detail text, and damaged files
// that must fail cleanly.
#include <gtest/gtest.h>

#include "frames.h"
#include "qt_files.h"
#include "qt_test_support.h"

#include <functional>

using namespace qt_support;
using qt_files::File;
using qt_files::Sound;
using qt_files::Video;

namespace {

class MovieCloser {
public:
    explicit MovieCloser(MVid m) : movie_(m) {}
    ~MovieCloser()
    {
        if (movie_)
            mvClose(movie_);
    }

private:
    MVid movie_;
};

TEST(QuickTimeReader, MdatBeforeOrAfterMoovGivesTheSameFrames)
{
    for (bool moovFirst : {false, true}) {
        File f;
        f.moovFirst = moovFirst;
        std::vector<uint8_t> bytes = qt_files::build(f);
        Opened o = open(bytes);
        ASSERT_EQ(o.error, 0) << o.detail;
        MovieCloser closer(o.movie);
        EXPECT_EQ(mvGetFileFormat(o.movie), MV_FORMAT_QUICKTIME);
        const MVid image = trackOf(o.movie, DM_MEDIUM_IMAGE);
        ASSERT_NE(image, 0);
        EXPECT_EQ(mvGetTrackLength(image), 3);
        EXPECT_EQ(trackOf(o.movie, DM_MEDIUM_AUDIO), 0);
        EXPECT_STREQ(mvGetImageCompression(image), "Uncompressed Video");
        EXPECT_EQ(mvGetImagePacking(image), DM_PACKING_RGB555);
        // Each stored frame is read from its own place in the "mdat": the
        // builder's bytes are their offsets' low bytes.
        const uint32_t dataAt = moovFirst ? uint32_t(findAtom(bytes, "mdat")) + 8 : 8;
        for (int frame = 0; frame < 3; ++frame) {
            ASSERT_EQ(mvGetCompressedImageSize(image, frame), 16u);
            uint8_t stored[16];
            ASSERT_EQ(mvReadCompressedImage(image, frame, sizeof stored, stored), 0);
            for (int i = 0; i < 16; ++i)
                ASSERT_EQ(stored[i], uint8_t(dataAt + frame * 16 + i)) << "frame " << frame;
        }
    }
}

TEST(QuickTimeReader, FrameRateFromTimeScaleWithoutSound)
{
    File f;
    f.videos[0].timeScale = 600;
    f.videos[0].sampleDuration = 40;
    std::vector<uint8_t> bytes = qt_files::build(f);
    Opened o = open(bytes);
    ASSERT_EQ(o.error, 0) << o.detail;
    MovieCloser closer(o.movie);
    EXPECT_DOUBLE_EQ(mvGetImageRate(trackOf(o.movie, DM_MEDIUM_IMAGE)), 15.0);

    // Integer division: 100 / 7 is 14 frames per second, not 14.29.
    File g;
    g.videos[0].timeScale = 100;
    g.videos[0].sampleDuration = 7;
    std::vector<uint8_t> other = qt_files::build(g);
    Opened p = open(other);
    ASSERT_EQ(p.error, 0) << p.detail;
    MovieCloser closer2(p.movie);
    EXPECT_DOUBLE_EQ(mvGetImageRate(trackOf(p.movie, DM_MEDIUM_IMAGE)), 14.0);
}

TEST(QuickTimeReader, FrameRateFollowsTheSoundAndSoundChunksBecomeEntries)
{
    File f;
    f.videos[0].frames = 150;
    f.videos[0].frameBytes = 1;
    f.videos[0].sampleDuration = 1;  // would give 600 without sound
    f.sound = Sound{"raw ", 1, 8, 44100, 441000, 4};
    std::vector<uint8_t> bytes = qt_files::build(f);
    Opened o = open(bytes);
    ASSERT_EQ(o.error, 0) << o.detail;
    MovieCloser closer(o.movie);
    EXPECT_DOUBLE_EQ(mvGetImageRate(trackOf(o.movie, DM_MEDIUM_IMAGE)), 15.0);
    const MVid audio = trackOf(o.movie, DM_MEDIUM_AUDIO);
    ASSERT_NE(audio, 0);
    EXPECT_EQ(mvGetAudioFormat(audio), AUDIO_FORMAT_UNSIGNED);
    EXPECT_EQ(mvGetAudioWidth(audio), 8);
    EXPECT_EQ(mvGetAudioChannels(audio), 1);
    EXPECT_DOUBLE_EQ(mvGetAudioRate(audio), 44100.0);
    EXPECT_EQ(mvGetTrackLength(audio), 441000);
}

TEST(QuickTimeReader, SoundSamplesAreReadFromTheirChunks)
{
    File f;
    f.sound = Sound{"twos", 2, 16, 8000, 400, 4};
    std::vector<uint8_t> bytes = qt_files::build(f);
    Opened o = open(bytes);
    ASSERT_EQ(o.error, 0) << o.detail;
    MovieCloser closer(o.movie);
    const MVid audio = trackOf(o.movie, DM_MEDIUM_AUDIO);
    ASSERT_NE(audio, 0);
    EXPECT_EQ(mvGetAudioFormat(audio), AUDIO_FORMAT_TWOS);
    EXPECT_EQ(mvGetTrackLength(audio), 400);
    std::vector<int16_t> samples(800);
    ASSERT_EQ(mvReadFrames(audio, 0, 400, samples.size() * 2, samples.data()), 0);
    // Sound starts after the three 16-byte pictures; samples are big-endian
    // in the file and native in memory.
    const uint32_t at = 8 + 48;
    for (int i = 0; i < 800; i += 97) {
        const uint32_t byte = at + uint32_t(i) * 2;
        EXPECT_EQ(uint16_t(samples[i]), uint16_t(uint8_t(byte) << 8 | uint8_t(byte + 1))) << i;
    }
}

TEST(QuickTimeReader, AppleVideoSizeRoundsUpToWholeBlocks)
{
    File f;
    f.videos[0].type = "rpza";
    f.videos[0].width = 318;
    f.videos[0].height = 238;
    std::vector<uint8_t> bytes = qt_files::build(f);
    Opened o = open(bytes);
    ASSERT_EQ(o.error, 0) << o.detail;
    MovieCloser closer(o.movie);
    const MVid image = trackOf(o.movie, DM_MEDIUM_IMAGE);
    EXPECT_EQ(mvGetImageWidth(image), 320);
    EXPECT_EQ(mvGetImageHeight(image), 240);
    EXPECT_STREQ(mvGetImageCompression(image), "Apple Video");
    EXPECT_EQ(mvGetImagePacking(image), DM_PACKING_RGBX);
    EXPECT_EQ(dmParamsGetInt(mvGetParams(image), MV_IMAGE_CSIZE), 16);
}

TEST(QuickTimeReader, RawDepthChoosesThePacking)
{
    const struct {
        int depth;
        int packing;
    } cases[] = {{16, DM_PACKING_RGB555}, {32, DM_PACKING_XBGR}};
    for (const auto &c : cases) {
        File f;
        f.videos[0].depth = c.depth;
        std::vector<uint8_t> bytes = qt_files::build(f);
        Opened o = open(bytes);
        ASSERT_EQ(o.error, 0) << o.detail;
        MovieCloser closer(o.movie);
        EXPECT_EQ(mvGetImagePacking(trackOf(o.movie, DM_MEDIUM_IMAGE)), c.packing);
    }
}

TEST(QuickTimeReader, KeyFramesComeFromTheSyncTable)
{
    File f;
    f.videos[0].type = "rle ";
    f.videos[0].depth = 24;
    f.videos[0].frames = 4;
    f.videos[0].sync = std::vector<uint32_t>{3, 1};
    std::vector<uint8_t> bytes = qt_files::build(f);
    Opened o = open(bytes);
    ASSERT_EQ(o.error, 0) << o.detail;
    MovieCloser closer(o.movie);
    const MVid image = trackOf(o.movie, DM_MEDIUM_IMAGE);
    const int expected[] = {1, 0, 1, 0};
    for (int frame = 0; frame < 4; ++frame)
        EXPECT_EQ(dmParamsGetInt(__mvGetFrameParams(image, frame), MV_KEY_FRAME), expected[frame]) << frame;

    f.videos[0].sync.reset();
    std::vector<uint8_t> none = qt_files::build(f);
    Opened p = open(none);
    ASSERT_EQ(p.error, 0) << p.detail;
    MovieCloser closer2(p.movie);
    const MVid second = trackOf(p.movie, DM_MEDIUM_IMAGE);
    for (int frame = 0; frame < 4; ++frame) {
        DMparams *params = __mvGetFrameParams(second, frame);
        ASSERT_TRUE(dmParamsIsPresent(params, MV_KEY_FRAME));
        EXPECT_EQ(dmParamsGetInt(params, MV_KEY_FRAME), 0);
    }
}

TEST(QuickTimeReader, SeveralSamplesPerChunkLieOneAfterAnother)
{
    File f;
    f.videos[0].frames = 5;
    f.videos[0].samplesPerChunk = 2;
    std::vector<uint8_t> bytes = qt_files::build(f);
    Opened o = open(bytes);
    ASSERT_EQ(o.error, 0) << o.detail;
    MovieCloser closer(o.movie);
    const MVid image = trackOf(o.movie, DM_MEDIUM_IMAGE);
    ASSERT_EQ(mvGetTrackLength(image), 5);
    uint8_t stored[16];
    ASSERT_EQ(mvReadCompressedImage(image, 3, sizeof stored, stored), 0);
    EXPECT_EQ(stored[0], uint8_t(8 + 3 * 16));
}

TEST(QuickTimeReader, TheLastVideoTrackBecomesTheImageTrack)
{
    File f;
    f.videos.push_back(Video{});
    f.videos[1].width = 8;
    f.videos[1].frames = 2;
    f.videos[1].frameBytes = 32;
    std::vector<uint8_t> bytes = qt_files::build(f);
    Opened o = open(bytes);
    ASSERT_EQ(o.error, 0) << o.detail;
    MovieCloser closer(o.movie);
    const MVid image = trackOf(o.movie, DM_MEDIUM_IMAGE);
    EXPECT_EQ(mvGetImageWidth(image), 8);
    EXPECT_EQ(mvGetTrackLength(image), 2);
}

// ---- refusals ----------------------------------------------------------------

struct Refusal {
    const char *name;
    std::function<void(File &)> change;
    const char *detail;
};

class QuickTimeRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(QuickTimeRefusal, GivesItsDetailText)
{
    File f;
    GetParam().change(f);
    std::vector<uint8_t> bytes = qt_files::build(f);
    Opened o = open(bytes);
    if (o.movie)
        mvClose(o.movie);
    EXPECT_EQ(o.error, MV_ERR_QT_UNSUPPORTED);
    EXPECT_EQ(o.detail, GetParam().detail);
    const std::string message = mvGetErrorStr(MV_ERR_QT_UNSUPPORTED);
    EXPECT_NE(message.find(GetParam().detail), std::string::npos) << message;
}

const Refusal kRefusals[] = {
    {"TwoEdits", [](File &f) { f.edits = 2; }, "Edit list"},
    {"ScaledMovie", [](File &f) { f.movieMatrixFirst = 0x00020000; }, "Transformation matrix"},
    {"ScaledTrack", [](File &f) { f.trackMatrixFirst = 0x00020000; }, "Transformation matrix"},
    {"OtherCoding", [](File &f) { f.videos[0].type = "avc1"; }, "Compression scheme"},
    {"OtherSound", [](File &f) { f.sound = Sound{"ima4"}; }, "Sound format"},
    {"TwoReferences", [](File &f) { f.dataReferences = 2; }, "More than one data reference in a track"},
    {"ExternalData", [](File &f) { f.referenceFlags = 0; }, "External data reference"},
    {"ResourceReference", [](File &f) { f.referenceType = "rsrc"; }, "Data reference other than 'alis'"},
    {"NotDref", [](File &f) { f.dataInformationChild = "dtrf"; }, "Data information other than 'dref'"},
    {"MediaInfoAtom", [](File &f) { f.extraInMediaInfo = "gmhd"; }, "Unexpected atom type in media information"},
    {"MediaAtom", [](File &f) { f.extraInMedia = "elng"; }, "Unexpected atom type in media"},
    {"SampleTableAtom", [](File &f) { f.extraInSampleTable = "ctts"; }, "Unexpected atom type in sample table"},
    {"TwoDescriptions", [](File &f) { f.descriptions = 2; }, "Multiple sample descriptions in one track"},
    {"TrackClipping", [](File &f) { f.extraInTrack = "clip"; }, "Clipping"},
    {"MovieClipping", [](File &f) { f.extraInMovie = "clip"; }, "Clipping"},
    {"Mattes", [](File &f) { f.extraInTrack = "matt"; }, "Mattes"},
    {"NoImageTrack", [](File &f) {
         f.videos.clear();
         f.sound = Sound{};
     }, "Movie without an image track"},
    {"NoMediaHeader", [](File &f) { f.mediaHeader = false; }, "Media type other than video or sound"},
    {"Raw24", [](File &f) { f.videos[0].depth = 24; }, "Only 16-bit and 24-bit raw images are supported"},
};

INSTANTIATE_TEST_SUITE_P(Constructs, QuickTimeRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- damaged files -------------------------------------------------------------

class QuickTimeDamage : public ::testing::Test {
protected:
    std::vector<uint8_t> bytes = qt_files::build(File{});

    int openError()
    {
        Opened o = open(bytes);
        if (o.movie)
            mvClose(o.movie);
        return o.error;
    }
};

TEST_F(QuickTimeDamage, EveryTruncationFailsCleanly)
{
    const std::vector<uint8_t> whole = bytes;
    for (size_t length = 0; length < whole.size(); ++length) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(length));
        cut.push_back(0);  // never an empty block
        cut.pop_back();
        if (cut.empty())
            continue;
        MVid movie = 0;
        mvInitQuickTime();
        const int result = mvOpenMem(cut.data(), cut.size(), &movie);
        if (result == 0) {
            mvClose(movie);
            ADD_FAILURE() << "a file cut to " << length << " bytes opened";
            continue;
        }
        const int error = mvGetErrno();
        EXPECT_TRUE(error == MV_ERR_NOT_MOVIE || error == MV_ERR_INTERNAL) << length << ": " << error;
    }
}

TEST_F(QuickTimeDamage, ChildOverrunningItsParent)
{
    const size_t stts = findAtom(bytes, "stts");
    put32(bytes, stts, get32(bytes, stts) + 4);
    EXPECT_EQ(openError(), MV_ERR_NOT_MOVIE);
}

TEST_F(QuickTimeDamage, AtomSmallerThanItsHeader)
{
    put32(bytes, findAtom(bytes, "tkhd"), 7);
    EXPECT_EQ(openError(), MV_ERR_NOT_MOVIE);
}

TEST_F(QuickTimeDamage, LeftoverBytesInAHeader)
{
    // "vmhd" one word longer than its fields, its parents grown to match.
    const size_t vmhd = findAtom(bytes, "vmhd");
    bytes.insert(bytes.begin() + long(vmhd) + 20, 4, 0);
    put32(bytes, vmhd, 24);
    for (const char *parent : {"moov", "trak", "mdia", "minf"}) {
        const size_t at = findAtom(bytes, parent);
        put32(bytes, at, get32(bytes, at) + 4);
    }
    EXPECT_EQ(openError(), MV_ERR_NOT_MOVIE);
}

TEST_F(QuickTimeDamage, AbsurdTableCounts)
{
    for (const char *table : {"stts", "stsc", "stsz", "stco", "stsd"}) {
        std::vector<uint8_t> saved = bytes;
        const size_t at = findAtom(bytes, table);
        // stsz's count is after the constant size.
        put32(bytes, at + (std::string(table) == "stsz" ? 16 : 12), 0xFFFFFFF0u);
        const int error = openError();
        EXPECT_TRUE(error == MV_ERR_NOT_MOVIE || error == MV_ERR_QT_UNSUPPORTED) << table << " " << error;
        bytes = saved;
    }
}

TEST_F(QuickTimeDamage, PictureTooLargeForAnyBuffer)
{
    File f;
    f.videos[0].width = 65535;
    f.videos[0].height = 65535;
    bytes = qt_files::build(f);
    EXPECT_EQ(openError(), MV_ERR_NOT_MOVIE);
}

TEST_F(QuickTimeDamage, ChunkOutsideTheFile)
{
    const size_t stco = findAtom(bytes, "stco");
    put32(bytes, stco + 16, uint32_t(bytes.size()) - 4);
    EXPECT_EQ(openError(), MV_ERR_NOT_MOVIE);
}

TEST_F(QuickTimeDamage, SamplesBeyondAllChunks)
{
    // Four samples in the time table, one per chunk, but three chunks.
    const size_t stts = findAtom(bytes, "stts");
    put32(bytes, stts + 16, 4);
    EXPECT_EQ(openError(), MV_ERR_INTERNAL);
}

TEST_F(QuickTimeDamage, ZeroSampleDuration)
{
    const size_t stts = findAtom(bytes, "stts");
    put32(bytes, stts + 20, 0);
    EXPECT_EQ(openError(), MV_ERR_NOT_MOVIE);
}

TEST_F(QuickTimeDamage, NoMovieAtom)
{
    const size_t moov = findAtom(bytes, "moov");
    std::memcpy(bytes.data() + moov + 4, "free", 4);
    EXPECT_EQ(openError(), MV_ERR_NOT_MOVIE);
}

TEST_F(QuickTimeDamage, HugeSampleCountInASmallFile)
{
    // Billions of samples claimed by the time and chunk tables of a file of
    // a few hundred bytes: refused before a directory that size is built.
    const size_t stts = findAtom(bytes, "stts");
    put32(bytes, stts + 16, 0x7FFFFFFF);
    const size_t stsc = findAtom(bytes, "stsc");
    put32(bytes, stsc + 20, 0x7FFFFFFF);
    EXPECT_EQ(openError(), MV_ERR_NOT_MOVIE);
}

}  // namespace
