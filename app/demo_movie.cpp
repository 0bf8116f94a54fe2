// Makes the demo movie: a native movie file with a 160 x 120 picture at 15
// frames per second, compressed with the RLE24 codec, and a 16-bit mono
// sound track at 22050 Hz. The picture is a colour wash with a white square
// that crosses it and a frame counter bar along the top; the sound is a tone
// that rises a little each second, so that a listener hears sound and picture
// keep together.
//
// usage: cinelark-demo-movie OUT [FRAMES]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>
#include <cinelark/playback.h>

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr double kRate = 15.0;
constexpr double kAudioRate = 22050.0;

struct Params {
    Params() { dmParamsCreate(&list); }
    ~Params() { dmParamsDestroy(list); }
    DMparams *list = nullptr;
};

uint32_t rgb(int r, int g, int b)
{
    return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b) << 16;
}

// One picture, bottom row first (the track's orientation).
void drawFrame(int frame, int frames, std::vector<uint32_t> &pixels)
{
    const int square = 32;
    const int sx = (kWidth - square) * frame / (frames > 1 ? frames - 1 : 1);
    const int sy = (kHeight - square) / 2;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint32_t p = rgb(x * 255 / kWidth, y * 255 / kHeight, (frame * 6) & 255);
            if (x >= sx && x < sx + square && y >= sy && y < sy + square)
                p = rgb(255, 255, 255);
            // The top eight rows show how far the movie has come.
            if (y >= kHeight - 8 && x < kWidth * (frame + 1) / frames)
                p = rgb(0, 0, 0);
            pixels[static_cast<size_t>(y) * kWidth + x] = p;
        }
    }
}

int fail(const char *what)
{
    std::fprintf(stderr, "cinelark-demo-movie: %s: %s\n", what, mvGetErrorStr(mvGetErrno()));
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUT [FRAMES]\n", argv[0]);
        return 2;
    }
    int frames = argc == 3 ? std::atoi(argv[2]) : 45;
    if (frames < 1 || frames > 10000) {
        std::fprintf(stderr, "cinelark-demo-movie: FRAMES must be 1 to 10000\n");
        return 2;
    }
    const char *compression = std::getenv("CINELARK_DEMO_COMPRESSION");
    if (!compression)
        compression = "RLE24";

    Params movieParams;
    mvSetMovieDefaults(movieParams.list, MV_FORMAT_NATIVE_3);
    MVid movie = 0;
    if (mvCreateFile(argv[1], movieParams.list, nullptr, &movie) != 0)
        return fail(argv[1]);

    Params image;
    dmSetImageDefaults(image.list, kWidth, kHeight, DM_PACKING_RGBX);
    dmParamsSetFloat(image.list, DM_IMAGE_RATE, kRate);
    dmParamsSetString(image.list, DM_IMAGE_COMPRESSION, compression);
    MVid imageTrack = 0;
    if (mvAddTrack(movie, DM_MEDIUM_IMAGE, image.list, nullptr, &imageTrack) != 0)
        return fail("image track");

    Params audio;
    dmSetAudioDefaults(audio.list, 16, kAudioRate, 1);
    MVid audioTrack = 0;
    if (mvAddTrack(movie, DM_MEDIUM_AUDIO, audio.list, nullptr, &audioTrack) != 0)
        return fail("audio track");

    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
    for (int f = 0; f < frames; ++f) {
        drawFrame(f, frames, pixels);
        if (mvInsertFrames(imageTrack, f, 1, pixels.size() * 4, pixels.data()) != 0)
            return fail("picture");
    }

    const int samples = static_cast<int>(frames / kRate * kAudioRate);
    std::vector<int16_t> sound(static_cast<size_t>(samples));
    double phase = 0.0;
    for (int i = 0; i < samples; ++i) {
        double second = std::floor(i / kAudioRate);
        double pitch = 440.0 * std::pow(2.0, second / 12.0);
        phase += 2.0 * M_PI * pitch / kAudioRate;
        sound[static_cast<size_t>(i)] = static_cast<int16_t>(8000.0 * std::sin(phase));
    }
    if (mvInsertFrames(audioTrack, 0, samples, sound.size() * 2, sound.data()) != 0)
        return fail("sound");

    if (mvClose(movie) != 0)
        return fail("writing the movie");
    return 0;
}
