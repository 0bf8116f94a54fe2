// The "MVC1" codec.
#include <cstdlib>

#include "capture.h"
#include "codecs_test_util.h"

namespace {

using namespace codectest;
using Words = std::vector<uint32_t>;

Bytes Header(int internal, int width, int height) {
  const uint32_t w = uint32_t(width), ratio = uint32_t(FloatBits(5.3f));
  return StreamHeader(CL_MVC1, internal, 30.0f,
                                 {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, uint32_t(height), CL_COMPRESSION_RATIO, ratio,
                                  CL_IMAGE_WIDTH, w});
}

// Big-endian 16-bit words, then single bytes, as blocks are stored.
Bytes Codes(std::initializer_list<uint16_t> words, Bytes bytes = {}) {
  Bytes b;
  for (uint16_t w : words) b.insert(b.end(), {uint8_t(w >> 8), uint8_t(w)});
  return Concat(b, bytes);
}

// Pixel words of 15-bit colours as the decoder expands them.
constexpr uint32_t R = 0xF8, G = 0xF800, B = 0xF80000;
constexpr uint16_t kRed15 = 0x7C00, kGreen15 = 0x03E0, kBlue15 = 0x001F, kWhite15 = 0x7FFF;

// Decodes stream into a frame of the original format; memory order when
// "Orientation" is 1.
Words Decode(const Bytes& stream, int w, int h, int original, int orientation, int* result = nullptr) {
  Handle dec(CL_MVC1, false, w, h, original, {CL_ORIENTATION, orientation});
  const size_t bytes = size_t(w * h) * (original == CL_GRAYSCALE ? 1 : 4);
  const Bytes frame = dec.Decompress(stream, bytes + 4, 1, result);  // four guard bytes after the frame
  EXPECT_EQ(Bytes(frame.end() - 4, frame.end()), Bytes(4, 0xEE)) << "written past the frame";
  Words out(size_t(w * h));
  for (size_t i = 0; i < out.size(); ++i) {
    if (original == CL_GRAYSCALE) out[i] = frame[i];
    else std::memcpy(&out[i], &frame[4 * i], 4);
  }
  return out;
}

constexpr uint32_t K1 = 0x080808, K2 = 0x101010, K3 = 0x181818, K4 = 0x202020;

// Hand-built blocks decode to their pixels; "Orientation" 0 turns the rows
// over, the stream running up the picture.
TEST(Mvc1Blocks, DecodeToTheirPixels) {
  const struct {
    const char* name;
    int internal, width, height;
    Bytes blocks;
    Words memory;  // the decoded picture, first row in memory first
  } cases[] = {
      {"AllOnesTakeTheFirstColour", CL_RGBX, 4, 4, Codes({0xFFFF, kRed15, 0}), Words(16, R)},
      // Bit 0 is pixel 0 of mask row 0, the row with the highest address.
      {"BitZeroIsTheLeftPixelOfTheLastRow", CL_RGBX, 4, 4, Codes({0x0001, kRed15, kBlue15}),
       {B, B, B, B, B, B, B, B, B, B, B, B, R, B, B, B}},
      // Eight colours (18 bytes), then a two-colour block beside it; bit 15
      // of the second colour is ignored.
      {"EightColoursThenTwo", CL_RGBX, 8, 4,
       Concat(Codes({0x00FF, 0x8000 | kRed15, kWhite15, kGreen15, kWhite15, kWhite15, kBlue15, kWhite15, 0x0001}),
              Codes({0xFF00, kGreen15, 0x8000 | kBlue15})),
       {B, B, 0x080000, 0x080000, G, G, G, G,  //
        B, B, 0x080000, 0x080000, G, G, G, G,  //
        R, R, G, G, B, B, B, B,                //
        R, R, G, G, B, B, B, B}},
      // The partial band (the last two rows in memory) comes first; the
      // last block of each band keeps two columns.
      {"SixBySix", CL_RGBX, 6, 6,
       Concat(Concat(Codes({0, 0, 0x0421}), Codes({0, 0, 0x0842})),
              Concat(Codes({0, 0, 0x0C63}), Codes({0, 0, 0x1084}))),
       {K3, K3, K3, K3, K4, K4, K3, K3, K3, K3, K4, K4, K3, K3, K3, K3, K4, K4,
        K3, K3, K3, K3, K4, K4, K1, K1, K1, K1, K2, K2, K1, K1, K1, K1, K2, K2}},
      // Greyscale lists the value of 0 bits first.
      {"GreyTwoValues", CL_GRAYSCALE, 4, 4, Codes({0x0001}, {10, 200}),
       {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 200, 10, 10, 10}},
      {"GreyEightValuesInAThreeRowPicture", CL_GRAYSCALE, 5, 3,
       Concat(Codes({0x0F0F}, {10, 21, 30, 40, 50, 60, 70, 80}), Codes({0xFFFF}, {1, 2})),
       {50, 50, 70, 70, 2, 60, 60, 80, 80, 2, 10, 10, 30, 30, 2}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes stream = Concat(Header(c.internal, c.width, c.height), c.blocks);
    EXPECT_EQ(Decode(stream, c.width, c.height, c.internal, 1), c.memory);
    const Words flipped = Decode(stream, c.width, c.height, c.internal, 0);
    for (int y = 0; y < c.height; ++y) {
      EXPECT_TRUE(std::equal(flipped.begin() + y * c.width, flipped.begin() + (y + 1) * c.width,
                             c.memory.begin() + (c.height - 1 - y) * c.width))
          << "row " << y;
    }
  }
}

// A picture with smooth shading, a hard-edged square and a thin line.
Bytes Picture(int w, int h, int format) {
  Bytes p;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool square = x >= w / 4 && x < w / 2 && y >= h / 4 && y < h / 2;
      int r = square ? 230 : 40 + 8 * x % 200, g = square ? 30 : 60 + 6 * y % 180;
      int b = y == h * 3 / 4 ? 250 : 90;
      if (format == CL_GRAYSCALE) p.push_back(uint8_t((r + g + b) / 3));
      else p.insert(p.end(), {uint8_t(r), uint8_t(g), uint8_t(b), 0});
    }
  }
  return p;
}

