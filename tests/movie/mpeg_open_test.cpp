// MPEG-1 video and system streams made by ffmpeg at test time open as
// read-only movies whose pictures and sound match the decoders' own.
#include <gtest/gtest.h>

#include <cinelark/cl.h>
#include <cinelark/movie.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "quicktime/qt_test_support.h"

namespace {

using qt_support::trackOf;
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
    const MVid track = trackOf(movie, DM_MEDIUM_IMAGE);
    EXPECT_EQ(std::tuple(mvGetTrackLength(track), mvGetImageWidth(track), mvGetImageHeight(track),
                         mvGetImageRate(track)),
              std::tuple(31, 112, 64, 25.0));

    const std::vector<Bytes> expected = DecodeAll(TempDir::read(file), 112, 64, 31);
    const size_t frameBytes = expected[0].size();
    Bytes frame(frameBytes);
    // Jumps both ways, then reverse play over what was decoded, then a run of
    // frames in one call.
    std::vector<int> order = {0, 1, 2, 3, 4, 30, 29, 12, 11, 10, 9, 8, 20, 21, 5};
    for (int k = 30; k >= 0; --k)
        order.push_back(k);
    for (int k : order) {
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
    // The speeds and the picture types handed out at each.
    for (const auto &row : {std::pair{2.0, "IP"}, {4.0, "I"}}) {
        MVid movie = 0;
        ASSERT_EQ(mvOpenFile(file.c_str(), 0, &movie), 0);
        const MVid track = trackOf(movie, DM_MEDIUM_IMAGE);
        Bytes frame(expected[0].size());
        __mvT_SetPlaySpeed(track, row.first);
        int shown = 0;
        for (int k = 0; k < 19; ++k) {
            if (std::string(row.second).find(types[size_t(k) % types.size()]) != std::string::npos)
                shown = k;
            ASSERT_EQ(mvReadFrames(track, k, 1, frame.size(), frame.data()), 0) << k;
            EXPECT_TRUE(frame == expected[size_t(shown)]) << "speed " << row.first << " frame " << k;
        }
        __mvT_SetPlaySpeed(track, 1.0);
        // Going on where fast forward stopped, then stepping back.
        for (int k : {19, 20, 21, 22, 23, 24, 25, 26, 27, 17, 16, 11}) {
            ASSERT_EQ(mvReadFrames(track, k, 1, frame.size(), frame.data()), 0) << k;
            EXPECT_TRUE(frame == expected[size_t(k)]) << "speed 1 after " << row.first << " frame " << k;
        }
        EXPECT_EQ(mvClose(movie), 0);
    }
}

// A second of 160x120 pictures at 25 frames a second with a beeping tone.
std::string Make(const TempDir &dir, const std::string &name, const std::string &streams)
{
    const std::string file = dir.file(name);
    std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=f=300:beep_factor=3:r=48000 "
        "-f lavfi -i sine=f=500:r=32000 -t 1 -f mpeg -c:v mpeg1video " + streams + " " + file).c_str());
    clSetErrorHandler(Quiet);
    return file;
}

// The frames of a track, read one after the other.
std::vector<Bytes> Pictures(MVid movie)
{
    const MVid track = trackOf(movie, DM_MEDIUM_IMAGE);
    std::vector<Bytes> pictures;
    Bytes frame(size_t(mvGetImageWidth(track)) * size_t(mvGetImageHeight(track)) * 4);
    for (int k = 0; k < mvGetTrackLength(track); ++k)
        if (mvReadFrames(track, k, 1, frame.size(), frame.data()) == 0)
            pictures.push_back(frame);
    return pictures;
}

TEST(MpgSound, PicturesAndSoundMatchFfmpeg)
{
    const struct {
        const char *codec;
        int channels, rate;
        const char *more;  // further ffmpeg options
    } cases[] = {{"mp2", 2, 44100, ""}, {"mp2", 1, 32000, ""}, {"libmp3lame", 1, 44100, ""},
                 {"libmp3lame", 2, 48000, ""},
                 // sound that starts 0.3 s after the first picture
                 {"mp2", 2, 48000, "-af asetpts=PTS+0.3/TB"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.rate) + " " + c.more);
        TempDir dir;
        const std::string file = Make(dir, "clip.mpg", "-map 0:v -map 1:a -c:a " + std::string(c.codec) + " -ac " +
                                                           std::to_string(c.channels) + " -ar " +
                                                           std::to_string(c.rate) + " " + c.more);
        ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + file + " -map 0:v -c copy -f mpeg1video " +
                               dir.file("clip.m1v") + " -map 0:a -f s16le " + dir.file("clip.raw") +
                               " && ffprobe -v error -show_entries stream=start_time -of csv=p=0 " + file + " > " +
                               dir.file("starts")).c_str()),
                  0);
        double videoStart = 0, audioStart = 0;
        std::ifstream(dir.file("starts")) >> videoStart >> audioStart;

        MVid movie = 0, reference = 0, audio = 0;
        ASSERT_EQ(mvOpenFile(file.c_str(), 0, &movie), 0) << mvGetErrorStr(mvGetErrno());
        ASSERT_EQ(mvOpenFile(dir.file("clip.m1v").c_str(), 0, &reference), 0);
        EXPECT_EQ(mvGetFileFormat(movie), MV_FORMAT_MPEG1);
        const std::vector<Bytes> pictures = Pictures(movie);
        EXPECT_EQ(pictures.size(), 25u);
        EXPECT_TRUE(pictures == Pictures(reference));

        ASSERT_EQ(mvFindTrackByMedium(movie, DM_MEDIUM_AUDIO, &audio), 0);
        EXPECT_EQ(std::tuple(mvGetAudioChannels(audio), mvGetAudioRate(audio), mvGetAudioWidth(audio)),
                  std::tuple(c.channels, double(c.rate), 16));
        std::vector<int16_t> ours(size_t(mvGetTrackLength(audio)) * size_t(c.channels));
        ASSERT_EQ(mvReadFrames(audio, 0, mvGetTrackLength(audio), ours.size() * 2, ours.data()), 0);
        mvClose(movie);
        mvClose(reference);

        // ffmpeg's decode starts at the sound's own time stamp, the track at
        // the first picture's.
        const Bytes raw = TempDir::read(dir.file("clip.raw"));
        const long shift = std::lround((audioStart - videoStart) * c.rate);
        const long theirs = long(raw.size() / 2) / c.channels;
        EXPECT_NEAR(long(ours.size()) / c.channels - shift, theirs, c.rate / 1000);
        double signal = 0, noise = 0;
        for (long i = 0; i < theirs * c.channels; ++i) {
            const long j = i + shift * c.channels;
            if (j < 0 || j >= long(ours.size()))
                continue;
            const double s = int16_t(raw[size_t(2 * i)] | raw[size_t(2 * i + 1)] << 8);
            signal += s * s;
            noise += (s - ours[size_t(j)]) * (s - ours[size_t(j)]);
        }
        ASSERT_GT(signal, 0);
        EXPECT_GE(10 * std::log10(signal / std::max(noise, 1.0)), 60.0);
    }
}

