// Opens arbitrary bytes as a memory movie and reads every frame of it.
#include <cinelark/movie.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "read_every_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The library may write into a memory movie, so it gets its own copy.
    std::vector<uint8_t> file(data, data + size);
    if (file.empty())
        file.push_back(0);
    if (!mvIsMovieMem(file.data(), size))
        return 0;
    MVid movie = 0;
    if (mvOpenMem(file.data(), size, &movie) != 0)
        return 0;
    fuzzing::readEveryFrame(movie, {16u << 20, 2000, 1024});
    mvClose(movie);
    return 0;
}
