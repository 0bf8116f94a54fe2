// The settings the player keeps between runs: the output volume and mute.
//
// They live in "settings" under $XDG_CONFIG_HOME/cinelark/ (by default
// ~/.config/cinelark/), one "name=value" line each, lines starting with '#'
// being comments. The file is replaced whole through a temporary file and a
// rename, so a reader never sees half of it. A missing, unreadable or
// damaged file (an unknown value, a line without '=', a number out of
// range, more than kMaxSettingsBytes) gives the defaults; names this version
// does not know are passed over, so that a newer player's file still reads.
#ifndef CINELARK_APP_SETTINGS_H
#define CINELARK_APP_SETTINGS_H

#include <string>
#include <string_view>

struct Settings {
    int volume = -1;  // the output gain, 0 to 255; -1: the device's own
    int muted = 0;    // 1: sound off
};

constexpr size_t kMaxSettingsBytes = 4096;

// The settings a file's text holds; false (and out untouched) when damaged.
bool parseSettings(std::string_view text, Settings &out);
std::string formatSettings(const Settings &settings);

// The file's path from the environment; "" when neither XDG_CONFIG_HOME nor
// HOME is set.
std::string settingsPath();

// The remembered settings, or the defaults.
Settings loadSettings();
// Writes the settings; false when the file could not be replaced.
bool saveSettings(const Settings &settings);

#endif
