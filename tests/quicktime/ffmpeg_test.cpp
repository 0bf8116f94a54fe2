// Files made by ffmpeg open here and decode to ffmpeg's own pictures and
// sound; files written here are accepted by ffprobe and decoded by ffmpeg to
// the pixels this library reads back. The files are made at test time in a
// temporary directory (ffmpeg is installed wherever the tests run).
#include <gtest/gtest.h>

#include "qt_test_support.h"

#include <cmath>
#include <cstdio>
#include <sstream>

using namespace qt_support;

namespace {

// Runs a command; true when it succeeds. Its output goes to `out` if given.
bool run(const std::string &command, std::string *out = nullptr)
{
    FILE *pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return false;
    char buffer[256];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        if (out)
            out->append(buffer, n);
    return pclose(pipe) == 0;
}

// With minPsnr 0 the frames match ffmpeg's but for the low `shift` bits (the
// two expand 5-bit sources differently); otherwise each is within minPsnr dB.
void expectSamePictures(MVid image, const std::vector<uint8_t> &ffmpeg, int shift, double minPsnr = 0)
{
    const int frames = mvGetTrackLength(image);
    const size_t size = dmImageFrameSize(mvGetParams(image));
    const bool words555 = mvGetImagePacking(image) == DM_PACKING_RGB555;
    ASSERT_EQ(ffmpeg.size(), size_t(frames) * size);
    std::vector<uint8_t> frame(size);
    double total = 0;
    for (int f = 0; f < frames; ++f) {
        ASSERT_EQ(mvReadFrames(image, f, 1, frame.size(), frame.data()), 0) << mvGetErrorStr(mvGetErrno());
        const uint8_t *theirs = &ffmpeg[size_t(f) * size];
        int differences = 0;
        double squares = 0;
        for (size_t i = 0; i < size; ++i) {
            if (words555) {
                differences += (frame[i] ^ theirs[i]) & (i % 2 ? 0x7F : 0xFF);
            } else if (i % 4 != 3) {
                differences += frame[i] >> shift != theirs[i] >> shift;
                squares += double(frame[i] - theirs[i]) * (frame[i] - theirs[i]);
            }
        }
        const double psnr = squares == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(size / 4 * 3) / squares);
        total += psnr;
        if (minPsnr == 0)
            EXPECT_EQ(differences, 0) << "frame " << f;
        else
            EXPECT_GE(psnr, minPsnr) << "frame " << f;
    }
    EXPECT_GE(total / frames, minPsnr + 5);
}

// Checks a movie's image, and sound if any, against ffmpeg's decode in the
// track's own layout and row order; returns the sound as read here.
std::vector<uint8_t> expectFfmpegAgrees(const TempDir &dir, const std::string &movie,
                                        const char *compression, int frames, double rate, int shift,
                                        double minPsnr)
{
    const OpenedFile opened(movie);
    EXPECT_EQ(opened.error, 0) << mvGetErrorStr(opened.error);
    const MVid image = opened.image(), audio = opened.audio();
    EXPECT_STREQ(mvGetImageCompression(image), compression);
    EXPECT_EQ(mvGetTrackLength(image), frames);
    EXPECT_DOUBLE_EQ(mvGetImageRate(image), rate);
    const int packing = mvGetImagePacking(image);
    const std::string format = packing == DM_PACKING_RGB555 ? "rgb555le" : packing == DM_PACKING_RGBX ? "rgb0" : "bgr0";
    const std::string flip = mvGetImageOrientation(image) == DM_ORIENTATION_TOP_TO_BOTTOM ? "" : " -vf vflip";
    EXPECT_TRUE(run("ffmpeg -v error -y -i " + movie + " -map 0:v" + flip + " -f rawvideo -pix_fmt " + format +
                    " " + dir.file("pictures")));
    expectSamePictures(image, TempDir::read(dir.file("pictures")), shift, minPsnr);
    if (audio == 0)
        return {};
    const int samples = mvGetTrackLength(audio);
    EXPECT_TRUE(run("ffmpeg -v error -y -i " + movie + " -map 0:a -f " +
                    (mvGetAudioWidth(audio) == 8 ? "u8 " : "s16le ") + dir.file("sound")));
    std::vector<uint8_t> ours(size_t(samples) * size_t(dmAudioFrameSize(mvGetParams(audio))));
    EXPECT_EQ(mvReadFrames(audio, 0, samples, ours.size(), ours.data()), 0);
    EXPECT_EQ(ours, TempDir::read(dir.file("sound")));
    return ours;
}

