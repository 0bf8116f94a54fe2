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

// A 2 x 2 frame of 5-5-5 words: stored row 0 is red then green, row 1 blue
// then white. 1091 frames come top row first, so the picture keeps them.
TEST(Pixels, Packing555WidensAndKeepsRowOrder)
{
    const uint16_t words[4] = {0x7C00, 0x03E0, 0x001F, 0x7FFF};
    std::vector<uint8_t> frame(8);
    std::memcpy(frame.data(), words, 8);
    std::vector<uint8_t> rgba(16);
    ASSERT_TRUE(frameToRGBA(DM_PACKING_RGB555, 2, 2, frame, rgba));
    const std::vector<uint8_t> want = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    EXPECT_EQ(rgba, want);
    std::vector<uint8_t> back(8);
    ASSERT_TRUE(rgbaToFrame(DM_PACKING_RGB555, 2, 2, rgba, back));
    EXPECT_EQ(back, frame);
}

// 1001 frames come bottom row first: stored row 0 becomes the last row.
TEST(Pixels, RgbxFramesAreTurnedTheRightWayUp)
{
    const uint32_t words[6] = {0x000000FF, 0x0000FF00, 0x00FF0000,   // stored row 0
                               0x00102030, 0x00405060, 0xFF708090};  // stored row 1
    std::vector<uint8_t> frame(24);
    std::memcpy(frame.data(), words, 24);
    std::vector<uint8_t> rgba(24);
    ASSERT_TRUE(frameToRGBA(DM_PACKING_RGBX, 3, 2, frame, rgba));
    const std::vector<uint8_t> want = {0x30, 0x20, 0x10, 255, 0x60, 0x50, 0x40, 255, 0x90, 0x80, 0x70, 255,
                                       255,  0,    0,    255, 0,    255,  0,    255, 0,    0,    255,  255};
    EXPECT_EQ(rgba, want);
    std::vector<uint8_t> back(24);
    ASSERT_TRUE(rgbaToFrame(DM_PACKING_RGBX, 3, 2, rgba, back));
    uint32_t last;
    std::memcpy(&last, &back[20], 4);
    EXPECT_EQ(last, 0x00708090u) << "the unused byte is cleared";
}

TEST(Pixels, XbgrSwapsRedAndBlueAndGreyUsesLuma)
{
    const uint32_t word = 0xAA112233;  // red 0x11, green 0x22, blue 0x33
    std::vector<uint8_t> frame(4);
    std::memcpy(frame.data(), &word, 4);
    std::vector<uint8_t> rgba(4);
    ASSERT_TRUE(frameToRGBA(DM_PACKING_XBGR, 1, 1, frame, rgba));
    EXPECT_EQ(rgba, (std::vector<uint8_t>{0x11, 0x22, 0x33, 255}));

    // Pure colours give their Rec. 601 weights: 0.299, 0.587 and 0.114 of 255.
    const std::vector<uint8_t> colours = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255};
    std::vector<uint8_t> grey(3);
    ASSERT_TRUE(rgbaToFrame(DM_PACKING_GRAY, 3, 1, colours, grey));
    EXPECT_EQ(grey, (std::vector<uint8_t>{76, 150, 29}));
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
}

TEST(Pictures, PpmNamesByTheirEnding)
{
    EXPECT_TRUE(isPpmName("x%d.ppm"));
    EXPECT_TRUE(isPpmName("X%d.PPM"));
    EXPECT_FALSE(isPpmName("x%d.png"));
    EXPECT_FALSE(isPpmName("ppm"));
}

}  // namespace
}  // namespace mvconvert
