// The "Apple Animation" coders, with ffmpeg as the reference.
#include <vector>

#include "guarded_frame.h"

using namespace qt_tools;
using cinelark::playback::decodeQtrle;
using cinelark::playback::encodeQtrle;

namespace {

Bytes encode(const Picture &picture, Picture &previous, int width, int height, bool key)
{
    Bytes out(picture.size() * 4 + 1024);
    size_t size = 0;
    EXPECT_EQ(encodeQtrle(width, height, picture.data(), previous.data(), out.data(), out.size(),
                          key, &size),
              kQtOk);
    out.resize(size);
    return out;
}

int decode(GuardedFrame &frame, const Bytes &data, int width, int height, int depth = 24)
{
    return decodeQtrle(frame.data(), data.data(), data.size(), width, height, depth);
}

// ffmpeg's streams at every direct depth decode as ffmpeg decodes them, and
// ffmpeg reads our 24-bit streams exactly.
TEST(QtrleReference, StreamsBothWaysDecodeAsFfmpegDoes)
{
    const int w = 32, h = 16;
    std::vector<Picture> clip = movingClip(w, h, 6);
    for (const auto &format :
         {std::pair{"rgb555be", 16}, std::pair{"rgb24", 24}, std::pair{"argb", 32}}) {
        SCOPED_TRACE(format.first);
        const int depth = format.second;
        expectDecodesAsFfmpeg(
            clip, w, h, std::string("-c:v qtrle -g 3 -pix_fmt ") + format.first,
            [depth](GuardedFrame &f, const Bytes &b) { return decode(f, b, w, h, depth); });
    }
    // A frame equal to the one before codes as an empty line range.
    clip.push_back(clip.back());
    const CodedClip coded = expectFfmpegDecodesOurs(
        clip, w, h, "rle ", 24,
        [](const Picture &p, Picture &previous, bool key) { return encode(p, previous, w, h, key); },
        [](GuardedFrame &f, const Bytes &b) { return decode(f, b, w, h); });
    EXPECT_EQ(coded.decoded, clip);
    EXPECT_EQ(coded.frames.back().size(), 15u);
}

// Streams of colour indices written unit by unit, as a depth 2, 4 or 8
// encoder (or its grey twin, 34, 36 or 40) would: every line a literal and
// a run; then a frame that changes two lines through skips and literals.
std::vector<Bytes> indexedFrames(int depth, int width, int height)
{
    const int unitsPerLine = width * (depth & 31) / 32;
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return uint8_t(seed >> 16);
    };
    std::vector<Bytes> frames;
    Bytes key = {0, 0, 0, 0, 0x00, 0x00};
    for (int y = 0; y < height; y++) {
        key.push_back(1);
        int literal = unitsPerLine / 2, run = unitsPerLine - literal;
        key.push_back(uint8_t(literal));
        for (int i = 0; i < literal * 4; i++)
            key.push_back(next());
        key.push_back(uint8_t(256 - run));
        for (int i = 0; i < 4; i++)
            key.push_back(next());
        key.push_back(0xFF);
    }
    key.push_back(0);
    frames.push_back(key);
    Bytes delta = {0, 0, 0, 0, 0x00, 0x08, 0, 1, 0, 0, 0, 2, 0, uint8_t(width)};
    for (int y = 0; y < 2; y++) {
        delta.insert(delta.end(), {2, 1});
        for (int i = 0; i < 4; i++)
            delta.push_back(next());
        delta.insert(delta.end(), {0, 2, 1});
        for (int i = 0; i < 4; i++)
            delta.push_back(next());
        delta.push_back(0xFF);
    }
    delta.push_back(0);
    frames.push_back(delta);
    for (Bytes &f : frames) {
        f[2] = uint8_t(f.size() >> 8);
        f[3] = uint8_t(f.size());
    }
    return frames;
}

TEST(QtrleIndexed, UsesTheDefaultColourTablesAsFfmpegDoes)
{
    const int w = 64, h = 4;
    for (int depth : {2, 4, 8, 34, 36, 40}) {
        SCOPED_TRACE(depth);
        const std::vector<Bytes> frames = indexedFrames(depth, w, h);
        const Bytes movie = quickTimeFile("rle ", w, h, depth, frames);
        expectDecodesTo(frames, ffmpegDecode(movie, w, h), w, h,
                        [depth](GuardedFrame &f, const Bytes &b) { return decode(f, b, w, h, depth); });
    }
}

