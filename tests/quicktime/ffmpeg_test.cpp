// Files made by ffmpeg open here and decode to ffmpeg's own pictures and
// sound; files written here are accepted by ffprobe and decoded by ffmpeg to
// the pixels this library reads back. The files are made at test time in a
// temporary directory (ffmpeg is installed wherever the tests run).
#include <gtest/gtest.h>

#include "movie_builders.h"
#include "qt_test_support.h"
#include "temp_dir.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

using namespace qt_support;

namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 16;

bool run(const std::string &command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string capture(const std::string &command)
{
    std::string out;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

bool haveFfmpeg()
{
    return run("ffmpeg -version") && run("ffprobe -version");
}

// ffmpeg's decoded pictures as RGBA bytes, top row first.
std::vector<uint8_t> ffmpegPictures(const std::string &movie, const std::string &out)
{
    if (!run("ffmpeg -v error -y -i " + movie + " -map 0:v -f rawvideo -pix_fmt rgba " + out))
        return {};
    return TempDir::read(out);
}

// The red, green and blue levels of one pixel of a frame as this library
// hands it out: 32-bit words of either byte order or 16-bit 5-5-5 words
// (levels shifted up to 8 bits), in either row order.
struct PixelReader {
    int packing;
    bool topFirst;
    int width;
    int height;

    void rgb(const std::vector<uint8_t> &frame, int x, int y, int out[3]) const
    {
        const size_t row = size_t(topFirst ? y : height - 1 - y);
        if (packing == DM_PACKING_RGB555) {
            uint16_t v;
            std::memcpy(&v, &frame[(row * width + x) * 2], 2);
            out[0] = (v >> 10 & 31) << 3;
            out[1] = (v >> 5 & 31) << 3;
            out[2] = (v & 31) << 3;
            return;
        }
        uint32_t v;
        std::memcpy(&v, &frame[(row * width + x) * 4], 4);
        const bool redLow = packing == DM_PACKING_RGBX;
        out[0] = int(redLow ? v & 0xFF : v >> 16 & 0xFF);
        out[1] = int(v >> 8 & 0xFF);
        out[2] = int(redLow ? v >> 16 & 0xFF : v & 0xFF);
    }
};

// Compares this library's frames with ffmpeg's RGBA pictures (top row
// first); `shift` drops the low bits that a 5-bit source does not have,
// since the two expand 5-bit levels to 8 bits differently.
void expectSamePictures(MVid image, const std::vector<uint8_t> &ffmpeg, int width, int height, int shift)
{
    const int frames = mvGetTrackLength(image);
    ASSERT_EQ(ffmpeg.size(), size_t(frames) * width * height * 4);
    const PixelReader pixels{mvGetImagePacking(image),
                             mvGetImageOrientation(image) == DM_ORIENTATION_TOP_TO_BOTTOM, width, height};
    std::vector<uint8_t> frame(dmImageFrameSize(mvGetParams(image)));
    for (int f = 0; f < frames; ++f) {
        ASSERT_EQ(mvReadFrames(image, f, 1, frame.size(), frame.data()), 0) << mvGetErrorStr(mvGetErrno());
        int differences = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                int ours[3];
                pixels.rgb(frame, x, y, ours);
                const uint8_t *theirs = &ffmpeg[((size_t(f) * height + y) * width + x) * 4];
                for (int c = 0; c < 3; ++c)
                    differences += ours[c] >> shift != theirs[c] >> shift;
            }
        }
        EXPECT_EQ(differences, 0) << "frame " << f;
    }
}

struct Made {
    const char *name;
    const char *video;  // ffmpeg video options
    int shift;
    const char *audio;  // ffmpeg audio options, empty for none
    const char *flags;
    const char *compression;
};

class FfmpegFiles : public ::testing::TestWithParam<Made> {};

