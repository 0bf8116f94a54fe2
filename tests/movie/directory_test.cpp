// Audio frames at the ends of a track and as stored; random edits checked
// against a plain vector of frames after every step.
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "directory.h"
#include "error.h"
#include "frames.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

// Mono 8-bit audio: one byte per frame, so frame n can hold the value n.
TEST(AudioFrames, FramesOutsideTheTrackAreOutOfRange)
{
    MemMovie movie;
    const MVid track = movie.addAudio(audioParams(8, 1, 8000.0));
    std::vector<uint8_t> samples = ramp(22);
    ASSERT_EQ(mvInsertFrames(track, 0, 20, 20, samples.data()), 0);
    uint8_t sample[4];
    EXPECT_TRUE(failsWith(mvReadFrames(track, 20, 1, sizeof sample, sample), MV_ERR_FRAME_RANGE));
    EXPECT_EQ(mvReadFrames(track, 18, 3, sizeof sample, sample), -1);
    EXPECT_EQ(mvReadFrames(track, -1, 1, sizeof sample, sample), -1);
    EXPECT_TRUE(failsWith(mvInsertFrames(track, 21, 1, sizeof sample, sample), MV_ERR_FRAME_RANGE));
    EXPECT_EQ(mvDeleteFrames(track, 15, 6), -1);
    EXPECT_EQ(mvGetTrackLength(track), 20);
    // Reading zero frames at the end is nothing to do.
    EXPECT_EQ(mvReadFrames(track, 20, 0, 0, sample), 0);
    // Inserting at the length appends.
    ASSERT_EQ(mvInsertFrames(track, 20, 2, 2, samples.data() + 20), 0);
    ASSERT_EQ(mvReadFrames(track, 21, 1, 1, sample), 0);
    EXPECT_EQ(sample[0], 21);
    // A buffer too small for the frames asked for is refused.
    EXPECT_TRUE(failsWith(mvReadFrames(track, 0, 4, 3, samples.data()), EINVAL));
}

TEST(AudioFrames, SixteenBitSamplesAreStoredBigEndianAndUnsignedOnesReadAsTwosComplement)
{
    MemMovie movie;
    MVid track = movie.addAudio(audioParams(16, 2, 22050.0));
    // Not const: a swap in place would show in the comparison below.
    int16_t samples[4] = {0x0102, -2, 0x7fff, -32768};
    ASSERT_EQ(mvInsertFrames(track, 0, 2, sizeof samples, samples), 0);
    uint32_t offset = 0;
    ASSERT_EQ(__mvDL_DirEntry(__mvT_DirList(track), 0, &offset, nullptr, nullptr, nullptr), 0);
    const uint8_t stored[8] = {0x01, 0x02, 0xff, 0xfe, 0x7f, 0xff, 0x80, 0x00};
    EXPECT_EQ(std::memcmp(movie.bytes() + offset, stored, 8), 0);
    int16_t back[4] = {};
    ASSERT_EQ(mvReadFrames(track, 0, 2, sizeof back, back), 0);
    EXPECT_EQ(std::memcmp(back, samples, sizeof back), 0);

    // Unsigned samples are handed out as two's complement.
    MVid narrow = movie.addAudio(audioParams(8, 1, 8000.0, AUDIO_FORMAT_UNSIGNED));
    uint8_t bytes[3] = {0x00, 0x80, 0xff};
    ASSERT_EQ(mvInsertFrames(narrow, 0, 3, sizeof bytes, bytes), 0);
    int8_t signedBytes[3] = {};
    ASSERT_EQ(__mvT_ReadUnsignedAudio(narrow, 0, 3, sizeof signedBytes, signedBytes), 0);
    EXPECT_EQ(std::vector<int8_t>(signedBytes, signedBytes + 3), (std::vector<int8_t>{-128, 0, 127}));

    MVid wide = movie.addAudio(audioParams(16, 2, 8000.0, AUDIO_FORMAT_UNSIGNED));
    uint16_t words[2] = {0x0000, 0xffff};
    ASSERT_EQ(mvInsertFrames(wide, 0, 1, sizeof words, words), 0);
    int16_t out[2] = {};
    ASSERT_EQ(__mvT_ReadUnsignedAudio(wide, 0, 1, sizeof out, out), 0);
    EXPECT_EQ(std::vector<int16_t>(out, out + 2), (std::vector<int16_t>{-32768, 32767}));

    // Two's-complement tracks come back unchanged.
    MVid twos = movie.addAudio(audioParams(8, 1, 8000.0));
    ASSERT_EQ(mvInsertFrames(twos, 0, 3, sizeof bytes, bytes), 0);
    uint8_t same[3] = {};
    ASSERT_EQ(__mvT_ReadUnsignedAudio(twos, 0, 3, sizeof same, same), 0);
    EXPECT_EQ(std::memcmp(same, bytes, 3), 0);
    EXPECT_EQ(__mvT_ReadUnsignedAudio(twos, 0, 3, 2, same), -1);
}

