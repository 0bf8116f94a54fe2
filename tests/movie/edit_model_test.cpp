// Long runs of random edits checked against a plain model of the frames: a
// vector of sample values for an audio track, a vector of pictures for an
// image track. Splits, cursor movement, entry shifting and pastes within one
// track all have to agree with it after every step.
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "directory.h"
#include "movie_builders.h"

using namespace testing_movie;

namespace {

class RandomEdits : public ::testing::TestWithParam<unsigned> {};

TEST_P(RandomEdits, AudioAgreesWithTheModel)
{
    std::mt19937 random(GetParam());
    MemMovie movie(MV_FORMAT_NATIVE_3, 8 << 20);
    MVid track = movie.addAudio(audioParams(8, 1, 8000.0));
    ASSERT_NE(track, 0);
    std::vector<uint8_t> model;
    uint8_t next = 0;
    auto pick = [&](int upTo) { return std::uniform_int_distribution<int>(0, upTo)(random); };

    for (int step = 0; step < 300; step++) {
        int length = int(model.size());
        switch (pick(3)) {
        case 0: {
            int at = pick(length), count = pick(40);
            std::vector<uint8_t> data(static_cast<size_t>(count));
            for (auto &v : data)
                v = next++;
            ASSERT_EQ(mvInsertFrames(track, at, count, data.size(), data.data()), 0) << step;
            model.insert(model.begin() + at, data.begin(), data.end());
            break;
        }
        case 1: {
            int at = pick(length), count = pick(length - at);
            ASSERT_EQ(mvDeleteFrames(track, at, count), 0) << step;
            model.erase(model.begin() + at, model.begin() + at + count);
            break;
        }
        case 2: {
            int from = pick(length), count = pick(length - from), to = pick(length);
            ASSERT_EQ(mvPasteFrames(track, from, count, track, to), 0) << step;
            std::vector<uint8_t> copy(model.begin() + from, model.begin() + from + count);
            model.insert(model.begin() + to, copy.begin(), copy.end());
            break;
        }
        default: {
            int at = pick(length), count = pick(length - at);
            std::vector<uint8_t> back(size_t(count) + 1, 0xEE);
            ASSERT_EQ(mvReadFrames(track, at, count, back.size(), back.data()), 0) << step;
            EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + count),
                      std::vector<uint8_t>(model.begin() + at, model.begin() + at + count))
                << step;
            EXPECT_EQ(back[size_t(count)], 0xEE) << "read past the frames asked for";
        }
        }
        ASSERT_EQ(mvGetTrackLength(track), int(model.size())) << step;
        ASSERT_EQ(__mvDL_TotalFrames(__mvT_DirList(track)), int(model.size())) << step;
    }
    std::vector<uint8_t> all(model.size());
    ASSERT_EQ(mvReadFrames(track, 0, int(all.size()), all.size(), all.data()), 0);
    EXPECT_EQ(all, model);
}

TEST_P(RandomEdits, ImagesAgreeWithTheModel)
{
    std::mt19937 random(GetParam());
    MemMovie movie(MV_FORMAT_NATIVE_3, 8 << 20);
    MVid track = movie.addImage(imageParams(2, 1, DM_PACKING_RGB555));
    MVid other = movie.addImage(imageParams(2, 1, DM_PACKING_RGB555));
    ASSERT_NE(other, 0);
    using Picture = std::vector<uint16_t>;
    std::vector<Picture> model;
    uint16_t next = 1;
    auto pick = [&](int upTo) { return std::uniform_int_distribution<int>(0, upTo)(random); };

    for (int step = 0; step < 200; step++) {
        int length = int(model.size());
        switch (pick(2)) {
        case 0: {
            int at = pick(length), count = pick(5);
            std::vector<uint16_t> data;
            std::vector<Picture> pictures;
            for (int i = 0; i < count; i++) {
                pictures.push_back({next, uint16_t(next + 1)});
                data.insert(data.end(), pictures.back().begin(), pictures.back().end());
                next += 2;
            }
            ASSERT_EQ(mvInsertFrames(track, at, count, data.size() * 2, data.data()), 0) << step;
            model.insert(model.begin() + at, pictures.begin(), pictures.end());
            break;
        }
        case 1: {
            int at = pick(length), count = pick(length - at);
            ASSERT_EQ(mvDeleteFrames(track, at, count), 0) << step;
            model.erase(model.begin() + at, model.begin() + at + count);
            break;
        }
        default: {
            // Through another track and back: the stored bytes travel both ways.
            int from = pick(length), count = pick(length - from), to = pick(length);
            ASSERT_EQ(mvPasteFrames(track, from, count, other, 0), 0) << step;
            ASSERT_EQ(mvPasteFrames(other, 0, count, track, to), 0) << step;
            ASSERT_EQ(mvDeleteFrames(other, 0, mvGetTrackLength(other)), 0) << step;
            std::vector<Picture> copy(model.begin() + from, model.begin() + from + count);
            model.insert(model.begin() + to, copy.begin(), copy.end());
        }
        }
        ASSERT_EQ(mvGetTrackLength(track), int(model.size())) << step;
    }
    for (int i = 0; i < int(model.size()); i++) {
        Picture back(2);
        ASSERT_EQ(mvReadFrames(track, i, 1, 4, back.data()), 0);
        EXPECT_EQ(back, model[size_t(i)]) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomEdits, ::testing::Values(1u, 2u, 3u, 20261205u));

}  // namespace
