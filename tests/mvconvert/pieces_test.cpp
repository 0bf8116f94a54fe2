// The tool's pixel conversions, picture parser and name patterns, tested
// directly on values worked out by hand.
#include "options.h"
#include "pictures.h"
#include "pixels.h"

#include <cinelark/dmparams.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace mvconvert {
namespace {

// Words of a stored frame as bytes in memory.
template <typename Word>
std::vector<uint8_t> bytesOf(std::initializer_list<Word> words)
{
    std::vector<uint8_t> bytes(words.size() * sizeof(Word));
    std::memcpy(bytes.data(), words.begin(), bytes.size());
    return bytes;
}

struct LayoutCase {
    int packing, width, height;
    std::vector<uint8_t> frame;  // stored
    std::vector<uint8_t> rgba;   // the picture, top row first
};

// Each stored layout becomes the picture and the picture the stored frame:
// 1091 5-5-5 words widen 31 to 255 and come top row first; 1001 words come
// bottom row first (stored row 0 is the picture's last); 1090 words have
// blue low; 1005 grey fills all three colours.
TEST(Pixels, EveryPackingBothWays)
{
    const LayoutCase cases[] = {
        {DM_PACKING_RGB555, 2, 2, bytesOf<uint16_t>({0x7C00, 0x03E0, 0x001F, 0x7FFF}),
         {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255}},
        {DM_PACKING_RGBX, 3, 2, bytesOf<uint32_t>({0xFF, 0xFF00, 0xFF0000, 0x102030, 0x405060, 0x708090}),
         {0x30, 0x20, 0x10, 255, 0x60, 0x50, 0x40, 255, 0x90, 0x80, 0x70, 255,
          255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255}},
        {DM_PACKING_XBGR, 1, 1, bytesOf<uint32_t>({0x112233}), {0x11, 0x22, 0x33, 255}},
        // A row of whole blocks of four words and one over.
        {DM_PACKING_RGBX, 5, 1, bytesOf<uint32_t>({1, 0x200, 0x30000, 4, 0x50607}),
         {1, 0, 0, 255, 0, 2, 0, 255, 0, 0, 3, 255, 4, 0, 0, 255, 7, 6, 5, 255}},
        {DM_PACKING_GRAY, 2, 1, {7, 200}, {7, 7, 7, 255, 200, 200, 200, 255}},
    };
    for (const LayoutCase &c : cases) {
        std::vector<uint8_t> rgba(c.rgba.size()), frame(c.frame.size());
        ASSERT_TRUE(frameToRGBA(c.packing, c.width, c.height, c.frame, rgba)) << c.packing;
        EXPECT_EQ(rgba, c.rgba) << c.packing;
        ASSERT_TRUE(rgbaToFrame(c.packing, c.width, c.height, c.rgba, frame)) << c.packing;
        EXPECT_EQ(frame, c.frame) << c.packing;
    }
}

TEST(Pixels, RefusesUnknownPackingsAndShortBuffers)
{
    std::vector<uint8_t> frame(16), rgba(16);
    EXPECT_FALSE(frameToRGBA(1002, 2, 2, frame, rgba));
    EXPECT_FALSE(frameToRGBA(DM_PACKING_RGBX, 2, 3, frame, rgba));
    EXPECT_FALSE(rgbaToFrame(DM_PACKING_RGBX, 0, 2, rgba, frame));
    EXPECT_EQ(frameBytes(DM_PACKING_RGB555, 3, 5), 30u);
    EXPECT_EQ(frameBytes(1234, 3, 5), 0u);
}

Picture parse(const std::string &text, bool expectOk, const char *reason = "")
{
    Picture p;
    std::string error;
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    EXPECT_EQ(parsePnm(bytes, &p, &error), expectOk) << text.substr(0, 20) << ": " << error;
    if (!expectOk) {
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    return p;
}

TEST(Pnm, ReadsColourGreyCommentsAndWideSamples)
{
    Picture p = parse(std::string("P6 # a comment\n2 1 255\n") + "\x01\x02\x03\xfa\xfb\xfc", true);
    EXPECT_EQ(p.width, 2);
    EXPECT_EQ(p.rgba, (std::vector<uint8_t>{1, 2, 3, 255, 0xfa, 0xfb, 0xfc, 255}));
    p = parse(std::string("P5\n1 2\n15\n") + "\x0f\x05", true);
    EXPECT_EQ(p.rgba, (std::vector<uint8_t>{255, 255, 255, 255, 85, 85, 85, 255}));
    // Two-byte samples, big-endian: 65535 is full, 32896 rounds to 128.
    p = parse(std::string("P5\n2 1\n65535\n") + std::string("\xff\xff\x80\x80", 4), true);
    EXPECT_EQ(p.rgba, (std::vector<uint8_t>{255, 255, 255, 255, 128, 128, 128, 255}));
    // Samples above the maximum are taken as the maximum.
    p = parse(std::string("P5\n1 1\n100\n") + "\xc8", true);
    EXPECT_EQ(p.rgba[0], 255);
}

TEST(Pnm, RefusesMalformedHeadersAndShortData)
{
    parse("P3\n1 1\n255\n1 2 3", false, "not a binary");
    parse("P6\n", false, "malformed");
    parse("P6\n0 4\n255\n", false, "size");
    parse("P6\n99999 99999\n255\n", false, "size");
    parse("P6\n1234567890 1\n255\n", false, "malformed");
    parse("P6\n1 1\n0\nxyz", false, "maximum");
    parse("P6\n1 1\n70000\nxyz", false, "maximum");
    parse("P6\n1 1\n255", false, "missing");
    parse("P6\n2 2\n255\nabcdefghijk", false, "cut short");
    parse("P5\n2 2\n65535\nabcdefg", false, "cut short");
}

TEST(Patterns, OneIntegerConversionOnly)
{
    for (const char *good : {"out_%05d.png", "%d.ppm", "f%i", "100%%_%3d.png", "a%-4d"})
        EXPECT_TRUE(validFramePattern(good)) << good;
    for (const char *bad : {"out.png", "%s.png", "%d_%d.png", "%n", "%123d", "end%", "%ld", "%.3d", "%*d"})
        EXPECT_FALSE(validFramePattern(bad)) << bad;
    EXPECT_EQ(frameName("out_%05d.png", 42), "out_00042.png");
    EXPECT_EQ(frameName("100%%_%d", 7), "100%_7");
    EXPECT_EQ(frameName(std::string(5000, 'a') + "%d", 1), "");
    // PPM pictures are named by their ending, in either case.
    EXPECT_EQ(std::vector<bool>({isPpmName("x%d.ppm"), isPpmName("X%d.PPM"), isPpmName("x%d.png"),
                                 isPpmName("ppm")}),
              std::vector<bool>({true, true, false, false}));
}

}  // namespace
}  // namespace mvconvert