struct Made {
    const char *name;
    const char *source;  // ffmpeg's test pattern and size
    const char *video;   // ffmpeg video options
    int shift;
    double minPsnr;      // 0: the same pictures
    const char *audio;   // ffmpeg audio (and muxer) options, empty for no sound
    const char *compression;
};

class FfmpegFiles : public ::testing::TestWithParam<Made> {};

TEST_P(FfmpegFiles, DecodeToFfmpegsPicturesAndSound)
{
    const Made &m = GetParam();
    TempDir dir;
    const std::string movie = dir.file("in.mov");
    std::ostringstream command;
    command << "ffmpeg -v error -y -f lavfi -i " << m.source << ":rate=5";
    if (*m.audio)
        command << " -f lavfi -i sine=frequency=300:sample_rate=8000";
    command << " -t 0.8 " << m.video << " " << m.audio << " " << movie;
    ASSERT_TRUE(run(command.str())) << command.str();

    // ffmpeg crops the subsampled JPEG layouts to even sizes, as this
    // library does.
    const std::vector<uint8_t> sound = expectFfmpegAgrees(dir, movie, m.compression, 4, 5.0, m.shift, m.minPsnr);
    EXPECT_EQ(sound.empty(), !*m.audio);
}

constexpr const char *kPattern = "testsrc=size=32x16";
const Made kMade[] = {
    {"AppleVideo", kPattern, "-c:v rpza", 3, 0, "", "Apple Video"},
    {"Animation24Twos", kPattern, "-c:v qtrle -pix_fmt rgb24", 0, 0, "-c:a pcm_s16be", "Apple Animation"},
    {"Animation16", kPattern, "-c:v qtrle -pix_fmt rgb555be", 0, 0, "", "Apple Animation"},
    {"Animation32Raw", kPattern, "-c:v qtrle -pix_fmt argb", 0, 0, "-c:a pcm_u8 -movflags faststart",
     "Apple Animation"},
    {"AnimationGrey", kPattern, "-c:v qtrle -pix_fmt gray", 0, 0, "", "Apple Animation"},
    {"Raw16", kPattern, "-c:v rawvideo -pix_fmt rgb555be", 0, 0, "", "Uncompressed Video"},
    {"Raw32Twos", kPattern, "-c:v rawvideo -pix_fmt argb", 0, 0, "-c:a pcm_s16be -movflags faststart",
     "Uncompressed Video"},
    // JPEG: every frame within 33 dB of ffmpeg's.
    {"JpegMiddle422", "testsrc2=size=64x48", "-c:v mjpeg -pix_fmt yuvj422p -q:v 8", 0, 33, "", "JPEG"},
    {"JpegOddSize444", "testsrc2=size=35x19", "-c:v mjpeg -pix_fmt yuvj444p -q:v 4", 0, 33, "", "JPEG"},
    {"JpegCroppedTo420", "testsrc2=size=33x21", "-c:v mjpeg -pix_fmt yuvj420p -q:v 3", 0, 33, "", "JPEG"},
};