const char *const kBoth = "-map 0:v -map 1:a -c:a mp2";

void CutHead(Bytes &b) { b.erase(b.begin(), b.begin() + 3001); }
void CutTail(Bytes &b) { b.resize(b.size() * 3 / 5 + 7); }
// Pseudo-random bytes over 3000 bytes of the middle, or over the whole file.
void Scramble(Bytes &b, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        b[i] = uint8_t(i * 2654435761u >> 13);
}
void Spoil(Bytes &b) { Scramble(b, b.size() * 2 / 5, b.size() * 2 / 5 + 3000); }
void Noise(Bytes &b) { Scramble(b, 0, b.size()); }

// Files cut, spoilt or holding one kind of stream only open or are refused.
TEST(MpgFile, OpensOrIsRefused)
{
    const struct {
        const char *name;
        const char *streams;       // ffmpeg's mapping and codecs
        void (*damage)(Bytes &);   // null: as made
        int error;                 // 0: opens
        int fewestPictures, mostPictures;
        // Sound frames at 48 kHz: the track starts with the first picture, so
        // a file cut before a sequence header loses the sound up to the next.
        int fewestSamples, mostSamples;
        const char *otherAudio;    // the movie's list of streams not played
    } cases[] = {
        {"head cut mid packet", kBoth, CutHead, 0, 10, 24, 20000, 40000, nullptr},
        {"tail cut mid packet", kBoth, CutTail, 0, 8, 25, 10000, 30000, nullptr},
        {"spoilt middle", kBoth, Spoil, 0, 10, 25, 30000, 47000, nullptr},
        {"video only", "-map 0:v", nullptr, 0, 25, 25, 0, 0, nullptr},
        {"sound only", "-map 1:a -c:a mp2", nullptr, MV_ERR_NO_TRACK, 0, 0, 0, 0, nullptr},
        {"no stream at all", kBoth, Noise, MV_ERR_NOT_MOVIE, 0, 0, 0, 0, nullptr},
        {"two sound streams", "-map 0:v -map 1:a -map 2:a -c:a mp2", nullptr, 0, 25, 25, 47000, 48000,
         "0xC1 (layer II, 32000 Hz, mono)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Bytes bytes = TempDir::read(Make(dir, "made.mpg", c.streams));
        ASSERT_GT(bytes.size(), 10000u);
        if (c.damage)
            c.damage(bytes);
        const std::string file = dir.write("clip.mpg", bytes);
        MVid movie = 0, audio = 0;
        if (c.error != 0) {
            EXPECT_EQ(mvOpenFile(file.c_str(), 0, &movie), -1);
            EXPECT_EQ(mvGetErrno(), c.error);
            continue;
        }
        ASSERT_EQ(mvOpenFile(file.c_str(), 0, &movie), 0) << mvGetErrorStr(mvGetErrno());
        const int pictures = int(Pictures(movie).size());
        EXPECT_GE(pictures, c.fewestPictures);
        EXPECT_LE(pictures, c.mostPictures);
        EXPECT_EQ(mvFindTrackByMedium(movie, DM_MEDIUM_AUDIO, &audio) == 0, c.mostSamples > 0);
        EXPECT_STREQ(dmParamsGetString(mvGetParams(movie), "OTHER_AUDIO_STREAMS"), c.otherAudio);
        if (c.mostSamples > 0) {
            const int length = mvGetTrackLength(audio);
            std::vector<int16_t> samples(size_t(length) * 2);
            EXPECT_EQ(mvReadFrames(audio, 0, length, samples.size() * 2, samples.data()), 0);
            EXPECT_GE(length, c.fewestSamples);
            EXPECT_LE(length, c.mostSamples);
        }
        EXPECT_EQ(mvClose(movie), 0);
    }
}

}  // namespace
