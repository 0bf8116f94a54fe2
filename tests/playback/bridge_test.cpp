// The codec bridge: choosing coders, buffer sizes, round trips and errors.
#include <gtest/gtest.h>

#include <cinelark/cl.h>
#include <cinelark/movie.h>
#include <cinelark/playback.h>

#include <cstring>
#include <memory>
#include <string>

#include "codec_bridge.h"
#include "engine_hooks.h"
#include "error.h"
#include "probe_codec.h"
#include "qt_tools.h"
#include "quicktime_coders.h"

using namespace qt_tools;

namespace {

struct CodecCloser {
    void operator()(MVcodec *c) const { __mvCD_Destroy(c); }
};
using Codec = std::unique_ptr<MVcodec, CodecCloser>;

Codec make(const char *name, int width, int height, int depth = 24,
           int packing = DM_PACKING_RGBX)
{
    MVcodec *c = nullptr;
    __mvCD_Create(name, width, height, depth, packing, &c);
    return Codec(c);
}

class Bridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        mvInitQuickTime();
        probeScheme();
    }
};

size_t bufferSize(MVcodec *c)
{
    size_t bytes = 0;
    EXPECT_EQ(__mvCD_BufferSize(c, &bytes), 0);
    return bytes;
}

// Compresses a copy of a bottom-up frame; returns the stored bytes.
Bytes compress(MVcodec *c, const Picture &frame, int *key)
{
    Picture copy = frame;
    Bytes out(bufferSize(c));
    size_t size = 0;
    EXPECT_EQ(__mvCD_Compress(c, &size, key, copy.data(), out.size(), out.data()), 0)
        << mvGetErrorStr(mvGetErrno());
    out.resize(size);
    return out;
}

Picture decompress(MVcodec *c, const Bytes &data, size_t pixels)
{
    Picture frame(pixels, 0x00ABCDEF);
    EXPECT_EQ(__mvCD_Decompress(c, data.size(), data.data(), frame.data()), 0)
        << mvGetErrorStr(mvGetErrno());
    return frame;
}