INSTANTIATE_TEST_SUITE_P(Codings, FfmpegFiles, ::testing::ValuesIn(kMade),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- files written here, read by ffmpeg ----------------------------------------

constexpr int kWidth = 32;
constexpr int kHeight = 16;

// A picture with a different colour at every pixel, moving with the frame.
std::vector<uint32_t> testPicture(int frame)
{
    std::vector<uint32_t> p(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            p[size_t(y) * kWidth + x] = uint32_t((x * 8 + frame * 16) & 0xFF) | uint32_t((y * 16) & 0xFF) << 8 |
                                        uint32_t((x * 4 + y * 8) & 0xFF) << 16;
    return p;
}

struct Written {
    const char *name;
    const char *compression;
    int packing;
    bool sound;
    const char *codecName;
    int shift;
    double minPsnr;
};

class WrittenFiles : public ::testing::TestWithParam<Written> {};

TEST_P(WrittenFiles, FfprobeAndFfmpegAgree)
{
    const Written &w = GetParam();
    NewMovie m;
    // QuickTime stores raw pictures top row first.
    const MVid image = m.addImage(w.compression, w.packing, 10.0, kWidth, kHeight,
                                  w.packing == DM_PACKING_XBGR ? DM_ORIENTATION_TOP_TO_BOTTOM
                                                               : DM_ORIENTATION_BOTTOM_TO_TOP);
    ASSERT_NE(image, 0) << mvGetErrorStr(mvGetErrno());
    // Frames go in through the codec as 32-bit words; the raw layouts are
    // stored as they are given, so they are given in their own packing.
    for (int f = 0; f < 6; ++f) {
        std::vector<uint32_t> picture = testPicture(f);
        if (w.packing == DM_PACKING_XBGR)
            for (uint32_t &p : picture)
                p = (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
        ASSERT_EQ(mvInsertFrames(image, f, 1, picture.size() * 4, picture.data()), 0) << mvGetErrorStr(mvGetErrno());
    }
    // 0.6 s of stereo sound at 8000 frames per second.
    std::vector<int16_t> samples(2 * 4800);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(i * 37);
    if (w.sound) {
        const MVid audio = m.addAudio(8000.0, 16, 2, AUDIO_FORMAT_TWOS);
        ASSERT_NE(audio, 0);
        ASSERT_EQ(mvInsertFrames(audio, 0, 4800, samples.size() * 2, samples.data()), 0);
    }
    ASSERT_EQ(mvClose(m.movie), 0) << mvGetErrorStr(mvGetErrno());

    std::string probe;
    ASSERT_TRUE(run("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                    "stream=codec_name,width,height,nb_read_frames,r_frame_rate -of "
                    "default=noprint_wrappers=1 " + m.path,
                    &probe));
    // With sound the rate is set by the sound's length: 6 pictures over 0.6 s.
    for (const std::string &field : {std::string("codec_name=") + w.codecName, std::string("width=32"),
                                     std::string("height=16"), std::string("nb_read_frames=6"),
                                     std::string("r_frame_rate=10/1")})
        EXPECT_NE(probe.find(field), std::string::npos) << field << " in " << probe;

    if (w.sound) {
        // The sound is the second track, of constant 4-byte frames (no size
        // table) at its own time scale; the movie's is the picture rate.
        const std::vector<uint8_t> b = TempDir::read(m.path);
        const size_t track = findAtom(b, "trak", findAtom(b, "trak") + 8);
        ASSERT_NE(track, std::string::npos);
        const size_t tkhd = findAtom(b, "tkhd", track), stsz = findAtom(b, "stsz", track);
        // Track id and duration; size table length, constant size and count;
        // time scale; the movie's next track id.
        for (const auto &[at, value] :
             {std::pair{tkhd + 20, 1u}, {tkhd + 28, 6u}, {stsz, 20u}, {stsz + 12, 4u}, {stsz + 16, 4800u},
              {findAtom(b, "mdhd", track) + 20, 8000u}, {findAtom(b, "mvhd") + 104, 2u}})
            EXPECT_EQ(get32(b, at), value) << at;
    }
    const std::vector<uint8_t> sound =
        expectFfmpegAgrees(m.dir, m.path, w.compression, 6, 10.0, w.shift, w.minPsnr);
    const auto *given = reinterpret_cast<const uint8_t *>(samples.data());
    EXPECT_EQ(sound, w.sound ? std::vector<uint8_t>(given, given + samples.size() * 2) : std::vector<uint8_t>());
}

const Written kWritten[] = {
    {"AppleVideo", "Apple Video", DM_PACKING_RGBX, false, "rpza", 3, 0},
    {"Animation", "Apple Animation", DM_PACKING_RGBX, false, "qtrle", 0, 0},
    {"Raw32Twos", "Uncompressed Video", DM_PACKING_XBGR, true, "rawvideo", 0, 0},
    {"Jpeg", "JPEG", DM_PACKING_RGBX, false, "mjpeg", 0, 33},
};

INSTANTIATE_TEST_SUITE_P(Compressions, WrittenFiles, ::testing::ValuesIn(kWritten),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
