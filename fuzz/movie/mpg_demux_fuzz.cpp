// Splits arbitrary bytes as a system stream. The source traps any read
// outside the input, and what comes out can never be more than went in.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mpeg/system/demux.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    cinelark::mpeg::Program program;
    cinelark::mpeg::Demultiplex(
        int64_t(size),
        [&](int64_t at, uint8_t *out, size_t count) {
            if (at < 0 || size_t(at) > size || count > size - size_t(at))
                __builtin_trap();
            std::memcpy(out, data + at, count);
            return true;
        },
        &program);
    if (program.video.bytes.size() + program.audio.bytes.size() > size)
        __builtin_trap();
    return 0;
}
