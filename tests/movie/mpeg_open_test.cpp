// MPEG-1 video streams open as read-only movies: one "MPEG Video" track of
// the stream's rounded-down size and rate with one frame per picture, whose
// frames read in any order are the pictures the decoder hands out in
// display order. The stream is made by ffmpeg at test time.
#include <gtest/gtest.h>

#include <cinelark/cl.h>
#include <cinelark/movie.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "model.h"
#include "temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Quiet(CL_Handle, int, const char *, ...) {}

// The stream's pictures as the decoder hands them out, bottom row first as
// movies keep them.
std::vector<Bytes> DecodeAll(const Bytes &stream, int width, int height, int count)
{
    CL_Handle h = nullptr;
    clOpenDecompressor(CL_MPEG_VIDEO, &h);
    int pv[] = {CL_IMAGE_WIDTH, width, CL_IMAGE_HEIGHT, height, CL_ORIENTATION, 1};
    clSetParams(h, pv, 6);
    CL_BufferHdl data = clCreateBuf(h, CL_DATA, int(stream.size()), 1, nullptr);
    void *at = nullptr;
    int wrap = 0;
    clQueryFree(data, 0, &at, &wrap);
    std::copy(stream.begin(), stream.end(), static_cast<unsigned char *>(at));
    clUpdateHead(data, int(stream.size()));
    clDoneUpdatingHead(data);
    std::vector<Bytes> frames;
    for (int k = 0; k < count; ++k) {
        Bytes frame(size_t(width) * height * 4);
        clDecompress(h, 1, 0, nullptr, frame.data());
        frames.push_back(std::move(frame));
    }
    clCloseDecompressor(h);
    return frames;
}

// An MPEG-1 video stream of ffmpeg's moving test picture.
std::string Encode(const TempDir &dir, const std::string &picture, const std::string &options)
{
    const std::string file = dir.file("clip.m1v");
    EXPECT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc2=" + picture +
                           " -pix_fmt yuv420p -c:v mpeg1video " + options + " " + file).c_str()),
              0);
    clSetErrorHandler(Quiet);
    return file;
}

MVid ImageTrack(MVid movie)
{
    MVid track = 0;
    EXPECT_EQ(mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &track), 0);
    return track;
}

TEST(MpegMovie, OpensReadOnlyAndReadsFramesInAnyOrder)
{
    TempDir dir;
    // Open groups of 9 with two B pictures per P: random access has to
    // warm the decoder up across a group boundary.
    const std::string file = Encode(dir, "size=120x72:rate=25", "-frames:v 31 -bf 2 -g 9 -qscale:v 5");
    EXPECT_EQ(mvIsMovieFile(file.c_str()), 1);
    MVid movie = 0;
    ASSERT_EQ(mvOpenFile(file.c_str(), 0, &movie), 0);
    EXPECT_EQ(mvGetFileFormat(movie), MV_FORMAT_MPEG1);
    const MVid track = ImageTrack(movie);
    EXPECT_EQ(mvGetTrackLength(track), 31);
    EXPECT_EQ(mvGetImageWidth(track), 112);
    EXPECT_EQ(mvGetImageHeight(track), 64);
    EXPECT_DOUBLE_EQ(mvGetImageRate(track), 25.0);

    const std::vector<Bytes> expected = DecodeAll(TempDir::read(file), 112, 64, 31);
    const size_t frameBytes = expected[0].size();
    Bytes frame(frameBytes);
    for (int k : {0, 1, 2, 3, 4, 30, 29, 12, 11, 10, 9, 8, 20, 21, 5}) {
        ASSERT_EQ(mvReadFrames(track, k, 1, frameBytes, frame.data()), 0) << k;
        EXPECT_TRUE(frame == expected[size_t(k)]) << "frame " << k;
    }
    // Reverse play over what was decoded, then a run of frames in one call.
    for (int k = 30; k >= 0; --k) {
        ASSERT_EQ(mvReadFrames(track, k, 1, frameBytes, frame.data()), 0) << k;
        EXPECT_TRUE(frame == expected[size_t(k)]) << "frame " << k;
    }
    Bytes run(frameBytes * 6);
    ASSERT_EQ(mvReadFrames(track, 14, 6, run.size(), run.data()), 0);
    for (size_t k = 0; k < 6; ++k)
        EXPECT_TRUE(std::equal(expected[14 + k].begin(), expected[14 + k].end(), run.begin() + long(k * frameBytes)));
    EXPECT_EQ(mvClose(movie), 0);
}

