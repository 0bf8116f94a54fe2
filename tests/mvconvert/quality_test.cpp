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

int rawBytes(CL_Handle h) { return clGetParam(h, CL_IMAGE_WIDTH) * clGetParam(h, CL_IMAGE_HEIGHT) * 4; }

// Moves one frame from the front of one buffer to the back of the other,
// writing the quality byte before it (prefix >= 0) or skipping that byte.
int move(CL_Handle h, int fromType, int fromUnits, int toType, int toUnits, int prefix)
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
    std::memcpy(out, prefix >= 0 ? in : in + 1, size_t(rawBytes(h)));
    clUpdateHead(to, toUnits);
    clUpdateTail(from, fromUnits);
    return 0;
}

int compress(CL_Handle h, int, void *, int *size, void *)
{
    const int status = move(h, CL_FRAME, 1, CL_DATA, rawBytes(h) + 1, clGetParam(h, qualityParam));
    *size += status == 0 ? rawBytes(h) + 1 : 0;
    return status;
}

int decompress(CL_Handle h, int, int, void *, void *) { return move(h, CL_DATA, rawBytes(h) + 1, CL_FRAME, 1, -1); }

// Room for any frame of the test's sizes, unless the caller says otherwise.
int getParams(CL_Handle, int *pv, int length)
{
    for (int k = 0; k + 1 < length; k += 2)
        if (pv[k] == CL_COMPRESSED_BUFFER_SIZE && pv[k + 1] == 0)
            pv[k + 1] = 1 << 20;
    return 0;
}

int nothing(CL_Handle) { return 0; }
int openCodec(int, CL_Handle *) { return 0; }
int readHeader(CL_Handle, int, void *) { return 0; }
int queryScheme(const void *) { return -1; }
int setParams(CL_Handle, int *, int) { return 0; }

TEST(Quality, ConvertAndImportCompressAtTheQualityGivenWithinItsRange)
{
    int scheme = 0;
    ASSERT_EQ(clAddAlgorithm(kScheme, CL_VIDEO, 0, openCodec, compress, nothing, openCodec, decompress, nothing,
                             readHeader, queryScheme, getParams, setParams, &scheme),
              0);
    ASSERT_EQ(clAddParam(scheme, "Quality level", CL_RANGE_VALUE, 1, 9, 5, &qualityParam), 0);
    ToolDir dir;
    MovieRecipe recipe;
    ASSERT_FALSE(dir.makeMovie("in.mv", recipe).empty());

    // Outside the scheme's range the quality is refused with the range, and
    // nothing is written.
    mvconvert::Options convert;
    convert.input = dir.path("in.mv");
    convert.output = dir.path("out.mv");
    convert.compression = "testquality";  // found without regard to case
    convert.hasQuality = true;
    const std::vector<std::string> before = dir.listing();
    for (int quality : {0, 10}) {
        convert.quality = quality;
        testing::internal::CaptureStderr();
        EXPECT_EQ(mvconvert::convertMovie(convert), 1);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("out.mv"), std::string::npos) << err;
        EXPECT_NE(err.find("--quality " + std::to_string(quality) + " is outside the range of the \"" +
                           std::string(kScheme) + "\" scheme's \"Quality level\", 1 to 9"),
                  std::string::npos)
            << err;
        EXPECT_EQ(dir.listing(), before);
    }

    convert.quality = 7;
    ASSERT_EQ(mvconvert::convertMovie(convert), 0);
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

}  // namespace
}  // namespace mvtest
