// The QuickTime reader on files made in memory, valid and damaged.
#include <gtest/gtest.h>

#include "frames.h"
#include "qt_files.h"
#include "qt_test_support.h"

#include <functional>
#include <tuple>

using namespace qt_support;
using qt_files::File;
using qt_files::Sound;
using qt_files::Video;

namespace {

// The standard file as read. Files with the "moov" first are ffmpeg's
// (ffmpeg_test).
void expectStandardFile(const OpenedFile &m)
{
    const MVid image = m.image();
    EXPECT_EQ(std::tuple(mvGetFileFormat(m.movie()), mvGetTrackLength(image), m.audio(),
                         std::string(mvGetImageCompression(image)), mvGetImagePacking(image), mvGetImageRate(image)),
              std::tuple(int(MV_FORMAT_QUICKTIME), 3, 0, std::string("Uncompressed Video"), int(DM_PACKING_RGB555),
                         15.0));  // 600 / 40
    // Each stored frame is read from its own place in the "mdat": the
    // builder's bytes are their offsets' low bytes.
    const uint32_t dataAt = uint32_t(findAtom(m.bytes, "mdat")) + 8;
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(mvGetCompressedImageSize(image, frame), 16u);
        uint8_t stored[16];
        ASSERT_EQ(mvReadCompressedImage(image, frame, sizeof stored, stored), 0);
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(stored[i], uint8_t(dataAt + frame * 16 + i)) << "frame " << frame;
    }
}

// One change to the standard file (a 4 x 2 raw video track of three 16-byte
// frames at 600 / 40), and the refusal's detail text or a check of the read.
struct Case {
    const char *name;
    std::function<void(File &)> change;
    const char *refusal;
    std::function<void(const OpenedFile &)> check = nullptr;
};

const Case kCases[] = {
    {"MdatFirst", [](File &) {}, nullptr, expectStandardFile},
    // Integer division makes 100 / 7 14 frames per second.
    {"RateRoundedDown",
     [](File &f) {
         f.videos[0].timeScale = 100;
         f.videos[0].sampleDuration = 7;
     },
     nullptr, [](const OpenedFile &m) { EXPECT_DOUBLE_EQ(mvGetImageRate(m.image()), 14.0); }},
    {"AppleVideoSizeRoundsUpToWholeBlocks",
     [](File &f) {
         f.videos[0].type = "rpza";
         f.videos[0].width = 318;
         f.videos[0].height = 238;
     },
     nullptr, [](const OpenedFile &m) {
         const MVid image = m.image();
         EXPECT_EQ(std::tuple(mvGetImageWidth(image), mvGetImageHeight(image),
                              std::string(mvGetImageCompression(image)), mvGetImagePacking(image),
                              dmParamsGetInt(mvGetParams(image), MV_IMAGE_CSIZE)),
                   std::tuple(320, 240, std::string("Apple Video"), int(DM_PACKING_RGBX), 16));
     }},
    {"SeveralSamplesPerChunkLieOneAfterAnother",
     [](File &f) {
         f.videos[0].frames = 5;
         f.videos[0].samplesPerChunk = 2;
     },
     nullptr, [](const OpenedFile &m) {
         ASSERT_EQ(mvGetTrackLength(m.image()), 5);
         uint8_t stored[16];
         ASSERT_EQ(mvReadCompressedImage(m.image(), 3, sizeof stored, stored), 0);
         EXPECT_EQ(stored[0], uint8_t(8 + 3 * 16));
     }},
    {"TheLastVideoTrackBecomesTheImageTrack",
     [](File &f) {
         f.videos.push_back(Video{});
         f.videos[1].width = 8;
         f.videos[1].frames = 2;
         f.videos[1].frameBytes = 32;
     },
     nullptr, [](const OpenedFile &m) {
         EXPECT_EQ(mvGetImageWidth(m.image()), 8);
         EXPECT_EQ(mvGetTrackLength(m.image()), 2);
     }},
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

TEST(QuickTimeReader, FilesAreReadAsTheySayOrRefusedWithTheirDetailText)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        File f;
        c.change(f);
        OpenedFile m(qt_files::build(f));
        if (c.refusal != nullptr) {
            EXPECT_EQ(m.error, MV_ERR_QT_UNSUPPORTED);
            EXPECT_EQ(m.detail, c.refusal);
            continue;
        }
        ASSERT_EQ(m.error, 0) << m.detail;
        ASSERT_NE(m.image(), 0);
        c.check(m);
    }
}

