// The remembered settings: see settings.h.
#include "settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace {

// Each setting: its name, its range and where it goes.
struct Field {
    const char *name;
    int low, high;
    int Settings::*value;
};
constexpr Field kFields[] = {
    {"volume", 0, 255, &Settings::volume},
    {"muted", 0, 1, &Settings::muted},
};

bool parseNumber(std::string_view text, int low, int high, int &out)
{
    int value = 0;
    const char *end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value < low || value > high)
        return false;
    out = value;
    return true;
}

bool writeAll(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool parseSettings(std::string_view text, Settings &out)
{
    if (text.size() > kMaxSettingsBytes)
        return false;
    Settings read = out;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line[0] == '#')
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return false;
        const std::string_view name = line.substr(0, equals);
        for (const Field &f : kFields)
            if (name == f.name && !parseNumber(line.substr(equals + 1), f.low, f.high, read.*f.value))
                return false;
    }
    out = read;
    return true;
}

std::string formatSettings(const Settings &settings)
{
    std::string text = "# cinelark's settings, rewritten by the player\n";
    for (const Field &f : kFields)
        if (settings.*f.value >= f.low)
            text += std::string(f.name) + "=" + std::to_string(settings.*f.value) + "\n";
    return text;
}

std::string settingsPath()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid under the XDG base directory
    // rules and is ignored.
    if (config && config[0] == '/')
        return std::string(config) + "/cinelark/settings";
    const char *home = std::getenv("HOME");
    if (home && home[0])
        return std::string(home) + "/.config/cinelark/settings";
    return "";
}

Settings loadSettings()
{
    Settings settings;
    const std::string path = settingsPath();
    FILE *file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!file)
        return settings;
    std::string text(kMaxSettingsBytes + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    Settings read;
    return parseSettings(text, read) ? read : settings;
}

bool saveSettings(const Settings &settings)
{
    const std::string path = settingsPath();
    if (path.empty())
        return false;
    // The directories up to the file, made as needed.
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    const std::string temporary = path + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, formatSettings(settings)) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
