// The player's remembered settings: what a file's text gives, and the file
// written, read back and replaced under a private configuration directory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "settings.h"

namespace {

// What a file's text gives: its values, or the defaults for a damaged file.
TEST(Settings, TextsGiveTheirValuesOrLeaveTheDefaults)
{
    const struct {
        const char *text;
        bool good;
        int volume = -1, muted = 0;  // when good
    } cases[] = {
        {"", true, -1, 0}, {"# comment\nvolume=128\nmuted=1\n", true, 128, 1},
        {"muted=0\nvolume=0", true, 0, 0}, {"volume=255\n\nlater=anything\n", true, 255, 0},
        {"volume=256\n", false}, {"volume=-1\n", false}, {"muted=2\n", false},
        {"volume=12x\n", false}, {"volume=\n", false}, {"volume 12\n", false},
        {"volume=1\nmuted=1\n\x01\x02garbage", false},
    };
    for (const auto &c : cases) {
        Settings s;
        EXPECT_EQ(parseSettings(c.text, s), c.good) << c.text;
        EXPECT_EQ(s.volume, c.good ? c.volume : -1) << c.text;
        EXPECT_EQ(s.muted, c.good ? c.muted : 0) << c.text;
    }
    Settings s;
    EXPECT_FALSE(parseSettings(std::string(kMaxSettingsBytes + 1, '#'), s)) << "too long";
}

TEST(Settings, SavedSettingsReadBackFromTheConfigDirectory)
{
    char dir[] = "/tmp/cinelark-settings-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string home = std::string(dir) + "/config";
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    EXPECT_EQ(settingsPath(), home + "/cinelark/settings");
    EXPECT_EQ(loadSettings().volume, -1) << "no file yet: the defaults";

    ASSERT_TRUE(saveSettings(Settings{77, 1}));
    Settings back = loadSettings();
    EXPECT_EQ(back.volume, 77);
    EXPECT_EQ(back.muted, 1);
    EXPECT_NE(access((settingsPath() + ".new").c_str(), F_OK), 0) << "no temporary left";
    ASSERT_TRUE(saveSettings(Settings{0, 0}));
    EXPECT_EQ(loadSettings().volume, 0) << "silence is a volume to keep";

    std::ofstream(settingsPath()) << "volume=300\n";
    EXPECT_EQ(loadSettings().volume, -1) << "a damaged file gives the defaults";

    setenv("XDG_CONFIG_HOME", "/proc/no-such-place", 1);
    EXPECT_FALSE(saveSettings(Settings{1, 0})) << "a directory that cannot be made";
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", dir, 1);
    EXPECT_EQ(settingsPath(), std::string(dir) + "/.config/cinelark/settings");
    unsetenv("XDG_CONFIG_HOME");
    std::system(("rm -rf " + std::string(dir)).c_str());
}

}  // namespace