// Fast forward: at speed 2 the B pictures, at speed 4 the P pictures too,
// are left out and the last picture handed out stands in for them; back at
// speed 1 every frame reads right again, though the references went stale.
TEST(MpegMovie, FastForwardLeavesPicturesOut)
{
    TempDir dir;
    // Closed groups of 7 pictures, I B B P B B P (as ffprobe reports them).
    const std::string file = Encode(dir, "size=48x32:rate=25",
                                    "-frames:v 28 -bf 2 -g 9 -flags +cgop -sc_threshold 1000000000 -qscale:v 5");
    const std::vector<Bytes> expected = DecodeAll(TempDir::read(file), 48, 32, 28);
    const std::string types = "IBBPBBP";
    struct Row {
        double speed;
        std::string shown;  // the picture types handed out at that speed
    };
    for (const Row &row : {Row{2.0, "IP"}, Row{4.0, "I"}}) {
        MVid movie = 0;
        ASSERT_EQ(mvOpenFile(file.c_str(), 0, &movie), 0);
        const MVid track = ImageTrack(movie);
        Bytes frame(expected[0].size());
        __mvT_SetPlaySpeed(track, row.speed);
        int shown = 0;
        for (int k = 0; k < 19; ++k) {
            if (row.shown.find(types[size_t(k) % types.size()]) != std::string::npos)
                shown = k;
            ASSERT_EQ(mvReadFrames(track, k, 1, frame.size(), frame.data()), 0) << k;
            EXPECT_TRUE(frame == expected[size_t(shown)]) << "speed " << row.speed << " frame " << k;
        }
        __mvT_SetPlaySpeed(track, 1.0);
        // Going on where fast forward stopped, then stepping back.
        for (int k : {19, 20, 21, 22, 23, 24, 25, 26, 27, 17, 16, 11}) {
            ASSERT_EQ(mvReadFrames(track, k, 1, frame.size(), frame.data()), 0) << k;
            EXPECT_TRUE(frame == expected[size_t(k)]) << "speed 1 after " << row.speed << " frame " << k;
        }
        EXPECT_EQ(mvClose(movie), 0);
    }
}

// A stream spoilt through its pictures, or cut short, still opens; every
// frame reads, some with an error, and none brings the library down.
TEST(MpegMovie, DamagedStreamsPlayWhatDecodes)
{
    TempDir dir;
    const Bytes whole = TempDir::read(Encode(dir, "size=64x48:rate=30", "-frames:v 20 -bf 2 -g 6 -qscale:v 4"));
    Bytes spoilt = whole;
    spoilt[spoilt.size() * 3 / 5] ^= 0x3C;
    spoilt[spoilt.size() * 4 / 5] ^= 0x3C;
    const Bytes cut(whole.begin(), whole.begin() + long(whole.size() * 2 / 3));
    for (const Bytes *bytes : {static_cast<const Bytes *>(&spoilt), &cut}) {
        const std::string name = dir.write("damaged.m1v", *bytes);
        MVid movie = 0;
        ASSERT_EQ(mvOpenFile(name.c_str(), 0, &movie), 0);
        const MVid track = ImageTrack(movie);
        const int length = mvGetTrackLength(track);
        EXPECT_GE(length, 10);
        Bytes frame(64 * 48 * 4);
        int failed = 0, read = 0;
        for (int k = length - 1; k >= 0; k -= 3, ++read)
            failed += mvReadFrames(track, k, 1, frame.size(), frame.data()) != 0;
        EXPECT_LT(failed, read);
        if (bytes == &spoilt) {
            EXPECT_GT(failed, 0);
        }
        EXPECT_EQ(mvClose(movie), 0);
    }
}

TEST(MpegMovie, AStreamWithoutASequenceHeaderIsNotAMovie)
{
    TempDir dir;
    const std::string file = dir.write("gop.m1v", {0, 0, 1, 0xB8, 0, 8, 0, 0x40, 0, 0, 1, 0xB7});
    EXPECT_EQ(mvIsMovieFile(file.c_str()), 0);
}

}  // namespace