// A finer ratio never codes smaller or worse; at the finest, eight colours
// where there are edges keep the mean error near the 5-bit rounding.
TEST(Mvc1RoundTrip, SizeAndErrorFollowTheRatio) {
  const struct {
    int w, h, format, orientation;
  } pictures[] = {{64, 48, CL_RGBX, 1}, {13, 7, CL_RGBX, 0},       {6, 6, CL_RGBA, 1},
                  {1, 1, CL_RGBX, 1},   {30, 22, CL_GRAYSCALE, 1}, {9, 5, CL_GRAYSCALE, 0}};
  for (const auto& [w, h, format, orientation] : pictures) {
    SCOPED_TRACE(testing::Message() << w << "x" << h << " " << format);
    const Bytes picture = Picture(w, h, format);
    const int channels = format == CL_GRAYSCALE ? 1 : 3, stride = format == CL_GRAYSCALE ? 1 : 4;
    const int blocks = (w + 3) / 4 * ((h + 3) / 4);
    const int two = format == CL_GRAYSCALE ? 4 : 6, eight = format == CL_GRAYSCALE ? 10 : 18;
    int previousSize = 0;
    double previousError = 256;
    for (float ratio : {8.0f, 5.3f, 2.6666667f}) {
      Handle enc(CL_MVC1, true, w, h, format, {CL_ORIENTATION, orientation, CL_COMPRESSION_RATIO, FloatBits(ratio)});
      const Bytes stream = enc.Compress(picture.data(), 1);
      EXPECT_EQ(clGetParam(enc, CL_INTERNAL_FORMAT), format == CL_GRAYSCALE ? CL_GRAYSCALE : CL_RGBX);
      const int size = int(stream.size()) - 80;
      EXPECT_EQ((size - two * blocks) % (eight - two), 0) << "whole blocks";
      EXPECT_GE(size, previousSize) << ratio;
      const Words out = Decode(stream, w, h, format, orientation);
      double error = 0;
      for (size_t i = 0; i < out.size(); ++i)
        for (int k = 0; k < channels; ++k)
          error += std::abs(int(out[i] >> (8 * k) & 0xFF) - int(picture[i * stride + k]));
      error /= double(out.size() * channels);
      EXPECT_LE(error, previousError) << ratio;
      previousSize = size;
      previousError = error;
    }
    EXPECT_LE(previousError, format == CL_GRAYSCALE ? 2.0 : 4.0);
  }
}