TEST(QtrleEncoder, OtherFramesCodeOnlyChangedLinesAndPixelsAndSmallBuffersAreRefused)
{
    const int w = 300, h = 5;
    Picture before(size_t(w) * h, 0x00000001);
    Picture after = before;
    // Line 2 changes at pixel 3 and at pixel 280, past the longest skip.
    after[2 * w + 3] = 0x00AABBCC;
    after[2 * w + 280] = 0x00112233;
    Picture previous = before;
    Bytes b = encode(after, previous, w, h, false);
    Bytes expected = {0, 0, 0, 0, 0x00, 0x08, 0, 2, 0, 0, 0, 1, uint8_t(w >> 8), uint8_t(w),
                      4, 1, 0xCC, 0xBB, 0xAA,    // skip 3, literal 1
                      0, 255,                    // unchanged: skip 254
                      0xEA, 1, 0, 0,             // the 22 alike pixels left: a run
                      1, 0x33, 0x22, 0x11,       // literal 1
                      0, 20,                     // skip the last 19
                      0xFF, 0};
    expected[3] = uint8_t(expected.size());
    EXPECT_EQ(b, expected);
    EXPECT_EQ(previous, after);

    // The top byte of a pixel is not colour: such a change codes nothing.
    Picture tagged = after;
    for (uint32_t &p : tagged)
        p |= 0xFF000000u;
    Bytes none = encode(tagged, previous, w, h, false);
    ASSERT_EQ(none.size(), 15u);
    EXPECT_EQ((none[6] << 8 | none[7]), h);       // empty range at the height
    EXPECT_EQ((none[10] << 8 | none[11]), 0);

    // A buffer too small is refused, and nothing counts as written.
    const Picture picture = movingClip(16, 4, 1)[0];
    Bytes out(20);
    size_t size = 99;
    EXPECT_EQ(encodeQtrle(16, 4, picture.data(), previous.data(), out.data(), out.size(), 1, &size),
              kQtBufferTooSmall);
    EXPECT_EQ(size, 0u);
}

TEST(QtrleDecoder, DamagedStreamsDecodeWhatTheyCanAndReport)
{
    expectDamageReported(
        {
            {"Empty", {}, kQtShortData},
            {"SizeCut", {0, 0, 0}, kQtShortData},
            {"TooShortToChangeAnything", {0, 0, 0, 7, 0, 0, 0}, kQtOk},
            {"HeaderCut", {0, 0, 0, 9, 0, 8, 0, 0, 0}, kQtShortData},
            {"LinesBeyondPicture", {0, 0, 0, 17, 0, 8, 0, 2, 0, 0, 0, 5, 0, 4, 1, 0xFF, 0}, kQtOverrun},
            {"LiteralCut", {0, 0, 0, 0, 0, 0, 1, 3, 1, 2, 3, 4}, kQtShortData},
            {"LineEndMissing", {0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 3}, kQtShortData},
            {"LiteralPastLineEnd", {0, 0, 0, 0, 0, 0, 3, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xFF, 0}, kQtOverrun},
            {"RunPastLineEnd", {0, 0, 0, 0, 0, 0, 1, 0xF0, 1, 2, 3, 0xFF, 0}, kQtOverrun},
            {"SkipPastLineEnd", {0, 0, 0, 0, 0, 0, 9, 1, 1, 2, 3, 0xFF, 0}, kQtOverrun},
            {"RepeatedSkipsThenLiteral",
             {0, 0, 0, 0, 0, 0, 1, 0, 255, 0, 255, 0, 255, 0, 255, 1, 1, 2, 3, 0xFF, 0}, kQtOverrun},
            {"ZeroSkipInsideLine", {0, 0, 0, 0, 0, 0, 1, 0, 0, 0xFF, 0}, kQtBadCode},
            {"IndexedRunPastLineEnd", {0, 0, 0, 0, 0, 0, 1, 0xFD, 1, 2, 3, 4, 0xFF, 0}, kQtOverrun, 8},
            {"OneBitDepth", {0, 0, 0, 9, 0, 0, 0, 0, 0}, kQtBadCode, 1},
            {"UnknownDepth", {0, 0, 0, 9, 0, 0, 0, 0, 0}, kQtBadCode, 12},
        },
        4, 3, [](GuardedFrame &f, const BadStream &c) { return decode(f, c.data, 4, 3, c.depth); });
}
// What a 2 x 2 frame filled with 0x111111 holds after a stream: a line
// starting with skip 0 ends the frame, and the lines before damage stay.
TEST(QtrleDecoder, LinesBeforeAnEndOrDamageAreKept)
{
    const struct {
        Bytes data;
        int status;
    } cases[] = {
        {{0, 0, 0, 0, 0, 0, 1, 0xFE, 0xAA, 0xBB, 0xCC, 0xFF, 0, 1, 0xFE, 1, 2, 3, 0xFF}, kQtOk},
        // Line 1 is cut inside its literal.
        {{0, 0, 0, 0, 0, 0, 1, 0xFE, 0xAA, 0xBB, 0xCC, 0xFF, 1, 2, 1, 2}, kQtShortData},
    };
    for (const auto &c : cases) {
        GuardedFrame frame(2, 2, 0x00111111);
        EXPECT_EQ(decode(frame, c.data, 2, 2), c.status);
        EXPECT_EQ(frame.picture(), (Picture{0x00CCBBAA, 0x00CCBBAA, 0x00111111, 0x00111111}));
    }
}

}  // namespace
