// The QuickTime writer: the atoms it lays out for image and sound tracks,
// the refusals, rewrites after edits, and files that its own reader opens.
#include <gtest/gtest.h>

#include "qt_files.h"
#include "qt_test_support.h"

#include <fcntl.h>

#include <cstring>
#include <tuple>

using namespace qt_support;

namespace {

// Walks the top-level atoms; true when they tile the file exactly.
bool atomsTileTheFile(const std::vector<uint8_t> &bytes)
{
    size_t at = 0;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = get32(bytes, at);
        if (size < 8 || size > bytes.size() - at)
            return false;
        at += size;
    }
    return at == bytes.size();
}

// Thirty 3 x 1 pictures of 6 bytes at 15 frames per second (the data ends
// at an offset that is not a multiple of 4), then rewritten after edits.
TEST(QuickTimeWriter, ThirtyFramesWithoutSoundThenRewrittenAfterEdits)
{
    NewMovie m;
    const MVid image = m.addImage("Uncompressed Video", DM_PACKING_RGB555, 15.0, 3, 1);
    ASSERT_NE(image, 0);
    for (int frame = 0; frame < 30; ++frame) {
        uint16_t picture[3] = {uint16_t(frame), 0x7FFF, uint16_t(0x100 + frame)};
        ASSERT_EQ(mvInsertFrames(image, frame, 1, sizeof picture, picture), 0);
    }
    ASSERT_EQ(mvWrite(m.movie), 0);

    const std::vector<uint8_t> b = TempDir::read(m.path);
    ASSERT_EQ(std::memcmp(b.data() + 4, "mdat", 4), 0);
    const uint32_t mdatSize = get32(b, 0);
    EXPECT_EQ(mdatSize % 4, 0u);
    EXPECT_EQ(findAtom(b, "moov"), mdatSize);
    EXPECT_TRUE(atomsTileTheFile(b));

    // The movie's time scale, duration and next track id; the track's
    // version and flags, id, duration, width and height.
    const size_t mvhd = findAtom(b, "mvhd"), tkhd = findAtom(b, "tkhd");
    for (const auto &[at, value] : {std::pair{mvhd + 20, 15u}, {mvhd + 24, 30u}, {mvhd + 104, 1u}, {tkhd + 8, 15u},
                                    {tkhd + 20, 0u}, {tkhd + 28, 30u}, {tkhd + 84, 3u << 16}, {tkhd + 88, 1u << 16}})
        EXPECT_EQ(get32(b, at), value) << at;

    // Every sample a key frame, each in a chunk of its own.
    const size_t stss = findAtom(b, "stss"), stsc = findAtom(b, "stsc");
    ASSERT_EQ(get32(b, stss + 12), 30u);
    ASSERT_EQ(get32(b, stsc + 12), 30u);
    for (uint32_t k = 0; k < 30; ++k) {
        EXPECT_EQ(get32(b, stss + 16 + 4 * k), k + 1);
        EXPECT_EQ(std::tuple(get32(b, stsc + 16 + 12 * k), get32(b, stsc + 20 + 12 * k), get32(b, stsc + 24 + 12 * k)),
                  std::tuple(k + 1, 1u, 1u));
    }
    // The offsets in "stco" point at the stored big-endian pixels.
    const size_t stco = findAtom(b, "stco");
    ASSERT_EQ(get32(b, stco + 12), 30u);
    const uint32_t last = get32(b, stco + 16 + 4 * 29);
    EXPECT_EQ(std::tuple(b[last + 1], b[last + 4], b[last + 5]), std::tuple(29, 0x01, 29));

    // Fewer frames make a shorter "moov" than the one on the file.
    ASSERT_EQ(mvDeleteFrames(image, 2, 27), 0);
    ASSERT_EQ(mvWrite(m.movie), 0);
    const std::vector<uint8_t> shorter = TempDir::read(m.path);
    EXPECT_GE(shorter.size(), b.size());
    EXPECT_TRUE(atomsTileTheFile(shorter));
    // Frames added later go where the old "moov" was; the next write moves
    // the "moov" past them.
    uint16_t added[3] = {77, 77, 77};
    ASSERT_EQ(mvInsertFrames(image, 3, 1, sizeof added, added), 0);
    ASSERT_EQ(mvClose(m.movie), 0);
    EXPECT_TRUE(atomsTileTheFile(TempDir::read(m.path)));

    const OpenedFile reopened(m.path);
    ASSERT_EQ(reopened.error, 0) << mvGetErrorStr(reopened.error);
    ASSERT_EQ(mvGetTrackLength(reopened.image()), 4);
    EXPECT_EQ(mvGetImagePacking(reopened.image()), DM_PACKING_RGB555);
    const int expected[] = {0, 1, 29, 77};
    for (int frame = 0; frame < 4; ++frame) {
        uint16_t back[3] = {};
        ASSERT_EQ(mvReadFrames(reopened.image(), frame, 1, sizeof back, back), 0);
        EXPECT_EQ(back[0], expected[frame]) << frame;
    }
}