// The header is eighty bytes of the caller's settings and is recognised; a
// compressor out of room fails.
TEST(Mvc1Stream, HeaderAndBufferSize) {
  const Bytes picture = Picture(8, 4, CL_RGBX);
  int size = 0;
  Bytes data(80 + 2 * 18);
  ASSERT_EQ(clGetParam(Handle(CL_MVC1, true, {CL_IMAGE_WIDTH, 8, CL_IMAGE_HEIGHT, 4}), CL_COMPRESSED_BUFFER_SIZE),
            80 + 2 * 18);
  ASSERT_EQ(clCompressImage(CL_MVC1, 8, 4, CL_RGBX, 5.3f, const_cast<uint8_t*>(picture.data()), &size, data.data()),
            0);
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 80), Header(CL_RGBX, 8, 4));
  EXPECT_EQ(clQueryScheme(data.data()), CL_MVC1);
  Handle dec(CL_MVC1, false);
  EXPECT_EQ(clReadHeader(dec, 80, data.data()), 80);
  EXPECT_EQ(clGetParam(dec, CL_IMAGE_WIDTH), 8);
  EXPECT_EQ(clGetParam(dec, CL_IMAGE_HEIGHT), 4);

  CapturedErrors errors;
  Handle enc(CL_MVC1, true, {CL_IMAGE_WIDTH, 8, CL_IMAGE_HEIGHT, 4, CL_COMPRESSED_BUFFER_SIZE, 90});
  int result = 0;
  EXPECT_EQ(enc.Compress(picture.data(), 1, &result).size(), 80u);
  EXPECT_EQ(result, CL_ERR_NO_DATA);
  EXPECT_NE(errors.last().find("unable to get data space"), std::string::npos);
}

const Bytes kHeader8x4 = Header(CL_RGBX, 8, 4);
const Bytes kTwoBlocks = Concat(Codes({0xFFFF, kRed15, 0}), Codes({0, 0, kBlue15}));

// Streams that run short, run over or name a picture larger than the
// caller's frame fail with a report.
TEST(Mvc1Damage, FailsCleanly) {
  const struct {
    const char* name;
    Bytes stream;
    const char* message;
  } cases[] = {
      {"HeaderCut", Bytes(kHeader8x4.begin(), kHeader8x4.begin() + 40),
       "insufficient data for header (80 bytes needed, 40 free)"},
      {"EightColourBlockCut", Concat(kHeader8x4, Codes({0, 0x8000, 1, 2, 3})), "run short"},
      {"BytesLeftOver", Concat(Concat(kHeader8x4, kTwoBlocks), {0}), "(93 given, 92 used)"},
      {"PictureLargerThanTheFrame", Concat(Header(CL_RGBX, 8, 8), kTwoBlocks), "cannot hold 8 x 8"},
      {"InternalFormatOfAnotherCodec", Concat(Header(CL_RGBA, 8, 4), kTwoBlocks), "invalid internal format 2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CapturedErrors errors;
    int result = 0;
    Decode(c.stream, 8, 4, CL_RGBX, 1, &result);
    EXPECT_EQ(result, CL_ERR_NO_DATA);
    EXPECT_NE(errors.last().find(c.message), std::string::npos) << errors.last();
  }
}

}  // namespace
