// The "Apple Video" coders, with ffmpeg as the reference.
#include <vector>

#include "guarded_frame.h"

using namespace qt_tools;
using cinelark::playback::decodeRpza;
using cinelark::playback::encodeRpza;

namespace {

Bytes encode(const Picture &picture, const Picture *previous, int width, int height, bool key)
{
    Bytes out(picture.size() * 4 + 1024);
    size_t size = 0;
    EXPECT_EQ(encodeRpza(width, height, picture.data(), previous ? previous->data() : nullptr,
                         out.data(), out.size(), key, &size),
              kQtOk);
    out.resize(size);
    return out;
}

int decode(GuardedFrame &frame, const Bytes &data, int width, int height)
{
    return decodeRpza(frame.data(), data.data(), data.size(), width / 4, height / 4, width);
}

// A stream: 0xE1, the chunk length, then the codes.
Bytes chunk(const Bytes &codes)
{
    Bytes b(codes.size() + 4);
    b[0] = 0xE1;
    std::copy(codes.begin(), codes.end(), b.begin() + 4);
    b[1] = uint8_t(b.size() >> 16);
    b[2] = uint8_t(b.size() >> 8);
    b[3] = uint8_t(b.size());
    return b;
}

// The clip through ffmpeg's encoder and through ours: our decoder reads
// ffmpeg's stream as ffmpeg does, ffmpeg reads ours as we do, and ours is
// within reach of ffmpeg's, which spends sixteen-colour blocks on the
// clip's noise where ours, at quality 512, spends four.
TEST(RpzaReference, StreamsBothWaysDecodeAsFfmpegDoes)
{
    const int w = 32, h = 16;
    const std::vector<Picture> clip = movingClip(w, h, 6);
    const auto decoder = [](GuardedFrame &f, const Bytes &b) { return decode(f, b, w, h); };
    const std::vector<Picture> theirs =
        expectDecodesAsFfmpeg(clip, w, h, "-c:v rpza -pix_fmt rgb555le", decoder);
    const std::vector<Picture> ours =
        expectFfmpegDecodesOurs(
            clip, w, h, "rpza", 16,
            [](const Picture &p, const Picture &previous, bool key) {
                return encode(p, &previous, w, h, key);
            },
            decoder)
            .decoded;
    ASSERT_EQ(ours.size(), clip.size());
    ASSERT_EQ(theirs.size(), clip.size());
    for (size_t i = 0; i < clip.size(); i++) {
        const double theirError = meanDifference(theirs[i], clip[i]);
        EXPECT_LT(meanDifference(ours[i], clip[i]), theirError * 2.5 + 1.0)
            << "frame " << i << " ffmpeg " << theirError;
    }
}

TEST(RpzaBlocks, EachBlockFormDecodesToTheFormatsColours)
{
    // Five blocks in a row: skip, single colour, four colours (opcode form),
    // four colours (colour-A form), sixteen colours.
    const int w = 20, h = 4;
    Bytes codes = {0x80,                                  // skip 1
                   0xA0, 0x7F, 0xFF,                      // white
                   0xC0, 0x7C, 0x00, 0x00, 0x00,          // A red, B black
                   0x1B, 0x1B, 0x1B, 0x1B,                // indices 0 1 2 3 per row
                   0x00, 0x1F, 0x83, 0xE0,                // A blue, B green (flagged)
                   0x00, 0x00, 0x00, 0x00};               // all index 0 = B
    for (int k = 0; k < 16; k++) {                        // 16 colours: k in red
        codes.push_back(uint8_t((k << 10) >> 8));
        codes.push_back(uint8_t(k << 10));
    }
    GuardedFrame frame(w, h, 0x00123456);
    ASSERT_EQ(decode(frame, chunk(codes), w, h), kQtOk);
    Picture p = frame.picture();
    auto at = [&](int x, int y) { return p[size_t(y) * w + size_t(x)]; };
    // Skipped: left as it was. Then white. Index 0 is B, 3 is A; 1 and 2
    // are 11/32 and 21/32 of A's 31. B green, bit 15 ignored.
    const struct {
        int x, y;
        uint32_t pixel;
    } expected[] = {{0, 0, 0x00123456}, {3, 3, 0x00123456}, {4, 0, 0x00FFFFFF}, {7, 3, 0x00FFFFFF},
                    {8, 0, 0},          {9, 1, 0x52},       {10, 2, 0xA5},      {11, 3, 0xFF},
                    {12, 0, 0x0000FF00}, {15, 3, 0x0000FF00}};
    for (const auto &e : expected)
        EXPECT_EQ(at(e.x, e.y), e.pixel) << e.x << "," << e.y;
    for (int k = 0; k < 16; k++)
        EXPECT_EQ(at(16 + k % 4, k / 4), (uint32_t(k) << 3) | (uint32_t(k) >> 2)) << k;
    EXPECT_TRUE(frame.guardsIntact());
}

TEST(RpzaEncoder, CodesBlocksAsTheQualityAsks)
{
    const int w = 8, h = 4;
    Picture flat(size_t(w) * h, 0x00808080);
    Bytes key = encode(flat, nullptr, w, h, true);
    // Chunk header with the total length, then two single-colour blocks.
    ASSERT_EQ(key.size(), 10u);
    EXPECT_EQ(key[0], 0xE1);
    EXPECT_EQ(key[3], 10);
    EXPECT_EQ(key[4], 0xA0);
    EXPECT_EQ((key[5] << 8 | key[6]), (16 << 10) | (16 << 5) | 16);

    // A change summing to 60 over a block is skipped; 61 is not.
    Picture by60 = flat, by61 = flat;
    for (int k = 0; k < 15; k++)                 // 15 pixels x 4 = 60
        by60[size_t(k / 4) * w + size_t(k % 4)] = 0x00828280;
    by61 = by60;
    by61[size_t(3) * w + 3] = 0x00808081;         // one more
    Bytes skip = encode(by60, &flat, w, h, false);
    ASSERT_EQ(skip.size(), 6u);
    EXPECT_EQ(skip[4], 0x80);
    EXPECT_EQ(skip[5], 0x80);
    Bytes coded = encode(by61, &flat, w, h, false);
    EXPECT_NE(coded[4], 0x80);
    // A key frame never skips, however alike the frames are.
    Bytes again = encode(flat, &flat, w, h, true);
    EXPECT_EQ(again[4], 0xA0);
}

TEST(RpzaDamage, DamagedStreamsDecodeWhatTheyCanAndReport)
{
    expectDamageReported(
        {
            {"Empty", {}, kQtShortData},
            {"HeaderOnly", {0xE1, 0, 0}, kQtShortData},
            {"NotAChunk", {0xE2, 0, 0, 8, 0xA3, 0x7F, 0xFF, 0}, kQtBadCode},
            {"LengthBelowHeader", {0xE1, 0, 0, 2, 0xA3, 0x7F, 0xFF}, kQtBadCode},
            {"LengthBeyondData", {0xE1, 0, 1, 0, 0xA3, 0x7F, 0xFF}, kQtShortData},
            {"FewerBlocksThanPicture", chunk({0xA1, 0x7F, 0xFF}), kQtShortData},
            {"ColourCut", chunk({0xA3, 0x7F}), kQtShortData},
            {"IndicesCut", chunk({0xC3, 0x7F, 0xFF, 0, 0, 1, 2}), kQtShortData},
            {"SixteenColoursCut", chunk({0x12, 0x34, 0x56, 0x78}), kQtShortData},
            {"RunPastTheEnd", chunk({0xBF, 0x7F, 0xFF}), kQtOverrun},
            {"SkipPastTheEnd", chunk({0x9F}), kQtOverrun},
            {"ImpossibleOpcode", chunk({0xE0, 0, 0}), kQtBadCode},
        },
        8, 8, [](GuardedFrame &f, const BadStream &c) { return decode(f, c.data, 8, 8); });
}

}  // namespace
