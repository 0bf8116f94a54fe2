// Work between tracks: time mapping, pasting frames and rewriting a movie
// interleaved.
#include <cstring>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "directory.h"
#include "error.h"
#include "frames.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

TEST(MapBetweenTracks, ConvertsByRateAndClampsToTheDestination)
{
    MemMovie movie;
    MVid image = movie.addImage(imageParams(1, 1, DM_PACKING_GRAY, DM_IMAGE_UNCOMPRESSED, 15.0));
    MVid audio = movie.addAudio(audioParams(8, 1, 44100.0));
    std::vector<uint8_t> sound(9000);
    ASSERT_EQ(mvInsertFrames(audio, 0, int(sound.size()), sound.size(), sound.data()), 0);
    std::vector<uint8_t> pictures(4);
    ASSERT_EQ(mvInsertFrames(image, 0, 4, pictures.size(), pictures.data()), 0);

    int frame = -1;
    ASSERT_EQ(mvMapBetweenTracks(image, audio, 2, &frame), 0);
    EXPECT_EQ(frame, 5880);
    int first = 0, count = 0;
    ASSERT_EQ(__mvAudioForImageFrame(image, audio, 2, &first, &count), 0);
    EXPECT_EQ(std::pair(first, count), std::pair(5880, 2940));
    // The audio ends during image frame 3.
    ASSERT_EQ(__mvAudioForImageFrame(image, audio, 3, &first, &count), 0);
    EXPECT_EQ(std::pair(first, count), std::pair(8820, 180));

    ASSERT_EQ(mvMapBetweenTracks(audio, image, 8819, &frame), 0);
    EXPECT_EQ(frame, 2);
    // A result equal to the length is fine; past it is clamped and refused.
    ASSERT_EQ(mvMapBetweenTracks(audio, image, 8820, &frame), 0);
    EXPECT_EQ(frame, 3);
    EXPECT_TRUE(failsWith(mvMapBetweenTracks(image, audio, 4, &frame), MV_ERR_FRAME_RANGE));
    EXPECT_EQ(frame, 9000);
    // A negative frame counts as a very large one.
    EXPECT_EQ(mvMapBetweenTracks(audio, image, -1, &frame), -1);
    EXPECT_EQ(frame, 4);
}

TEST(PasteFrames, CopiesStoredBytesBetweenTracksOfOneKindAndDecodesBetweenOthers)
{
    MemMovie movie;
    MVid from = movie.addImage(imageParams(4, 4));
    MVid to = movie.addImage(imageParams(4, 4));
    uint8_t stored[3] = {7, 8, 9};
    ASSERT_EQ(mvInsertCompressedImage(from, 0, sizeof stored, stored), 0);
    ASSERT_EQ(mvAddUserParam("MODEL_TAKE"), 0);
    Params take = newParams();
    dmParamsSetString(take.get(), "MODEL_TAKE", "3");
    ASSERT_EQ(__mvSetFrameParams(from, 0, take.get(), nullptr), 0);

    ASSERT_EQ(mvPasteFrames(from, 0, 1, to, 0), 0);
    // A decoded copy, a whole 64-byte picture, would not fit this buffer.
    uint8_t back[3] = {};
    ASSERT_EQ(mvReadCompressedImage(to, 0, sizeof back, back), 0);
    EXPECT_EQ(std::memcmp(back, stored, 3), 0);
    EXPECT_STREQ(dmParamsGetString(__mvGetFrameParams(to, 0), "MODEL_TAKE"), "3");

    // Other tracks take decoded copies, which need equal frame sizes.
    MVid rgbx = movie.addImage(imageParams(2, 2, DM_PACKING_RGBX));
    MVid grey = movie.addImage(imageParams(2, 2, DM_PACKING_GRAY));
    MVid stereo = movie.addAudio(audioParams(16, 2));
    MVid mono = movie.addAudio(audioParams(16, 1));
    std::vector<uint8_t> frame(16, 1);
    ASSERT_EQ(mvInsertFrames(rgbx, 0, 1, frame.size(), frame.data()), 0);
    ASSERT_EQ(mvInsertFrames(stereo, 0, 4, frame.size(), frame.data()), 0);

    EXPECT_TRUE(failsWith(mvPasteFrames(rgbx, 0, 1, grey, 0), MV_ERR_FRAME_SIZE_MISMATCH));
    EXPECT_TRUE(failsWith(mvPasteFrames(stereo, 0, 4, mono, 0), MV_ERR_FRAME_SIZE_MISMATCH));
    EXPECT_EQ(mvGetTrackLength(grey), 0);
    EXPECT_EQ(mvGetTrackLength(mono), 0);
    EXPECT_TRUE(failsWith(mvPasteFrames(stereo, 2, 3, stereo, 0), MV_ERR_FRAME_RANGE));
    EXPECT_TRUE(failsWith(mvPasteFrames(stereo, 0, 1, stereo, 5), MV_ERR_FRAME_RANGE));

    // 1001 and 1090 both hold 4 bytes a pixel but are different layouts, so
    // the frames are decoded and inserted again rather than copied as stored.
    MVid rgbxFrom = movie.addImage(imageParams(2, 1, DM_PACKING_RGBX));
    MVid xbgrTo = movie.addImage(imageParams(2, 1, DM_PACKING_XBGR));
    uint32_t pixels[4] = {0x00010203, 0x00040506, 0x00070809, 0x000A0B0C};
    ASSERT_EQ(mvInsertFrames(rgbxFrom, 0, 2, sizeof pixels, pixels), 0);
    ASSERT_EQ(mvPasteFrames(rgbxFrom, 0, 2, xbgrTo, 0), 0);
    uint32_t decoded[4] = {};
    ASSERT_EQ(mvReadFrames(xbgrTo, 0, 2, sizeof decoded, decoded), 0);
    EXPECT_EQ(std::memcmp(decoded, pixels, sizeof decoded), 0);

    // Within one image track the original frames are copied; audio pastes
    // within a track are checked against a model in directory_test.
    MVid image = movie.addImage(imageParams(1, 1, DM_PACKING_GRAY));
    std::vector<uint8_t> pictures = ramp(4, 50);
    ASSERT_EQ(mvInsertFrames(image, 0, 4, pictures.size(), pictures.data()), 0);
    ASSERT_EQ(mvPasteFrames(image, 1, 3, image, 0), 0);
    std::vector<uint8_t> shown(7);
    ASSERT_EQ(mvReadFrames(image, 0, 7, shown.size(), shown.data()), 0);
    EXPECT_EQ(shown, (std::vector<uint8_t>{51, 52, 53, 50, 51, 52, 53}));
}

