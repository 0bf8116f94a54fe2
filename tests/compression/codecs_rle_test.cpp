// The "RLE" and "RLE24" codecs.
#include <cinelark/colorspace.h>

#include "capture.h"
#include "codecs_test_util.h"

namespace {

using namespace codectest;

// 64 distinct pixels: a group of 63, then the last one alone as a run of 1.
Bytes SixtyFourDistinct() { return Concat(Concat({0xFF}, Counting(63)), {0x01, 63}); }

// One-row frames code as worked out by hand ("RLE24" stores three bytes per
// word, low byte first) and decode back without writing past the frame.
TEST(RleGolden, CodesAsTheFormatSaysAndDecodesBack) {
  const struct {
    const char* name;
    int scheme;
    Bytes pixels, codes, decoded{};  // decoded empty: the pixels themselves
  } cases[] = {{"OneRun", CL_RLE, {7, 7, 7, 7}, {0x04, 0x07}},
               {"OneGroup", CL_RLE, {1, 2, 3}, {0xC3, 1, 2, 3}},
               {"RunThenGroup", CL_RLE, {5, 5, 1, 2}, {0x02, 5, 0xC2, 1, 2}},
               {"SinglePixel", CL_RLE, {9}, {0xC1, 9}},
               {"GroupRunSingle", CL_RLE, {1, 2, 2, 3}, {0xC1, 1, 0x02, 2, 0x01, 3}},
               {"SingleAfterRunGrows", CL_RLE, {1, 1, 2, 3, 4}, {0x02, 1, 0xC3, 2, 3, 4}},
               {"LongRunSplits", CL_RLE, Bytes(200, 9), {191, 9, 9, 9}},
               {"LongestRun", CL_RLE, Bytes(191, 4), {191, 4}},
               {"SixtyFourDistinct", CL_RLE, Counting(64), SixtyFourDistinct()},
               // Whole words compare: the top byte 0xFF breaks the run.
               {"WordsCompareWhole", CL_RLE24,
                {0x11, 0x22, 0x33, 0, 0x11, 0x22, 0x33, 0, 0x44, 0x55, 0x66, 0, 0x11, 0x22, 0x33, 0xFF, 0x11, 0x22, 0x33, 0},
                {0x02, 0x11, 0x22, 0x33, 0xC3, 0x44, 0x55, 0x66, 0x11, 0x22, 0x33, 0x11, 0x22, 0x33},
                {0x11, 0x22, 0x33, 0, 0x11, 0x22, 0x33, 0, 0x44, 0x55, 0x66, 0, 0x11, 0x22, 0x33, 0, 0x11, 0x22, 0x33, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int format = c.scheme == CL_RLE ? CL_RGB332 : CL_RGBX, n = int(c.pixels.size()) / (format == CL_RGBX ? 4 : 1);
    Handle enc(c.scheme, true, n, 1, format);
    const Bytes stream = enc.Compress(c.pixels.data(), 1);
    EXPECT_EQ(stream, Concat(VideoHeader(c.scheme, format, n, 1), c.codes));
    Bytes out(c.pixels.size() + 8, 0xEE);
    ASSERT_EQ(clDecompressImage(c.scheme, n, 1, format, int(stream.size()), const_cast<uint8_t*>(stream.data()),
                                out.data()),
              0);
    EXPECT_EQ(out, Concat(c.decoded.empty() ? c.pixels : c.decoded, Bytes(8, 0xEE)));
  }
}

// A picture with runs, gradients and noise, in RGBX words whose fourth
// byte is not zero; each frame its own.
Bytes TestPicture(int w, int h, int frame) {
  Bytes p;
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = int(seed >> 16) & 0xFF;
      if (x < w / 3) p.insert(p.end(), {uint8_t(0x30 + frame), 0x20, 0x10, 0x7F});
      else p.insert(p.end(), {uint8_t(x * 3 + frame), uint8_t(y * 5), uint8_t(noise), 0x7F});
    }
  }
  return p;
}

Bytes Convert(const Bytes& from, int fromFormat, int toFormat, int w, int h) {
  if (fromFormat == toFormat) return from;
  Bytes to(size_t(w * h * StoredBytes(toFormat)));
  EXPECT_EQ(csConvert(w, h, fromFormat, from.data(), toFormat, to.data()), 0);
  return to;
}

// Frames come back as the converters bring them to the stored layout and
// back; "RLE24" stores RGBA frames as RGBX words. Only the first call's
// stream carries the header.
TEST(RleRoundTrip, FramesComeBackThroughTheStoredLayoutOverSeveralCalls) {
  const struct {
    int scheme, original, internal, stored;
  } cases[] = {{CL_RLE24, CL_RGBX, CL_RGBX, CL_RGBX}, {CL_RLE24, CL_RGBA, CL_RGBX, CL_RGBX},
               {CL_RLE24, CL_RGBX, -1, CL_RGBX},     {CL_RLE24, CL_RGB, -1, CL_RGBX},
               {CL_RLE, CL_RGB332, -1, CL_RGB332},  {CL_RLE, CL_RGBX, -1, CL_RGB332}};
  constexpr int w = 37, h = 11;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.scheme << " " << c.original << " " << c.internal);
    const std::initializer_list<int> params = {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_ORIGINAL_FORMAT, c.original};
    Handle enc(c.scheme, true, params);
    clSetParam(enc, CL_INTERNAL_FORMAT, c.internal);
    Handle dec(c.scheme, false, params);
    for (int frame = 0; frame < 2; ++frame) {
      const Bytes picture = Convert(TestPicture(w, h, frame), CL_RGBX, c.original, w, h);
      Bytes expected = Convert(Convert(picture, c.original, c.stored, w, h), c.stored, c.original, w, h);
      const Bytes data = enc.Compress(picture.data(), 1);
      EXPECT_EQ(clQueryScheme(data.data()) == c.scheme, frame == 0);
      Bytes out = dec.Decompress(data, picture.size());
      EXPECT_EQ(clGetParam(dec, CL_INTERNAL_FORMAT), c.stored);
      for (size_t i = 3; StoredBytes(c.original) == 4 && i < out.size(); i += 4) out[i] = expected[i] = 0;
      EXPECT_EQ(out, expected) << "frame " << frame;
    }
  }
}