TEST_P(FfmpegFiles, DecodeToFfmpegsPicturesAndSound)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const Made &m = GetParam();
    TempDir dir;
    const std::string movie = dir.file("in.mov");
    std::ostringstream command;
    command << "ffmpeg -v error -y -f lavfi -i testsrc=size=" << kWidth << "x" << kHeight << ":rate=5";
    if (*m.audio)
        command << " -f lavfi -i sine=frequency=300:sample_rate=8000";
    command << " -t 0.8 " << m.video << " " << m.audio << " " << m.flags << " " << movie;
    ASSERT_TRUE(run(command.str())) << command.str();

    mvInitQuickTime();
    MVid opened = 0;
    ASSERT_EQ(mvOpenFile(movie.c_str(), 0, &opened), 0) << mvGetErrorStr(mvGetErrno());
    const MVid image = trackOf(opened, DM_MEDIUM_IMAGE);
    EXPECT_STREQ(mvGetImageCompression(image), m.compression);
    EXPECT_EQ(mvGetTrackLength(image), 4);
    EXPECT_DOUBLE_EQ(mvGetImageRate(image), 5.0);
    expectSamePictures(image, ffmpegPictures(movie, dir.file("pictures.rgba")), kWidth, kHeight, m.shift);

    const MVid audio = trackOf(opened, DM_MEDIUM_AUDIO);
    if (*m.audio) {
        ASSERT_NE(audio, 0);
        const int samples = mvGetTrackLength(audio);
        const int width = mvGetAudioWidth(audio);
        const std::string format = width == 8 ? "u8" : "s16be";
        ASSERT_TRUE(run("ffmpeg -v error -y -i " + movie + " -map 0:a -f " + format + " " + dir.file("sound")));
        const std::vector<uint8_t> theirs = TempDir::read(dir.file("sound"));
        ASSERT_EQ(theirs.size(), size_t(samples) * width / 8);
        std::vector<uint8_t> ours(theirs.size());
        ASSERT_EQ(mvReadFrames(audio, 0, samples, ours.size(), ours.data()), 0);
        if (width == 16) {
            // Native samples here, big-endian ones from ffmpeg.
            for (size_t i = 0; i + 1 < ours.size(); i += 2) {
                const uint16_t sample = uint16_t(ours[i] | ours[i + 1] << 8);
                ours[i] = uint8_t(sample >> 8);
                ours[i + 1] = uint8_t(sample);
            }
        }
        EXPECT_EQ(ours, theirs);
    } else {
        EXPECT_EQ(audio, 0);
    }
    mvClose(opened);
}

const Made kMade[] = {
    {"AppleVideo", "-c:v rpza", 3, "", "", "Apple Video"},
    {"AppleVideoFastStart", "-c:v rpza", 3, "", "-movflags faststart", "Apple Video"},
    {"Animation24", "-c:v qtrle -pix_fmt rgb24", 0, "", "", "Apple Animation"},
    {"Animation24Twos", "-c:v qtrle -pix_fmt rgb24", 0, "-c:a pcm_s16be", "", "Apple Animation"},
    {"Animation16", "-c:v qtrle -pix_fmt rgb555be", 3, "", "", "Apple Animation"},
    {"Animation32Raw", "-c:v qtrle -pix_fmt argb", 0, "-c:a pcm_u8", "-movflags faststart", "Apple Animation"},
    {"AnimationGrey", "-c:v qtrle -pix_fmt gray", 0, "", "", "Apple Animation"},
    {"Raw16", "-c:v rawvideo -pix_fmt rgb555be", 3, "", "", "Uncompressed Video"},
    {"Raw32Twos", "-c:v rawvideo -pix_fmt argb", 0, "-c:a pcm_s16be", "-movflags faststart", "Uncompressed Video"},
};

INSTANTIATE_TEST_SUITE_P(Codings, FfmpegFiles, ::testing::ValuesIn(kMade),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- files written here, read by ffmpeg ----------------------------------------

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
};

class WrittenFiles : public ::testing::TestWithParam<Written> {};

