// Compressed image tracks written and read through the movie library.
#include <gtest/gtest.h>

#include <cinelark/colorspace.h>
#include <cinelark/movie.h>
#include <cinelark/playback.h>

#include <cstdint>
#include <vector>

#include "frames.h"
#include "movie/movie_builders.h"
#include "probe_codec.h"
#include "qt_tools.h"

using namespace qt_tools;
using testing_movie::Params;

namespace {

constexpr int kWidth = 16, kHeight = 8, kFrames = 6;

Params imageParams(const char *compression)
{
    return testing_movie::imageParams(kWidth, kHeight, DM_PACKING_RGBX, compression, 15.0);
}

// How close a frame reads back: exactly, to the bits "8RGB" keeps, as the
// colour-space converters take it to 3-3-2 bit pixels and back, or within
// the error of a lossy coder on this clip.
enum Fidelity { Exact, EightBit, ThreeThreeTwo, Lossy };

void expectFrame(const Picture &read, const Picture &source, Fidelity fidelity)
{
    Picture expected = source;
    std::vector<uint8_t> small(source.size());
    switch (fidelity) {
    case Exact:
        break;
    case EightBit:
        for (size_t k = 0; k < read.size(); k++)
            ASSERT_EQ(read[k] & 0x00C0E0E0u, source[k] & 0x00C0E0E0u) << "pixel " << k;
        return;
    case ThreeThreeTwo:
        ASSERT_EQ(csConvert(kWidth, kHeight, CS_RGBX, source.data(), CS_RGB332, small.data()), 0);
        ASSERT_EQ(csConvert(kWidth, kHeight, CS_RGB332, small.data(), CS_RGBX, expected.data()), 0);
        for (size_t k = 0; k < read.size(); k++)
            ASSERT_EQ(read[k] & 0x00FFFFFFu, expected[k] & 0x00FFFFFFu) << "pixel " << k;
        return;
    case Lossy:
        EXPECT_LT(meanDifference(read, source), 20.0);
        return;
    }
    EXPECT_EQ(read, expected);
}

TEST(CompressedTrack, FramesReadBackBeforeAndAfterTheMovieIsWritten)
{
    mvInitQuickTime();
    probeScheme();
    std::vector<Picture> frames;
    std::vector<uint32_t> all;
    for (const Picture &p : movingClip(kWidth, kHeight, kFrames)) {
        frames.push_back(flipRows(p, kWidth, kHeight));
        all.insert(all.end(), frames.back().begin(), frames.back().end());
    }
    const struct {
        const char *name;
        bool keyFrames;
        Fidelity fidelity;
    } schemes[] = {{"Apple Animation", true, Exact}, {"Apple Video", true, Lossy},
                   {"8RGB", false, EightBit},        {"RLE24", false, Exact},
                   {"RLE", false, ThreeThreeTwo},    {kProbeName, false, Exact}};
    for (const auto &scheme : schemes) {
        SCOPED_TRACE(scheme.name);
        std::vector<uint8_t> memory(1 << 20);
        MVid movie = 0, track = 0;
        ASSERT_EQ(mvCreateMem(memory.data(), memory.size(), testing_movie::movieParams().get(),
                              nullptr, &movie), 0);
        ASSERT_EQ(mvAddTrack(movie, DM_MEDIUM_IMAGE, imageParams(scheme.name).get(), nullptr, &track), 0)
            << mvGetErrorStr(mvGetErrno());
        ASSERT_EQ(mvInsertFrames(track, 0, kFrames, all.size() * 4, all.data()), 0)
            << mvGetErrorStr(mvGetErrno());
        EXPECT_EQ(mvGetTrackLength(track), kFrames);
        for (int i = 0; i < kFrames; i++)
            EXPECT_EQ(__mvT_IsKeyFrame(track, i), !scheme.keyFrames || i == 0 || i == 5) << i;
        // Out of order: the track decodes from the nearest key frame.
        for (int i : {3, 4, 1, 5, 0, 2}) {
            Picture read(size_t(kWidth) * kHeight, 0x00ABCDEF);
            ASSERT_EQ(mvReadFrames(track, i, 1, read.size() * 4, read.data()), 0)
                << mvGetErrorStr(mvGetErrno());
            SCOPED_TRACE(i);
            expectFrame(read, frames[size_t(i)], scheme.fidelity);
        }
        ASSERT_EQ(mvClose(movie), 0) << mvGetErrorStr(mvGetErrno());
        ASSERT_EQ(mvOpenMem(memory.data(), memory.size(), &movie), 0) << mvGetErrorStr(mvGetErrno());
        ASSERT_EQ(mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &track), 0);
        EXPECT_STREQ(mvGetImageCompression(track), scheme.name);
        // All frames in one read.
        std::vector<uint32_t> back(all.size());
        ASSERT_EQ(mvReadFrames(track, 0, kFrames, back.size() * 4, back.data()), 0)
            << mvGetErrorStr(mvGetErrno());
        for (int i = 0; i < kFrames; i++) {
            SCOPED_TRACE(i);
            auto begin = back.begin() + ptrdiff_t(i) * kWidth * kHeight;
            expectFrame(Picture(begin, begin + kWidth * kHeight), frames[size_t(i)], scheme.fidelity);
        }
        EXPECT_EQ(mvClose(movie), 0);
    }
}

}  // namespace