TEST(RleParams, UnsupportedInternalFormatsAreReportedAndReplaced) {
  CapturedErrors errors;
  const Bytes picture = {1, 1};
  {
    Handle enc(CL_RLE, true, 2, 1, CL_RGB332, {CL_INTERNAL_FORMAT, CL_RGBX});
    Bytes data = enc.Compress(picture.data(), 1);
    EXPECT_EQ(errors.reports()[0].code, CL_ERR_BAD_INTERNAL_FORMAT);
    EXPECT_EQ(errors.only(), "clCompress RLE: invalid internal format 1.\n");
    EXPECT_EQ(clGetParam(enc, CL_INTERNAL_FORMAT), CL_RGB332);
    EXPECT_EQ(Bytes(data.begin() + 64, data.end()), (Bytes{0x02, 1}));
  }
  {
    Handle dec(CL_RLE24, false, 2, 1, CL_RGBX, {CL_INTERNAL_FORMAT, CL_RGB});
    Bytes stream = Concat(VideoHeader(CL_RLE24, CL_RGBX, 2, 1), {0x02, 1, 2, 3});
    std::vector<uint32_t> out(2, 0);
    // The header's own internal format settles the question before decoding.
    ASSERT_EQ(clDecompress(dec, 1, int(stream.size()), stream.data(), out.data()), 0);
    EXPECT_TRUE(errors.reports().empty());
    EXPECT_EQ(out, (std::vector<uint32_t>{0x030201, 0x030201}));

    Handle raw(CL_RLE24, false, 1, 1, CL_RGBX, {CL_INTERNAL_FORMAT, CL_RGB});
    Bytes headerless(64, 0x00);  // 16 empty runs, then one pixel
    headerless.insert(headerless.end(), {0x01, 7, 8, 9});
    ASSERT_EQ(clDecompress(raw, 1, int(headerless.size()), headerless.data(), out.data()), 0);
    EXPECT_EQ(errors.only(), "clDecompress RLE24: invalid internal format 0. Using CL_RGBX\n");
    EXPECT_EQ(clGetParam(raw, CL_INTERNAL_FORMAT), CL_RGBX);
    EXPECT_EQ(out[0], 0x090807u);
  }
}

TEST(RleCompress, TooSmallABufferKeepsWhatFitsAndSaysSo) {
  CapturedErrors errors;
  const Bytes picture = Counting(100);  // codes to 63 + 1 + 37 + 1 = 102 bytes
  Handle enc(CL_RLE, true, 100, 1, CL_RGB332, {CL_COMPRESSED_BUFFER_SIZE, 64 + 50});
  Bytes data = enc.Compress(picture.data(), 1);
  EXPECT_EQ(data.size(), 114u);
  EXPECT_EQ(errors.only(), "clCompress RLE: internal error (byteCount 102 != 50).\n");
  EXPECT_EQ(data[64], 0xFF);
  EXPECT_EQ(Bytes(data.begin() + 65, data.end()), Counting(49));
}

}  // namespace
