// The settings file's parser: any text is refused, leaving the settings as
// they were, or gives values in their ranges that read back the same from
// the text the player would write.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Settings s;
    if (!parseSettings(std::string_view(reinterpret_cast<const char *>(data), size), s)) {
        if (s.volume != -1 || s.muted != 0)
            std::abort();
        return 0;
    }
    if (s.volume < -1 || s.volume > 255 || (s.muted != 0 && s.muted != 1))
        std::abort();
    Settings back;
    if (!parseSettings(formatSettings(s), back) || back.volume != s.volume ||
        back.muted != s.muted)
        std::abort();
    return 0;
}
