// Opens arbitrary bytes as a QuickTime memory movie and reads every frame.
#include <cinelark/movie.h>
#include <cinelark/playback.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "../movie/read_every_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool installed = (mvInitQuickTime(), true);
    (void)installed;
    std::vector<uint8_t> file(data, data + size);
    if (file.empty())
        return 0;
    MVid movie = 0;
    if (mvOpenMem(file.data(), file.size(), &movie) != 0)
        return 0;
    fuzzing::readEveryFrame(movie, {4u << 20, 500, 512});
    mvClose(movie);
    return 0;
}