// ---- damaged files -------------------------------------------------------------

TEST(QuickTimeDamage, EveryTruncationFailsCleanly)
{
    const std::vector<uint8_t> whole = qt_files::build(File{});
    for (size_t length = 1; length < whole.size(); ++length) {
        const int error = OpenedFile(std::vector<uint8_t>(whole.begin(), whole.begin() + long(length))).error;
        EXPECT_TRUE(error == MV_ERR_NOT_MOVIE || error == MV_ERR_INTERNAL) << length << ": " << error;
    }
}

// One change to the standard file, and the error it must give.
struct Damage {
    const char *name;
    std::function<void(std::vector<uint8_t> &)> change;
    int error;
};

// Sets a 32-bit field at an offset from the first atom of a type.
void setField(std::vector<uint8_t> &b, const char *atom, size_t field, uint32_t value)
{
    set32(b, findAtom(b, atom) + field, value);
}

const Damage kDamages[] = {
    {"ChildOverrunningItsParent",
     [](auto &b) { setField(b, "stts", 0, get32(b, findAtom(b, "stts")) + 4); }, MV_ERR_NOT_MOVIE},
    {"AtomSmallerThanItsHeader", [](auto &b) { setField(b, "tkhd", 0, 7); }, MV_ERR_NOT_MOVIE},
    {"ChunkOutsideTheFile", [](auto &b) { setField(b, "stco", 16, uint32_t(b.size()) - 4); }, MV_ERR_NOT_MOVIE},
    // Four samples in the time table, one per chunk, but three chunks.
    {"SamplesBeyondAllChunks", [](auto &b) { setField(b, "stts", 16, 4); }, MV_ERR_INTERNAL},
    {"ZeroSampleDuration", [](auto &b) { setField(b, "stts", 20, 0); }, MV_ERR_NOT_MOVIE},
    {"NoMovieAtom", [](auto &b) { std::memcpy(b.data() + findAtom(b, "moov") + 4, "free", 4); }, MV_ERR_NOT_MOVIE},
    // Billions of samples claimed by the time and chunk tables of a file of
    // a few hundred bytes: refused before a directory that size is built.
    {"HugeSampleCountInASmallFile",
     [](auto &b) {
         setField(b, "stts", 16, 0x7FFFFFFF);
         setField(b, "stsc", 20, 0x7FFFFFFF);
     },
     MV_ERR_NOT_MOVIE},
    {"LeftoverBytesInAHeader",
     [](auto &b) {
         // "vmhd" one word longer than its fields, its parents grown to match.
         const size_t vmhd = findAtom(b, "vmhd");
         b.insert(b.begin() + long(vmhd) + 20, 4, 0);
         set32(b, vmhd, 24);
         for (const char *parent : {"moov", "trak", "mdia", "minf"})
             setField(b, parent, 0, get32(b, findAtom(b, parent)) + 4);
     },
     MV_ERR_NOT_MOVIE},
    // Width and height 65535 in the sample description.
    {"PictureTooLargeForAnyBuffer", [](auto &b) { setField(b, "raw ", 32, 0xFFFFFFFF); }, MV_ERR_NOT_MOVIE},
};

TEST(QuickTimeDamage, DamagedFilesAreRefused)
{
    const std::vector<uint8_t> whole = qt_files::build(File{});
    for (const Damage &c : kDamages) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = whole;
        c.change(bytes);
        EXPECT_EQ(OpenedFile(bytes).error, c.error);
    }
    for (const char *table : {"stts", "stsc", "stsz", "stco", "stsd"}) {
        std::vector<uint8_t> bytes = whole;
        // stsz's count is after the constant size.
        set32(bytes, findAtom(bytes, table) + (std::string(table) == "stsz" ? 16 : 12), 0xFFFFFFF0u);
        const int error = OpenedFile(bytes).error;
        EXPECT_TRUE(error == MV_ERR_NOT_MOVIE || error == MV_ERR_QT_UNSUPPORTED) << table << " " << error;
    }
}

}  // namespace
