// Compressed image tracks made through the movie library: frames written
// through the bridge read back, in any order, before and after the movie is
// written and opened again, and QuickTime tracks mark their key frames.
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

struct Scheme {
    const char *name;
    bool keyFrames;
    // How close a frame reads back: exactly, to the bits "8RGB" keeps,
    // within one level of a 3-3-2 bit picture, or within the error of a lossy
    // coder on this clip.
    enum { Exact, EightBit, ThreeThreeTwo, Lossy } fidelity;
};

class CompressedTrack : public ::testing::TestWithParam<Scheme> {
protected:
    void SetUp() override
    {
        mvInitQuickTime();
        probeScheme();
        std::vector<Picture> clip = movingClip(kWidth, kHeight, kFrames);
        for (const Picture &p : clip)
            frames_.push_back(flipRows(p, kWidth, kHeight));
    }

    void expectFrame(const Picture &read, int i)
    {
        const Picture &source = frames_[size_t(i)];
        switch (GetParam().fidelity) {
        case Scheme::Exact:
            EXPECT_EQ(read, source) << "frame " << i;
            break;
        case Scheme::EightBit:
            for (size_t k = 0; k < read.size(); k++)
                ASSERT_EQ(read[k] & 0x00C0E0E0u, source[k] & 0x00C0E0E0u) << "frame " << i;
            break;
        case Scheme::ThreeThreeTwo: {
            // The codec keeps 3-3-2 bit pixels: the frame reads back as the
            // colour-space converters take it to RGB332 and back.
            std::vector<uint8_t> small(source.size());
            Picture expected(source.size());
            ASSERT_EQ(csConvert(kWidth, kHeight, CS_RGBX, source.data(), CS_RGB332, small.data()), 0);
            ASSERT_EQ(csConvert(kWidth, kHeight, CS_RGB332, small.data(), CS_RGBX, expected.data()), 0);
            for (size_t k = 0; k < read.size(); k++)
                ASSERT_EQ(read[k] & 0x00FFFFFFu, expected[k] & 0x00FFFFFFu)
                    << "frame " << i << " pixel " << k;
            break;
        }
        case Scheme::Lossy:
            EXPECT_LT(compare(read, source).mean, 20.0) << "frame " << i;
            break;
        }
    }

    Picture readFrame(MVid track, int i)
    {
        Picture p(size_t(kWidth) * kHeight, 0x00ABCDEF);
        EXPECT_EQ(mvReadFrames(track, i, 1, p.size() * 4, p.data()), 0)
            << mvGetErrorStr(mvGetErrno());
        return p;
    }

    std::vector<Picture> frames_;
};

TEST_P(CompressedTrack, FramesReadBackBeforeAndAfterTheMovieIsWritten)
{
    std::vector<uint8_t> memory(1 << 20);
    MVid movie = 0;
    ASSERT_EQ(mvCreateMem(memory.data(), memory.size(), testing_movie::movieParams().get(),
                          nullptr, &movie),
              0);
    Params image = imageParams(GetParam().name);
    MVid track = 0;
    ASSERT_EQ(mvAddTrack(movie, DM_MEDIUM_IMAGE, image.get(), nullptr, &track), 0)
        << mvGetErrorStr(mvGetErrno());

    std::vector<uint32_t> all;
    for (const Picture &p : frames_)
        all.insert(all.end(), p.begin(), p.end());
    ASSERT_EQ(mvInsertFrames(track, 0, kFrames, all.size() * 4, all.data()), 0)
        << mvGetErrorStr(mvGetErrno());
    EXPECT_EQ(mvGetTrackLength(track), kFrames);
    for (int i = 0; i < kFrames; i++)
        EXPECT_EQ(__mvT_IsKeyFrame(track, i), !GetParam().keyFrames || i == 0 || i == 5) << i;

    // Out of order: the track decodes from the nearest key frame.
    for (int i : {3, 4, 1, 5, 0, 2})
        expectFrame(readFrame(track, i), i);

    ASSERT_EQ(mvClose(movie), 0) << mvGetErrorStr(mvGetErrno());
    ASSERT_EQ(mvOpenMem(memory.data(), memory.size(), &movie), 0) << mvGetErrorStr(mvGetErrno());
    ASSERT_EQ(mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &track), 0);
    EXPECT_STREQ(mvGetImageCompression(track), GetParam().name);
    // All frames in one read.
    std::vector<uint32_t> back(all.size());
    ASSERT_EQ(mvReadFrames(track, 0, kFrames, back.size() * 4, back.data()), 0)
        << mvGetErrorStr(mvGetErrno());
    for (int i = 0; i < kFrames; i++) {
        auto begin = back.begin() + ptrdiff_t(i) * kWidth * kHeight;
        expectFrame(Picture(begin, begin + kWidth * kHeight), i);
    }
    EXPECT_EQ(mvClose(movie), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, CompressedTrack,
    ::testing::Values(Scheme{"Apple Animation", true, Scheme::Exact},
                      Scheme{"Apple Video", true, Scheme::Lossy},
                      Scheme{"8RGB", false, Scheme::EightBit},
                      Scheme{"RLE24", false, Scheme::Exact},
                      Scheme{"RLE", false, Scheme::ThreeThreeTwo},
                      Scheme{kProbeName, false, Scheme::Exact}),
    [](const ::testing::TestParamInfo<Scheme> &info) {
        std::string name = info.param.name;
        std::erase(name, ' ');
        return name;
    });

TEST(CompressedTrackErrors, UnknownSchemesAndLibraryFailuresReachTheCaller)
{
    testing_movie::MemMovie movie(MV_FORMAT_NATIVE_3, 1 << 16);
    ASSERT_EQ(movie.created(), 0);
    MVid track = 0;
    Params unknown = imageParams("Cinepak-ish");
    EXPECT_EQ(mvAddTrack(movie.id(), DM_MEDIUM_IMAGE, unknown.get(), nullptr, &track), -1);
    EXPECT_EQ(mvGetErrno(), 1012);
    Params board = imageParams("HwJpeg");
    EXPECT_EQ(mvAddTrack(movie.id(), DM_MEDIUM_IMAGE, board.get(), nullptr, &track), -1);
    EXPECT_EQ(mvGetErrno(), 1022);
}

}  // namespace
