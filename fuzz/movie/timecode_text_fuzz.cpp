// Arbitrary text for mvStringToFrame on a movie of the rate and length the
// first two bytes choose: refused, or a frame inside that reads back.
#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Rates a movie is commonly made at, and some that do not divide 30, within
// the 1 to 100 frames per second an image track takes.
constexpr double kRates[] = {1.0, 2.0, 7.5, 10.0, 12.0, 15.0, 23.976, 24.0,
                             25.0, 29.97, 30.0, 48.0, 50.0, 59.94, 60.0, 100.0};

struct Movie {
    std::vector<uint8_t> memory = std::vector<uint8_t>(1 << 16);
    MVid id = 0;
    MVid track = 0;
};

// One uncompressed picture track of 1 x 1 pixels and the given length.
bool makeMovie(Movie &m, double rate, int frames)
{
    DMparams *movie = nullptr, *image = nullptr;
    const bool made = dmParamsCreate(&movie) == 0 && dmParamsCreate(&image) == 0 &&
                      mvSetMovieDefaults(movie, MV_FORMAT_NATIVE_3) == 0 &&
                      mvCreateMem(m.memory.data(), m.memory.size(), movie, nullptr, &m.id) == 0 &&
                      dmSetImageDefaults(image, 1, 1, DM_PACKING_RGBX) == 0 &&
                      dmParamsSetFloat(image, DM_IMAGE_RATE, rate) == 0 &&
                      mvAddTrack(m.id, DM_MEDIUM_IMAGE, image, nullptr, &m.track) == 0;
    dmParamsDestroy(movie);
    dmParamsDestroy(image);
    std::vector<uint32_t> pixels(size_t(frames), 0x00204080);
    return made && (frames == 0 || mvInsertFrames(m.track, 0, frames, pixels.size() * 4, pixels.data()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    Movie movie;
    const int length = data[1] % 64;
    if (!makeMovie(movie, kRates[data[0] % (sizeof kRates / sizeof kRates[0])], length)) {
        std::fprintf(stderr, "cannot make the movie: %s\n", mvGetErrorStr(mvGetErrno()));
        std::abort();
    }
    const std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
    unsigned int frame = 0xdeadbeefu;
    if (mvStringToFrame(movie.id, text.c_str(), 2, &frame) == 0) {
        if (length > 0 && frame >= unsigned(length))
            std::abort();
        char shown[32];
        unsigned int again = 0;
        if (mvFrameToString(movie.id, frame, 2, shown) != 0 ||
            mvStringToFrame(movie.id, shown, 2, &again) != 0)
            std::abort();
    }
    mvClose(movie.id);
    return 0;
}