// The compressor name and depth in the sample description: JPEG's are
// fixed, Apple Animation's depth is the stored size, a raw one's the pixel's.
TEST(QuickTimeWriter, CompressorNamesAndDepths)
{
    const struct {
        const char *compression, *type, *name;
        int depth, packing;
    } cases[] = {{"JPEG", "jpeg", "Orvo Systems JPEG", 24, DM_PACKING_RGBX},
                 {"Apple Animation", "rle ", "Animation", 8, DM_PACKING_RGBX},
                 {"Uncompressed Video", "raw ", "None", 16, DM_PACKING_RGB555}};
    for (const auto &c : cases) {
        NewMovie m;
        const MVid image = m.addImage(c.compression, c.packing);
        ASSERT_NE(image, 0) << c.compression << ": " << mvGetErrorStr(mvGetErrno());
        testing_movie::Params p = testing_movie::newParams();
        dmParamsSetInt(p.get(), MV_IMAGE_CSIZE, c.depth);
        if (c.depth == 8) {
            ASSERT_EQ(mvSetParams(image, p.get(), nullptr), 0);
        }
        uint8_t stored[4] = {0xFF, 0xD8, 0xFF, 0xD9};
        ASSERT_EQ(mvInsertCompressedImage(image, 0, sizeof stored, stored), 0);
        ASSERT_EQ(mvClose(m.movie), 0);
        const std::vector<uint8_t> b = TempDir::read(m.path);
        const size_t at = findAtom(b, c.type);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(size_t(b[at + 8 + 42]), std::strlen(c.name));
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(b.data()) + at + 8 + 43, std::strlen(c.name)), c.name);
        EXPECT_EQ(b[at + 8 + 75], c.depth);
    }
}

// Raw pictures are stored as the track holds them, so only the file's own
// raw layouts are accepted, when the track is made.
TEST(QuickTimeWriter, RefusesWhatItCannotWrite)
{
    for (const auto &[packing, accepted] : {std::pair{DM_PACKING_RGBX, false}, {DM_PACKING_GRAY, false},
                                            {DM_PACKING_XBGR, true}, {DM_PACKING_RGB555, true}}) {
        NewMovie m;
        EXPECT_EQ(m.addImage("Uncompressed Video", packing) != 0, accepted) << packing;
        if (!accepted) {
            EXPECT_EQ(mvGetErrno(), MV_ERR_IMAGE_SETTINGS) << packing;
            ASSERT_NE(m.addAudio(8000.0, 8, 1, AUDIO_FORMAT_TWOS), 0);
            EXPECT_EQ(mvWrite(m.movie), -1);
            EXPECT_EQ(mvGetErrno(), MV_ERR_QT_NO_IMAGE) << packing;
        }
        testing_movie::MemMovie::release(m.movie);
    }
}

// Repeated pictures share one copy of their data: taking away either frame
// must leave it to the other, through reused space and a rewrite.
TEST(QuickTimeWriter, FramesSharingTheirDataKeepItWhenOneGoes)
{
    TempDir dir;
    std::vector<uint8_t> bytes = qt_files::build(qt_files::File{});
    const size_t stco = findAtom(bytes, "stco");
    ASSERT_NE(stco, std::string::npos);
    const uint32_t shared = get32(bytes, stco + 16);
    set32(bytes, stco + 20, shared);
    const std::vector<uint8_t> data(bytes.begin() + shared, bytes.begin() + shared + 16);
    for (int gone : {0, 1}) {
        const std::string path = dir.write("shared" + std::to_string(gone) + ".mov", bytes);
        MVid movie = 0;
        ASSERT_EQ(mvOpenFile(path.c_str(), O_RDWR, &movie), 0) << mvGetErrorStr(mvGetErrno());
        MVid image = trackOf(movie, DM_MEDIUM_IMAGE);
        ASSERT_EQ(mvDeleteFrames(image, gone, 1), 0);
        const std::vector<uint8_t> other(16, 0xAA);
        ASSERT_EQ(mvInsertFrames(image, 2, 1, other.size(), const_cast<uint8_t *>(other.data())), 0);
        std::vector<uint8_t> kept(16);
        ASSERT_EQ(mvReadCompressedImage(image, 0, kept.size(), kept.data()), 0);
        EXPECT_EQ(kept, data) << gone;
        ASSERT_EQ(mvClose(movie), 0) << mvGetErrorStr(mvGetErrno());
        const OpenedFile reopened(path);
        ASSERT_EQ(reopened.error, 0) << mvGetErrorStr(reopened.error);
        ASSERT_EQ(mvGetTrackLength(reopened.image()), 3);
        ASSERT_EQ(mvReadCompressedImage(reopened.image(), 0, kept.size(), kept.data()), 0);
        EXPECT_EQ(kept, data) << gone;
        ASSERT_EQ(mvReadCompressedImage(reopened.image(), 2, kept.size(), kept.data()), 0);
        EXPECT_EQ(kept, other) << gone;
    }
}

}  // namespace