TEST_F(Bridge, NamesChooseTheirKindAndBufferSizeOrAreUnknownSchemes)
{
    // Kind -1: unknown. The library knows "u-law (G.711)" only as audio; a
    // video search misses it and no exact name matches either. The library
    // codec's buffer size is its own answer.
    const struct {
        const char *name;
        int kind;
        size_t buffer;
    } cases[] = {{kProbeName, MV_CODEC_LIBRARY, 16 * 8 * 4 + 64},
                 {"bridge probe", MV_CODEC_LIBRARY, 16 * 8 * 4 + 64},
                 {"Apple Video", MV_CODEC_APPLE_VIDEO, 16 * 8 * 4 + 1024},
                 {"8RGB", MV_CODEC_8RGB, 16 * 8},
                 {"Apple Animation", MV_CODEC_APPLE_ANIMATION, 16 * 8 * 4 + 1024},
                 {"No Such Scheme", -1, 0}, {"u-law (G.711)", -1, 0}, {"apple video", -1, 0},
                 {"8rgb", -1, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MVcodec *made = reinterpret_cast<MVcodec *>(1);
        const int status = __mvCD_Create(c.name, 16, 8, 24, DM_PACKING_RGBX, &made);
        Codec codec(status == 0 ? made : nullptr);
        if (c.kind < 0) {
            EXPECT_EQ(status, -1);
            EXPECT_EQ(mvGetErrno(), MV_ERR_UNKNOWN_SCHEME);
            EXPECT_EQ(made, nullptr);
            continue;
        }
        ASSERT_EQ(status, 0) << mvGetErrorStr(mvGetErrno());
        EXPECT_EQ(codec->kind, c.kind);
        EXPECT_EQ(codec->name, c.name);
        EXPECT_EQ(bufferSize(codec.get()), c.buffer);
    }
    EXPECT_EQ(make(kProbeName, 16, 8)->scheme, probeScheme());

    // The QuickTime names need their coders.
    auto saved = std::make_tuple(__mvQTRPZADecompress, __mvQTRPZACompress, __mvQTRLEDecompress,
                                 __mvQTRLECompress);
    __mvQTRPZACompress = nullptr;
    __mvQTRLEDecompress = nullptr;
    for (const char *name : {"Apple Video", "Apple Animation"}) {
        MVcodec *c = nullptr;
        EXPECT_EQ(__mvCD_Create(name, 16, 8, 24, DM_PACKING_RGBX, &c), -1) << name;
        EXPECT_EQ(mvGetErrno(), MV_ERR_QT_NO_CODECS) << name;
    }
    std::tie(__mvQTRPZADecompress, __mvQTRPZACompress, __mvQTRLEDecompress, __mvQTRLECompress) =
        saved;
    EXPECT_NE(make("Apple Video", 16, 8), nullptr);
}

TEST_F(Bridge, EightBitFramesKeepTheTopBitsOfEachColour)
{
    Codec c = make("8RGB", 2, 1);
    int key = 1;
    Bytes b = compress(c.get(), {0x00FFFFFF, 0x00808080}, &key);
    EXPECT_EQ(b, (Bytes{0xFF, 0x94}));
    EXPECT_EQ(key, 0);
    EXPECT_EQ(decompress(c.get(), b, 2), (Picture{0x00FFFFFF, 0x00AA9292}));

    // Every byte expands to a colour that compresses back to it.
    Codec all = make("8RGB", 256, 1);
    Bytes codes(256);
    for (int i = 0; i < 256; i++)
        codes[size_t(i)] = uint8_t(i);
    Picture expanded = decompress(all.get(), codes, 256);
    EXPECT_EQ(compress(all.get(), expanded, &key), codes);
    EXPECT_EQ(expanded[0x1F], 0x00FFFF00u);      // blue and green full, red none

    // A short frame is black where bytes are missing.
    Codec four = make("8RGB", 4, 1);
    const Bytes half = {0xFF, 0xFF};
    Picture frame(4, 0x00123456);
    EXPECT_EQ(__mvCD_Decompress(four.get(), half.size(), half.data(), frame.data()), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_COMPRESSION);
    EXPECT_EQ(frame, (Picture{0x00FFFFFF, 0x00FFFFFF, 0, 0}));
}

TEST_F(Bridge, LibraryCodecsGetThePictureAndRoundTrip)
{
    const int w = 8, h = 4;
    int before = probeRecord().compressions;
    Codec c = make(kProbeName, w, h);
    ASSERT_NE(c, nullptr);
    // Creating exercised the codec once each way.
    EXPECT_EQ(probeRecord().compressions, before + 1);
    const std::map<int, int> &p = probeRecord().params;
    EXPECT_EQ(p.at(CL_IMAGE_WIDTH), w);
    EXPECT_EQ(p.at(CL_IMAGE_HEIGHT), h);
    EXPECT_EQ(p.at(CL_BITS_PER_COMPONENT), 8);
    EXPECT_EQ(p.at(CL_FRAME_RATE), 30);
    EXPECT_EQ(p.at(CL_ORIENTATION), 1);
    EXPECT_EQ(p.at(CL_ORIGINAL_FORMAT), CL_RGBX);

    const Picture frame = movingClip(w, h, 1)[0];
    int key = -1;
    Bytes b = compress(c.get(), frame, &key);
    ASSERT_EQ(b.size(), frame.size() * 4);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(b[0], uint8_t(~frame[0]));
    // The compressor was told the size of the buffer it writes into.
    EXPECT_EQ(p.at(CL_COMPRESSED_BUFFER_SIZE), int(bufferSize(c.get())));
    EXPECT_EQ(decompress(c.get(), b, frame.size()), frame);
    // The original format follows the packing.
    for (auto [packing, format] :
         {std::pair{DM_PACKING_GRAY, CL_GRAYSCALE}, {DM_PACKING_XBGR, CL_RGB}}) {
        ASSERT_NE(make(kProbeName, w, h, 24, packing), nullptr) << mvGetErrorStr(mvGetErrno());
        EXPECT_EQ(p.at(CL_ORIGINAL_FORMAT), format) << packing;
    }
}

// Counts the reports that reach a handler of the test's own.
int reportsSeen = 0;
void countingHandler(CL_Handle, int, const char *, ...) { reportsSeen++; }

TEST_F(Bridge, CoderFailuresAre1022WithTheCodersTextAndStayQuiet)
{
    reportsSeen = 0;
    CL_ErrorHandler previous = clSetErrorHandler(countingHandler);
    // A damaged QuickTime frame names its coder.
    Codec qt = make("Apple Animation", 4, 2);
    Bytes cut = {0, 0, 0, 20, 0, 0, 1, 4, 1, 2, 3};
    Picture frame(8, 0);
    EXPECT_EQ(__mvCD_Decompress(qt.get(), cut.size(), cut.data(), frame.data()), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_COMPRESSION);
    EXPECT_STREQ(mvGetErrorStr(MV_ERR_COMPRESSION),
                 "Error in compression library: Apple Animation: the compressed frame ends "
                 "before the picture does");

    // The library lists this board codec but has no code for it.
    MVcodec *c = nullptr;
    EXPECT_EQ(__mvCD_Create("HwJpeg", 16, 8, 24, DM_PACKING_RGBX, &c), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_COMPRESSION);
    std::string text = mvGetErrorStr(MV_ERR_COMPRESSION);
    EXPECT_EQ(text.rfind("Error in compression library: ", 0), 0u) << text;
    EXPECT_NE(text.find("HwJpeg"), std::string::npos) << text;
    EXPECT_EQ(text.back() == '\n', false);
    EXPECT_EQ(c, nullptr);

    Codec probe = make(kProbeName, 8, 4);
    ASSERT_NE(probe, nullptr);
    probeRecord().refuseNext = true;
    frame.assign(32, 0);
    Bytes out(bufferSize(probe.get()));
    size_t size = 0;
    int key = 0;
    EXPECT_EQ(__mvCD_Compress(probe.get(), &size, &key, frame.data(), out.size(), out.data()), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_COMPRESSION);
    EXPECT_STREQ(__mvErrorDetail, "clCompress Bridge Probe: refused frame 7");
    cut.assign(10, 0);
    EXPECT_EQ(__mvCD_Decompress(probe.get(), cut.size(), cut.data(), frame.data()), -1);
    EXPECT_EQ(mvGetErrno(), MV_ERR_COMPRESSION);
    EXPECT_NE(std::string(__mvErrorDetail).find("cut short"), std::string::npos);

    // None of it reached the handler that was installed, which is back.
    EXPECT_EQ(reportsSeen, 0);
    EXPECT_EQ(clSetErrorHandler(previous), countingHandler);
}

}  // namespace
