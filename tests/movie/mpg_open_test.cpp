// System streams (".mpg") made by ffmpeg open as movies: the pictures of the
// video stream as its ".m1v" copy gives them, and the first audio stream as
// a 16-bit track that starts with the first picture and matches ffmpeg's
// own decode; damaged, cut and one-sided files open or are refused cleanly.
#include <gtest/gtest.h>

#include <cinelark/cl.h>
#include <cinelark/movie.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "error.h"
#include "temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Quiet(CL_Handle, int, const char *, ...) {}

// A second of 160x120 pictures at 25 frames a second with a beeping tone.
std::string Make(const TempDir &dir, const std::string &name, const std::string &streams)
{
    const std::string file = dir.file(name);
    std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=f=300:beep_factor=3:r=48000 "
        "-f lavfi -i sine=f=500:r=32000 -t 1 -f mpeg -c:v mpeg1video " + streams + " " + file).c_str());
    return file;
}

// The frames of a track, read one after the other.
std::vector<Bytes> Pictures(MVid movie)
{
    MVid track = 0;
    std::vector<Bytes> pictures;
    if (mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &track) != 0)
        return pictures;
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
    clSetErrorHandler(Quiet);
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
        EXPECT_EQ(mvGetAudioChannels(audio), c.channels);
        EXPECT_EQ(mvGetAudioRate(audio), c.rate);
        EXPECT_EQ(mvGetAudioWidth(audio), 16);
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
    clSetErrorHandler(Quiet);
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
