// The player on a version 2 movie whose frames are "MVC1" blocks: three flat
// pictures in colours the 15-bit coding keeps exactly, played once to the
// last, which stays in the window when the program ends.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "../movie/native_bytes.h"
#include "player_fixture.h"

namespace player_test {
namespace {

constexpr uint16_t kColours[] = {0x7C00, 0x03E0, 0x001F};  // red, green, blue

std::string mvc1Movie()
{
    using namespace native_bytes;
    V12Header h;
    h.width = kWidth;
    h.height = kHeight;
    h.audio = 0;
    h.indexCount = 3;
    h.compression = 1;
    Bytes file = v12Header(h);
    const uint32_t blocks = kWidth / 4 * (kHeight / 4), frameBytes = 6 * blocks;
    for (uint32_t f = 0; f < 3; ++f)
        append(file, indexRecord(592 + 3 * 20 + f * frameBytes, 0, frameBytes));
    for (uint16_t colour : kColours)
        for (uint32_t b = 0; b < blocks; ++b) {
            put16(file, 0);  // every pixel takes the second colour
            put16(file, 0);
            put16(file, colour);
        }
    const std::string path = "/tmp/cinelark-e2e-" + std::to_string(getpid()) + "-mvc1.mv";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(file.data()), long(file.size()));
    return path;
}

TEST_F(Player, PlaysAVersionTwoMvc1MovieToItsLastFrame)
{
    const std::string movie = mvc1Movie();
    Running player({"-l", "1", movie});
    Window w = findWindow(dpy_, movie, 20.0);
    ASSERT_NE(w, 0u) << "status " << player.wait(0.1) << "\n" << player.err() << player.out();
    // The screen's words are 0x00RRGGBB: the last frame is pure blue above
    // the marker's band.
    const std::vector<uint32_t> blue(size_t(kWidth * (kHeight - 26)), 0x0000F8);
    EXPECT_TRUE(waitUntil(
        [&] {
            const std::vector<uint32_t> shown = picture(w);
            return shown.size() >= blue.size() && std::equal(blue.begin(), blue.end(), shown.begin());
        },
        20.0));
    EXPECT_EQ(player.wait(30.0), 0) << player.err();
    unlink(movie.c_str());
}

}  // namespace
}  // namespace player_test