// Pastes go through `other` and back when it is a track, so that stored
// bytes travel both ways, and within the track otherwise.
void editAtRandom(unsigned seed, MVid track, MVid other, size_t words, int mostInserted)
{
    using Frame = std::vector<uint16_t>;
    std::mt19937 random(seed);
    auto pick = [&](int upTo) { return std::uniform_int_distribution<int>(0, upTo)(random); };
    std::vector<Frame> model;
    auto modelWords = [&](int at, int count) {
        Frame all;
        for (int i = at; i < at + count; i++)
            all.insert(all.end(), model[size_t(i)].begin(), model[size_t(i)].end());
        return all;
    };
    uint16_t next = 1;

    for (int step = 0; step < 300; step++) {
        const int length = int(model.size());
        const int at = pick(length), count = pick(length - at), to = pick(length);
        switch (pick(3)) {
        case 0: {
            std::vector<Frame> frames(size_t(pick(mostInserted)), Frame(words));
            Frame data;
            for (Frame &frame : frames)
                for (uint16_t &word : frame)
                    data.push_back(word = next++);
            ASSERT_EQ(mvInsertFrames(track, at, int(frames.size()), data.size() * 2, data.data()), 0)
                << step;
            model.insert(model.begin() + at, frames.begin(), frames.end());
            break;
        }
        case 1:
            ASSERT_EQ(mvDeleteFrames(track, at, count), 0) << step;
            model.erase(model.begin() + at, model.begin() + at + count);
            break;
        case 2: {
            if (other == 0) {
                ASSERT_EQ(mvPasteFrames(track, at, count, track, to), 0) << step;
            } else {
                ASSERT_EQ(mvPasteFrames(track, at, count, other, 0), 0) << step;
                ASSERT_EQ(mvPasteFrames(other, 0, count, track, to), 0) << step;
                ASSERT_EQ(mvDeleteFrames(other, 0, count), 0) << step;
            }
            const std::vector<Frame> copy(model.begin() + at, model.begin() + at + count);
            model.insert(model.begin() + to, copy.begin(), copy.end());
            break;
        }
        default: {
            Frame back(size_t(count) * words + 1, 0xEEEE);
            ASSERT_EQ(mvReadFrames(track, at, count, back.size() * 2, back.data()), 0) << step;
            EXPECT_EQ(back.back(), 0xEEEE) << "read past the frames asked for";
            back.pop_back();
            EXPECT_EQ(back, modelWords(at, count)) << step;
        }
        }
        ASSERT_EQ(mvGetTrackLength(track), int(model.size())) << step;
        ASSERT_EQ(__mvDL_TotalFrames(__mvT_DirList(track)), int(model.size())) << step;
    }
}

class RandomEdits : public ::testing::TestWithParam<unsigned> {};

TEST_P(RandomEdits, AudioAgreesWithTheModel)
{
    MemMovie movie(MV_FORMAT_NATIVE_3, 8 << 20);
    const MVid track = movie.addAudio(audioParams(16, 1, 8000.0));
    ASSERT_NE(track, 0);
    editAtRandom(GetParam(), track, 0, 1, 40);
}

TEST_P(RandomEdits, ImagesAgreeWithTheModel)
{
    MemMovie movie(MV_FORMAT_NATIVE_3, 8 << 20);
    const MVid track = movie.addImage(imageParams(2, 1, DM_PACKING_RGB555));
    const MVid other = movie.addImage(imageParams(2, 1, DM_PACKING_RGB555));
    ASSERT_NE(other, 0);
    editAtRandom(GetParam(), track, other, 2, 5);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomEdits, ::testing::Values(1u, 2u, 3u, 20261205u));

}  // namespace