// The source's audio runs 50 frames past its last picture.
TEST(Optimize, RefusesADestinationWithTracksAndInterleavesEachPictureAfterItsAudio)
{
    MemMovie source;
    MVid sourceImage = source.addImage(imageParams(2, 2, DM_PACKING_GRAY, DM_IMAGE_UNCOMPRESSED, 10.0));
    MVid sourceAudio = source.addAudio(audioParams(8, 1, 8000.0));
    std::vector<uint8_t> pictureBytes = ramp(12, 100);
    ASSERT_EQ(mvInsertFrames(sourceImage, 0, 3, pictureBytes.size(), pictureBytes.data()), 0);
    // Audio inserted in two pieces, out of time order, to be put right.
    std::vector<uint8_t> samples = ramp(2450);
    ASSERT_EQ(mvInsertFrames(sourceAudio, 0, 1000, 1000, samples.data() + 1450), 0);
    ASSERT_EQ(mvInsertFrames(sourceAudio, 0, 1450, 1450, samples.data()), 0);
    ASSERT_EQ(mvSetTitle(source.id(), "Quay"), 0);
    // The source as it stands after a write; when no writer is linked in,
    // only its changed mark is cleared.
    if (mvWrite(source.id()) != 0)
        __mvFindMovie(source.id())->dirty = false;

    MemMovie full;
    MVid existing = full.addAudio(audioParams());
    EXPECT_TRUE(failsWith(mvOptimize(source.id(), full.id()), MV_ERR_OPTIMIZE_NOT_EMPTY));
    EXPECT_EQ(std::tuple(__mvMV_TrackCount(full.id()), mvGetTitle(full.id()), mvGetTrackLength(existing)),
              std::tuple(1, nullptr, 0));

    MemMovie dest;
    ASSERT_EQ(mvOptimize(source.id(), dest.id()), 0);
    EXPECT_EQ(mvGetOptimized(dest.id()), 1);
    EXPECT_STREQ(mvGetTitle(dest.id()), "Quay");

    MVid image = 0, audio = 0;
    ASSERT_EQ(mvFindTrackByMedium(dest.id(), DM_MEDIUM_IMAGE, &image), 0);
    ASSERT_EQ(mvFindTrackByMedium(dest.id(), DM_MEDIUM_AUDIO, &audio), 0);
    EXPECT_EQ(std::pair(mvGetTrackLength(image), mvGetTrackLength(audio)), std::pair(3, 2450));

    // Audio entries: 800 frames for each picture, then the 50 left over; each
    // picture's bytes follow its audio in the file.
    MVdirectory *sound = __mvT_DirList(audio);
    MVdirectory *pictures = __mvT_DirList(image);
    ASSERT_EQ(__mvDL_DirCount(sound), 4);
    uint32_t previousEnd = 0;
    for (int i = 0; i < 3; i++) {
        uint32_t aOffset = 0, aSize = 0, iOffset = 0, iSize = 0;
        int count = 0;
        ASSERT_EQ(__mvDL_DirEntry(sound, i, &aOffset, &aSize, &count, nullptr), 0);
        ASSERT_EQ(__mvDL_DirEntry(pictures, i, &iOffset, &iSize, nullptr, nullptr), 0);
        EXPECT_EQ(count, 800);
        EXPECT_GE(aOffset, previousEnd);
        EXPECT_GE(iOffset, aOffset + aSize);
        EXPECT_EQ(dest.bytes()[iOffset], 100 + 4 * i);
        previousEnd = iOffset + iSize;
    }
    uint32_t restOffset = 0;
    int rest = 0;
    ASSERT_EQ(__mvDL_DirEntry(sound, 3, &restOffset, nullptr, &rest, nullptr), 0);
    EXPECT_EQ(rest, 50);
    EXPECT_GE(restOffset, previousEnd);

    std::vector<uint8_t> back(2450);
    ASSERT_EQ(mvReadFrames(audio, 0, 2450, back.size(), back.data()), 0);
    EXPECT_EQ(back, ramp(2450));
}

}  // namespace
