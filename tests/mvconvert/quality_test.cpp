// Compression at a chosen quality, run in-process through the tool's own
// conversion and import with a small codec registered for the test: its
// stream is the quality byte followed by the raw frame, so the stored frames
// show the quality each was compressed at, and the movie library's own
// decompressor (the same codec) must give the source pixels back.
#include "modes.h"
#include "options.h"
#include "tool_run.h"

#include <cinelark/cl.h>

#include <gtest/gtest.h>

#include <cstring>

namespace mvtest {
namespace {

constexpr const char kScheme[] = "TestQuality";
int qualityParam = 0;

// The picture size, kept from the values set on a handle so that the
// compressed buffer size can be answered without asking the handle again.
struct CodecState {
    int width = 320, height = 240;
};

CodecState *state(CL_Handle h) { return static_cast<CodecState *>(clGetUnique(h)); }
int rawBytes(CL_Handle h) { return state(h)->width * state(h)->height * 4; }

int openCodec(int, CL_Handle *h)
{
    clSetUnique(*h, new CodecState);
    return 0;
}

int closeCodec(CL_Handle h)
{
    delete state(h);
    clSetUnique(h, nullptr);
    return 0;
}

// Moves n bytes from the front of one buffer to the back of the other,
// after the prefix byte when one is given (compressing) or skipping it.
int move(CL_Handle h, int fromType, int toType, int fromUnits, int toUnits, int bytes, int prefix)
{
    CL_BufferHdl from = clQueryBufferHdl(h, fromType, nullptr), to = clQueryBufferHdl(h, toType, nullptr);
    void *src = nullptr, *dst = nullptr;
    int wrap = 0;
    if (clQueryValid(from, fromUnits, &src, &wrap) < fromUnits || clQueryFree(to, toUnits, &dst, &wrap) < toUnits)
        return CL_ERR_NO_DATA;
    uint8_t *out = static_cast<uint8_t *>(dst);
    const uint8_t *in = static_cast<const uint8_t *>(src);
    if (prefix >= 0)
        *out++ = uint8_t(prefix);
    else
        ++in;
    std::memcpy(out, in, size_t(bytes));
    clUpdateHead(to, toUnits);
    clUpdateTail(from, fromUnits);
    return 0;
}

int compress(CL_Handle h, int, void *, int *size, void *)
{
    const int bytes = rawBytes(h);
    const int status = move(h, CL_FRAME, CL_DATA, 1, bytes + 1, bytes, clGetParam(h, qualityParam));
    *size += status == 0 ? bytes + 1 : 0;
    return status;
}

int decompress(CL_Handle h, int, int, void *, void *)
{
    const int bytes = rawBytes(h);
    return move(h, CL_DATA, CL_FRAME, bytes + 1, 1, bytes, -1);
}

int getParams(CL_Handle h, int *pv, int length)
{
    for (int k = 0; k + 1 < length; k += 2)
        if (pv[k] == CL_COMPRESSED_BUFFER_SIZE && pv[k + 1] == 0)
            pv[k + 1] = rawBytes(h) + 1;
    return 0;
}

int setParams(CL_Handle h, int *pv, int length)
{
    for (int k = 0; k + 1 < length; k += 2) {
        if (pv[k] == CL_IMAGE_WIDTH)
            state(h)->width = pv[k + 1];
        if (pv[k] == CL_IMAGE_HEIGHT)
            state(h)->height = pv[k + 1];
    }
    return 0;
}

int readHeader(CL_Handle, int, void *) { return 0; }
int queryScheme(const void *) { return -1; }

class Quality : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        int scheme = 0;
        ASSERT_EQ(clAddAlgorithm(kScheme, CL_VIDEO, 0, openCodec, compress, closeCodec, openCodec, decompress,
                                 closeCodec, readHeader, queryScheme, getParams, setParams, &scheme),
                  0);
        ASSERT_EQ(clAddParam(scheme, "Quality level", CL_RANGE_VALUE, 1, 9, 5, &qualityParam), 0);
    }

    mvconvert::Options convertOptions(int quality) const
    {
        mvconvert::Options o;
        o.input = dir.path("in.mv");
        o.output = dir.path("out.mv");
        o.compression = "testquality";  // found without regard to case
        o.hasQuality = true;
        o.quality = quality;
        return o;
    }

    ToolDir dir;
};

TEST_F(Quality, ConvertAndImportCompressAtTheQualityGiven)
{
    MovieRecipe recipe;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    ASSERT_EQ(mvconvert::convertMovie(convertOptions(7)), 0);
    MovieContents in, out;
    ASSERT_TRUE(readMovie(dir.path("in.mv"), &in));
    ASSERT_TRUE(readMovie(dir.path("out.mv"), &out));
    EXPECT_EQ(out.compression, kScheme);
    EXPECT_EQ(out.frames, in.frames) << "the library's decompressor must read what the tool stored";
    EXPECT_EQ(out.audio, in.audio);
    EXPECT_EQ(out.title, in.title);
    ASSERT_EQ(out.stored.size(), size_t(recipe.frames));
    for (const std::vector<uint8_t> &stored : out.stored) {
        ASSERT_EQ(stored.size(), size_t(recipe.width * recipe.height * 4 + 1));
        EXPECT_EQ(stored[0], 7);
    }

    ASSERT_TRUE(dir.makePictures("p%d.png", 0, 2, 5, 3));
    mvconvert::Options o;
    o.fromFrames = dir.path("p%d.png");
    o.rate = 10;
    o.output = dir.path("made.mv");
    o.compression = kScheme;
    o.hasQuality = true;
    o.quality = 2;
    ASSERT_EQ(mvconvert::importPictures(o), 0);
    MovieContents made;
    ASSERT_TRUE(readMovie(o.output, &made));
    ASSERT_EQ(made.frames.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(made.stored[size_t(n)][0], 2);
        EXPECT_EQ(made.frames[size_t(n)], storedFromPicture(5, 3, testPicture(5, 3, n)));
    }
}

TEST_F(Quality, OutsideTheRangeIsRefusedWithTheRange)
{
    MovieRecipe recipe;
    recipe.audioWidth = 0;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());
    const std::vector<std::string> before = dir.listing();
    for (int quality : {0, 10}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(mvconvert::convertMovie(convertOptions(quality)), 1);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("out.mv"), std::string::npos) << err;
        EXPECT_NE(err.find("--quality " + std::to_string(quality) + " is outside the range of the \"" +
                           std::string(kScheme) + "\" scheme's \"Quality level\", 1 to 9"),
                  std::string::npos)
            << err;
        EXPECT_EQ(dir.listing(), before);
    }
}

}  // namespace
}  // namespace mvtest
