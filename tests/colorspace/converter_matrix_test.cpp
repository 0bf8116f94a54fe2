// Properties every converter and every fast and zoom variant must have.
#include <string>

#include "colorspace_test_util.h"

namespace cstest {
namespace {

struct Case {
    int src, dst;
    int fast, zoom;
    int widthScale() const { return zoom > 1 ? 2 : 1; }  // output size relative to the input
    int heightScale() const { return zoom >= 4 ? 4 : widthScale(); }
    std::string name() const
    {
        return std::string(kLayoutNames[src]) + " to " + kLayoutNames[dst] + (fast ? " fast" : "") + " zoom " +
               std::to_string(zoom);
    }
};

// Every pair of layouts, equal ones too, then the fast and zoom variants
// (zoom 3 behaves as 2, 5 as 4).
std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (int s = 0; s < 8; ++s)
        for (int d = 0; d < 8; ++d)
            cases.push_back({s, d, 0, 1});
    for (int src : {CS_YUV, CS_YUV422, CS_YUV422HC})
        for (auto [fast, zoom] : {std::pair{1, 1}, {0, 2}, {0, 3}, {0, 4}})
            cases.push_back({src, CS_RGBX, fast, zoom});
    cases.push_back({CS_YUV422HC, CS_RGBX, 0, 5});
    cases.push_back({CS_YUV422, CS_RGBX, 0, 5});
    cases.push_back({CS_YUV422HC, CS_RGB332, 1, 1});
    cases.push_back({CS_YUV422HC, CS_RGB332, 0, 2});
    return cases;
}

std::size_t outBytes(const Case& c, int w, int h)
{
    return pictureBytes(w * c.widthScale(), h * c.heightScale(), c.dst);
}

// All cases in one test, so that the table costs one process under ctest.
using EveryConverter = SwitchesOff;

TEST_F(EveryConverter, FlipMirrorsTheRowsAndWritesOnlyTheDestination)
{
    const int sizes[][2] = {{1, 1}, {2, 1}, {3, 3}, {7, 2}, {16, 3}, {33, 4}};
    for (const Case& c : allCases()) {
        SCOPED_TRACE(c.name());
        resetSwitches();
        csFast(c.fast);
        csZoom(c.zoom, c.zoom);
        for (const auto& [w, h] : sizes) {
            const Bytes in = noise(pictureBytes(w, h, c.src), 7 * w + h);
            const Bytes copy = in;
            const Bytes out = convert(w, h, c.src, in, c.dst, outBytes(c, w, h) + 64);
            EXPECT_EQ(in, copy);
            EXPECT_TRUE(std::all_of(out.end() - 64, out.end(), [](uint8_t b) { return b == 0xCD; }))
                << w << " x " << h;
        }
        const int w = 6, h = 5;
        const Bytes in = noise(pictureBytes(w, h, c.src), 42);
        const std::size_t size = outBytes(c, w, h);
        const Bytes straight = convert(w, h, c.src, in, c.dst, size);
        csFlipVertically(1);
        const Bytes flipped = convert(w, h, c.src, in, c.dst, size);
        // YUV422HC to YUV422 is one block move by design and never mirrors.
        if (c.src == CS_YUV422HC && c.dst == CS_YUV422) {
            EXPECT_EQ(flipped, straight);
        } else {
            EXPECT_EQ(flipped, mirrored(straight, size / (h * c.heightScale())));
        }
    }
}

}  // namespace
}  // namespace cstest