TEST_P(WrittenFiles, FfprobeAndFfmpegAgree)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const Written &w = GetParam();
    TempDir dir;
    const std::string path = dir.file("out.mov");
    mvInitQuickTime();
    MVid movie = 0;
    auto params = testing_movie::movieParams(MV_FORMAT_QUICKTIME);
    ASSERT_EQ(mvCreateFile(path.c_str(), params.get(), nullptr, &movie), 0);
    auto imageParams = testing_movie::imageParams(kWidth, kHeight, w.packing, w.compression, 10.0);
    // QuickTime stores raw pictures top row first.
    if (w.packing == DM_PACKING_XBGR)
        dmParamsSetEnum(imageParams.get(), DM_IMAGE_ORIENTATION, DM_ORIENTATION_TOP_TO_BOTTOM);
    MVid image = 0;
    ASSERT_EQ(mvAddTrack(movie, DM_MEDIUM_IMAGE, imageParams.get(), nullptr, &image), 0)
        << mvGetErrorStr(mvGetErrno());
    // Frames go in through the codec as 32-bit words; the raw layouts are
    // stored as they are given, so they are given in their own packing.
    for (int f = 0; f < 6; ++f) {
        std::vector<uint32_t> picture = testPicture(f);
        if (w.packing == DM_PACKING_XBGR)
            for (uint32_t &p : picture)
                p = (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
        ASSERT_EQ(mvInsertFrames(image, f, 1, picture.size() * 4, picture.data()), 0) << mvGetErrorStr(mvGetErrno());
    }
    if (w.sound) {
        auto audioParams = testing_movie::audioParams(16, 1, 8000.0, AUDIO_FORMAT_TWOS);
        MVid audio = 0;
        ASSERT_EQ(mvAddTrack(movie, DM_MEDIUM_AUDIO, audioParams.get(), nullptr, &audio), 0);
        std::vector<int16_t> samples(4800);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = int16_t(i * 37);
        ASSERT_EQ(mvInsertFrames(audio, 0, 4800, samples.size() * 2, samples.data()), 0);
    }
    // An edit before the write: the second frame goes, a copy of the first
    // is appended.
    ASSERT_EQ(mvDeleteFrames(image, 1, 1), 0);
    std::vector<uint32_t> again(size_t(kWidth) * kHeight);
    ASSERT_EQ(mvReadFrames(image, 0, 1, again.size() * 4, again.data()), 0);
    ASSERT_EQ(mvInsertFrames(image, 5, 1, again.size() * 4, again.data()), 0);
    ASSERT_EQ(mvClose(movie), 0) << mvGetErrorStr(mvGetErrno());

    const std::string probe = capture("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                      "stream=codec_name,width,height,nb_read_frames,r_frame_rate -of "
                                      "default=noprint_wrappers=1 " + path);
    EXPECT_NE(probe.find(std::string("codec_name=") + w.codecName), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=32"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=16"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=6"), std::string::npos) << probe;
    // With sound the rate is set by the sound's length: 6 pictures over 0.6 s.
    EXPECT_NE(probe.find("r_frame_rate=10/1"), std::string::npos) << probe;

    MVid reopened = 0;
    ASSERT_EQ(mvOpenFile(path.c_str(), 0, &reopened), 0) << mvGetErrorStr(mvGetErrno());
    const MVid readImage = trackOf(reopened, DM_MEDIUM_IMAGE);
    EXPECT_STREQ(mvGetImageCompression(readImage), w.compression);
    EXPECT_DOUBLE_EQ(mvGetImageRate(readImage), 10.0);
    expectSamePictures(readImage, ffmpegPictures(path, dir.file("pictures.rgba")), kWidth, kHeight, w.shift);
    if (w.sound) {
        ASSERT_TRUE(run("ffmpeg -v error -y -i " + path + " -map 0:a -f s16be " + dir.file("sound")));
        const std::vector<uint8_t> theirs = TempDir::read(dir.file("sound"));
        ASSERT_EQ(theirs.size(), 9600u);
        for (size_t i = 0; i < 4800; i += 7)
            EXPECT_EQ(int16_t(theirs[2 * i] << 8 | theirs[2 * i + 1]), int16_t(i * 37)) << i;
    }
    mvClose(reopened);
}

const Written kWritten[] = {
    {"AppleVideo", "Apple Video", DM_PACKING_RGBX, false, "rpza", 3},
    {"AppleVideoTwos", "Apple Video", DM_PACKING_RGBX, true, "rpza", 3},
    {"Animation", "Apple Animation", DM_PACKING_RGBX, false, "qtrle", 0},
    {"AnimationTwos", "Apple Animation", DM_PACKING_RGBX, true, "qtrle", 0},
    {"Raw32", "Uncompressed Video", DM_PACKING_XBGR, false, "rawvideo", 0},
    {"Raw32Twos", "Uncompressed Video", DM_PACKING_XBGR, true, "rawvideo", 0},
};

INSTANTIATE_TEST_SUITE_P(Compressions, WrittenFiles, ::testing::ValuesIn(kWritten),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- Photo-JPEG, both ways ---------------------------------------------------

// Peak signal-to-noise ratio of one of this library's frames against
// ffmpeg's RGBA picture (top row first), over red, green and blue.
double framePsnr(const PixelReader &pixels, const std::vector<uint8_t> &frame, const uint8_t *theirs)
{
    double sum = 0;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            int ours[3];
            pixels.rgb(frame, x, y, ours);
            for (int c = 0; c < 3; ++c) {
                const double d = ours[c] - theirs[(size_t(y) * pixels.width + x) * 4 + c];
                sum += d * d;
            }
        }
    const double n = 3.0 * pixels.width * pixels.height;
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / sum);
}

// Every frame within 33 dB of ffmpeg's picture, 38 dB on average.
void expectNearPictures(MVid image, const std::vector<uint8_t> &ffmpeg, int width, int height)
{
    const int frames = mvGetTrackLength(image);
    ASSERT_GT(frames, 0);
    ASSERT_EQ(ffmpeg.size(), size_t(frames) * width * height * 4);
    const PixelReader pixels{mvGetImagePacking(image),
                             mvGetImageOrientation(image) == DM_ORIENTATION_TOP_TO_BOTTOM, width, height};
    std::vector<uint8_t> frame(dmImageFrameSize(mvGetParams(image)));
    double total = 0;
    for (int f = 0; f < frames; ++f) {
        ASSERT_EQ(mvReadFrames(image, f, 1, frame.size(), frame.data()), 0) << mvGetErrorStr(mvGetErrno());
        const double psnr = framePsnr(pixels, frame, &ffmpeg[size_t(f) * width * height * 4]);
        EXPECT_GE(psnr, 33.0) << "frame " << f;
        total += psnr;
    }
    EXPECT_GE(total / frames, 38.0);
}

