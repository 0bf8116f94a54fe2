// Arbitrary text for mvStringToFrame on a movie of the rate and length the
// first two bytes choose: refused, or a frame inside that reads back.
#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

// Rates a movie is commonly made at, and some that do not divide 30, within
// the 1 to 100 frames per second an image track takes.
constexpr double kRates[] = {1.0, 2.0, 7.5, 10.0, 12.0, 15.0, 23.976, 24.0,
                             25.0, 29.97, 30.0, 48.0, 50.0, 59.94, 60.0, 100.0};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int length = data[1] % 64;
    std::vector<uint8_t> memory(1 << 16);
    std::vector<uint32_t> pixels(size_t(length), 0x00204080);
    // One uncompressed picture track of 1 x 1 pixels and that length.
    DMparams *params = nullptr, *image = nullptr;
    MVid movie = 0, track = 0;
    const bool made =
        dmParamsCreate(&params) == 0 && dmParamsCreate(&image) == 0 &&
        mvSetMovieDefaults(params, MV_FORMAT_NATIVE_3) == 0 &&
        mvCreateMem(memory.data(), memory.size(), params, nullptr, &movie) == 0 &&
        dmSetImageDefaults(image, 1, 1, DM_PACKING_RGBX) == 0 &&
        dmParamsSetFloat(image, DM_IMAGE_RATE, kRates[data[0] % std::size(kRates)]) == 0 &&
        mvAddTrack(movie, DM_MEDIUM_IMAGE, image, nullptr, &track) == 0 &&
        (length == 0 || mvInsertFrames(track, 0, length, pixels.size() * 4, pixels.data()) == 0);
    dmParamsDestroy(params);
    dmParamsDestroy(image);
    if (!made) {
        std::fprintf(stderr, "cannot make the movie: %s\n", mvGetErrorStr(mvGetErrno()));
        std::abort();
    }
    const std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
    unsigned int frame = 0xdeadbeefu;
    if (mvStringToFrame(movie, text.c_str(), 2, &frame) == 0) {
        if (length > 0 && frame >= unsigned(length))
            std::abort();
        char shown[32];
        unsigned int again = 0;
        if (mvFrameToString(movie, frame, 2, shown) != 0 ||
            mvStringToFrame(movie, shown, 2, &again) != 0)
            std::abort();
    }
    mvClose(movie);
    return 0;
}