struct JpegMade {
    const char *name;
    int width, height;
    const char *pixelFormat;
    int quality;  // ffmpeg's -q:v, 2 best
};

class FfmpegJpeg : public ::testing::TestWithParam<JpegMade> {};

TEST_P(FfmpegJpeg, DecodesToFfmpegsPictures)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const JpegMade &m = GetParam();
    TempDir dir;
    const std::string movie = dir.file("in.mov");
    std::ostringstream command;
    command << "ffmpeg -v error -y -f lavfi -i testsrc2=size=" << m.width << "x" << m.height
            << ":rate=5 -t 0.8 -c:v mjpeg -pix_fmt " << m.pixelFormat << " -q:v " << m.quality << " " << movie;
    ASSERT_TRUE(run(command.str())) << command.str();
    mvInitQuickTime();
    MVid opened = 0;
    ASSERT_EQ(mvOpenFile(movie.c_str(), 0, &opened), 0) << mvGetErrorStr(mvGetErrno());
    const MVid image = trackOf(opened, DM_MEDIUM_IMAGE);
    EXPECT_STREQ(mvGetImageCompression(image), "JPEG");
    EXPECT_EQ(mvGetTrackLength(image), 4);
    // ffmpeg crops the subsampled layouts to even sizes.
    expectNearPictures(image, ffmpegPictures(movie, dir.file("pictures.rgba")), mvGetImageWidth(image),
                       mvGetImageHeight(image));
    mvClose(opened);
}

const JpegMade kJpegMade[] = {
    {"Best420", 64, 48, "yuvj420p", 2},
    {"Middle422", 64, 48, "yuvj422p", 8},
    {"OddSize444", 35, 19, "yuvj444p", 4},
    {"CroppedTo420", 33, 21, "yuvj420p", 3},
};

INSTANTIATE_TEST_SUITE_P(Codings, FfmpegJpeg, ::testing::ValuesIn(kJpegMade),
                         [](const auto &info) { return std::string(info.param.name); });

// A JPEG movie written here is Photo-JPEG to ffprobe, and ffmpeg decodes it
// to the pictures this library reads back.
TEST(WrittenJpeg, FfprobeAndFfmpegAgree)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const std::string path = dir.file("out.mov");
    mvInitQuickTime();
    MVid movie = 0;
    auto params = testing_movie::movieParams(MV_FORMAT_QUICKTIME);
    ASSERT_EQ(mvCreateFile(path.c_str(), params.get(), nullptr, &movie), 0);
    auto imageParams = testing_movie::imageParams(kWidth, kHeight, DM_PACKING_RGBX, "JPEG", 10.0);
    MVid image = 0;
    ASSERT_EQ(mvAddTrack(movie, DM_MEDIUM_IMAGE, imageParams.get(), nullptr, &image), 0)
        << mvGetErrorStr(mvGetErrno());
    for (int f = 0; f < 6; ++f) {
        std::vector<uint32_t> picture = testPicture(f);
        ASSERT_EQ(mvInsertFrames(image, f, 1, picture.size() * 4, picture.data()), 0) << mvGetErrorStr(mvGetErrno());
    }
    ASSERT_EQ(mvClose(movie), 0) << mvGetErrorStr(mvGetErrno());

    const std::string probe = capture("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                      "stream=codec_name,width,height,nb_read_frames,r_frame_rate -of "
                                      "default=noprint_wrappers=1 " + path);
    EXPECT_NE(probe.find("codec_name=mjpeg"), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=32"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=16"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=6"), std::string::npos) << probe;
    EXPECT_NE(probe.find("r_frame_rate=10/1"), std::string::npos) << probe;

    MVid reopened = 0;
    ASSERT_EQ(mvOpenFile(path.c_str(), 0, &reopened), 0) << mvGetErrorStr(mvGetErrno());
    const MVid readImage = trackOf(reopened, DM_MEDIUM_IMAGE);
    EXPECT_STREQ(mvGetImageCompression(readImage), "JPEG");
    expectNearPictures(readImage, ffmpegPictures(path, dir.file("pictures.rgba")), kWidth, kHeight);
    mvClose(reopened);
}

}  // namespace
