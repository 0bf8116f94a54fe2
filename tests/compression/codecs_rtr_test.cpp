// The "RTR" codec: its block pieces and the codec through the cl calls.
#include <cstdlib>

#include "capture.h"
#include "codecs/rtr/rtr_block.h"
#include "codecs_test_util.h"

namespace {

using namespace codectest;
namespace rtr = cl::codecs::rtr;

// Coefficients by zig-zag position and their codes worked out by hand. Codes
// an encoder never writes mark the block damaged and end it.
TEST(RtrBlock, CodesAndDecodesBack) {
  // The DC, then value at the last n positions.
  auto dcThenLast = [](int dc, int value, int n = 1) {
    std::vector<int> zigzag(64, 0);
    zigzag[0] = dc;
    std::fill(zigzag.end() - n, zigzag.end(), value);
    return zigzag;
  };
  const struct {
    const char* name;
    std::vector<int> zigzag;
    Bytes codes;
    int damagedUses = 0;  // bytes a damaged block uses
  } cases[] = {{"flat", {128}, {128, 0x3F}},
               {"pair", {9, 2, -1}, {9, 0xAA, 0x3D}},
               {"escape", {0, 40}, {0, 0xFF, 0xA8, 0x3E}},
               {"single", {0, -31}, {0, 0xC0, 0x3E}},
               {"run", {7, -2, -2, -2, -2, -2}, {7, 0x5A, 0x3A}},
               {"long run as singles", {1, 0, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5},
                {1, 0xDF, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0x34}},
               {"last alone", dcThenLast(0, -128), {0, 62, 0xFF, 0x00}},
               {"run past the end", dcThenLast(5, 4, 3), {5, 60, 0x7F}, 3},
               {"negative run past the end", dcThenLast(5, -3), {5, 62, 0x80}, 3},
               {"empty code", dcThenLast(5, 0), {5, 0x00, 0xC1}, 2},
               {"run with no value", dcThenLast(5, 0), {5, 62, 2}, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t q[64] = {};
    for (size_t p = 0; p < c.zigzag.size(); ++p) q[rtr::kZigZag[p]] = c.zigzag[p];
    if (c.damagedUses == 0) {
      uint8_t out[rtr::kMaxBlockBytes];
      EXPECT_EQ(Bytes(out, out + rtr::CodeBlock(q, out)), c.codes);
    }
    // At quality 1 the luminance shifts are all 6: decoding gives q itself.
    Bytes padded(c.codes);
    padded.resize(rtr::kMaxBlockBytes, c.damagedUses ? 0xC1 : 0x99);
    int32_t d[64];
    bool damaged = false;
    const int used = c.damagedUses ? c.damagedUses : int(c.codes.size());
    EXPECT_EQ(rtr::DecodeBlock(padded.data(), rtr::Shifts(1, false), d, &damaged), used);
    EXPECT_EQ(damaged, c.damagedUses != 0);
    EXPECT_EQ(std::vector<int32_t>(d, d + 64), std::vector<int32_t>(q, q + 64));
  }
}

// A block of the pattern of one basis function reaches a coefficient of 128
// at shift 6, one more than the escape holds: the encoder sends 127 and the
// decoder comes back within one level of full contrast.
TEST(RtrBlock, FullContrastCoefficientIsClampedAndDecodesClose) {
  auto H = [](int a, int b) { return std::popcount(unsigned(a & b)) % 2 ? -1 : 1; };
  Bytes x(64);
  for (int i = 0; i < 64; ++i) x[size_t(i)] = H(5, i / 8) * H(3, i % 8) > 0 ? 255 : 0;
  int32_t q[64];
  rtr::ForwardBlock(x.data(), rtr::Shifts(1, false), q);
  EXPECT_EQ(q[8 * 5 + 3], 127);
  uint8_t codes[rtr::kMaxBlockBytes + 8];
  const int n = rtr::CodeBlock(q, codes);
  ASSERT_GE(n, 4);
  EXPECT_EQ(codes[0], 128);
  int32_t d[64];
  bool damaged = false;
  std::fill(codes + n, codes + sizeof codes, 0x77);
  ASSERT_EQ(rtr::DecodeBlock(codes, rtr::Shifts(1, false), d, &damaged), n);
  uint8_t back[64];
  rtr::InverseBlock(d, rtr::ClampTable(), back);
  for (int i = 0; i < 64; ++i) EXPECT_LE(std::abs(int(back[i]) - int(x[size_t(i)])), 1) << i;
}

// Flat blocks code as their DC byte and a run of 63 zeros, in stream order.
// In YUV422DC only the even rows carry chroma.
TEST(RtrBlockOrder, FollowsTheInternalFormat) {
  const struct {
    int format, width, height;
    int (*sample)(int x, int y, int byte);  // byte of the pixel or pair
    Bytes dc;
  } cases[] = {{CL_GRAYSCALE, 16, 8, [](int x, int, int) { return x < 8 ? 64 : 192; }, {64, 192}},
               {CL_YUV, 8, 8, [](int, int, int b) { return b == 0 ? 100 : b == 1 ? 128 : 200; }, {128, 50, 100}},
               {CL_YUV422, 16, 8, [](int x, int, int b) { return b % 2 ? (x < 8 ? 64 : 192) : b ? 200 : 100; },
                {64, 192, 50, 100}},
               {CL_YUV422DC, 16, 16,
                [](int x, int y, int b) {
                  if (b % 2) return (x < 8 ? 64 : 192) - (y < 8 ? 0 : 32);
                  return y % 2 ? 0 : b ? 200 : 100;
                },
                {64, 192, 32, 160, 50, 100}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    const int bpp = c.format == CL_YUV ? 3 : c.format == CL_GRAYSCALE ? 1 : 2;
    Bytes picture;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        for (int b = 0; b < bpp; ++b) picture.push_back(uint8_t(c.sample(x, y, bpp == 2 ? (x % 2) * 2 + b : b)));
    Handle enc(CL_RTR, true, c.width, c.height, c.format);
    const Bytes stream = enc.Compress(picture.data(), 1);
    Bytes want;
    for (uint8_t dc : c.dc) want.insert(want.end(), {dc, 0x3F});
    EXPECT_EQ(Bytes(stream.begin() + 72, stream.end()), want);
    Bytes out(picture.size());
    ASSERT_EQ(clDecompressImage(CL_RTR, c.width, c.height, c.format, int(stream.size()),
                                const_cast<uint8_t*>(stream.data()), out.data()),
              0);
    for (int y = 0; y < c.height; ++y)  // odd rows come back with the chroma of the row above
      for (int i = 0; i < c.width * bpp; ++i)
        EXPECT_EQ(out[size_t((y * c.width) * bpp + i)],
                  picture[size_t(((c.format == CL_YUV422DC && i % 2 == 0 ? y & ~1 : y) * c.width) * bpp + i)]);
  }
}

// A smooth picture with hard edges, in the caller's format: U, Y, V bytes
// for YUV, pairs for the 4:2:2 layouts, grey bytes, or RGBX words.
Bytes Picture(int format, int w, int h) {
  auto luma = [&](int x, int y) {
    const int inside = (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < w * h / 8;
    return std::clamp(40 + 150 * x / w + 30 * y / h + (inside ? 50 : 0), 0, 255);
  };
  Bytes b;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t l = uint8_t(luma(x, y)), u = uint8_t(100 + 60 * y / h), v = uint8_t(x > w / 2 ? 170 : 90);
      if (format == CL_GRAYSCALE) b.push_back(l);
      if (format == CL_YUV) b.insert(b.end(), {u, l, v});
      if (format == CL_YUV422 || format == CL_YUV422DC) b.insert(b.end(), {x % 2 ? v : u, l});
      if (format == CL_RGBX) b.insert(b.end(), {l, uint8_t(255 - l), u, 0});
    }
  return b;
}

double MeanError(const Bytes& a, const Bytes& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / double(a.size());
}

// The mean error at quality 1 stays within a bound, and grows as the level
// rises to 6.
TEST(RtrRoundTrip, ErrorFallsAsQualityRises) {
  const struct {
    int format, width, height;
    double finest;  // mean error allowed at quality 1
  } cases[] = {{CL_GRAYSCALE, 12, 10, 1.6}, {CL_GRAYSCALE, 64, 48, 1.0}, {CL_YUV, 37, 21, 0.8},
               {CL_YUV422, 64, 48, 0.8},    {CL_YUV422, 35, 13, 0.9},    {CL_YUV422DC, 64, 48, 0.9},
               {CL_YUV422DC, 41, 27, 1.0},  {CL_RGBX, 64, 48, 5.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " " << c.width << "x" << c.height);
    const Bytes picture = Picture(c.format, c.width, c.height);
    double errors[7] = {};
    for (int quality = 1; quality <= 6; ++quality) {
      // Room for the worst a block codes to: small pictures with edges need
      // more than the default three quarters of a frame.
      Handle enc(CL_RTR, true, c.width, c.height, c.format,
                 {CL_ALGORITHM_PARAMS, quality, CL_COMPRESSED_BUFFER_SIZE, c.width * c.height * 4 + 72});
      Bytes stream = enc.Compress(picture.data(), 1);
      Bytes out(picture.size(), 0xEE);
      ASSERT_EQ(
          clDecompressImage(CL_RTR, c.width, c.height, c.format, int(stream.size()), stream.data(), out.data()), 0);
      for (int y = 0; c.width % 2 && c.format >= CL_YUV422 && y < c.height; ++y) {
        // The odd last pixel of a 4:2:2 row is not coded.
        const int last = 2 * (y * c.width + c.width - 1);
        std::copy_n(picture.begin() + last, 2, out.begin() + last);
      }
      for (size_t i = 3; c.format == CL_RGBX && i < out.size(); i += 4) out[i] = 0;
      errors[quality] = MeanError(picture, out);
    }
    EXPECT_LE(errors[1], c.finest);
    EXPECT_GT(errors[6], 1.15 * errors[1]);
    // Through RGBX the conversions' own error hides the steps in between.
    for (int q = 2; c.format != CL_RGBX && q <= 6; ++q) EXPECT_GT(errors[q], errors[q - 1]) << "quality " << q;
  }
}

// The header carries the quality, which a decompressor takes from it; a
// frame that codes to more than the buffer holds fails and is not counted.
TEST(Rtr, HeaderQualityAndBufferSize) {
  CapturedErrors errors;
  Handle enc(CL_RTR, true, 16, 8, CL_RGBX);
  EXPECT_EQ(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE), 16 * 8 * 4 * 3 / 4 + 72);
  EXPECT_EQ(clSetParam(enc, CL_ALGORITHM_PARAMS, 3), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(clSetParam(enc, CL_ALGORITHM_PARAMS, 7), CL_ERR_VALUE_CLAMPED);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning: SetParams_whtBased - illegal qLevel\n");
  EXPECT_EQ(clGetParam(enc, CL_ALGORITHM_PARAMS), 3);
  const Bytes picture = Picture(CL_RGBX, 16, 8);
  Bytes stream = enc.Compress(picture.data(), 1);
  ASSERT_GE(stream.size(), 72u);
  EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 72),
            StreamHeader(CL_RTR, CL_YUV422, 30.0f,
                                    {CL_IMAGE_WIDTH, 16, CL_IMAGE_HEIGHT, 8, uint32_t(CL_ALGORITHM_PARAMS), 3}));
  // A decompressor takes the level from the header.
  Handle dec(CL_RTR, false, 16, 8, CL_RGBX);
  dec.Decompress(stream, picture.size());
  EXPECT_EQ(clGetParam(dec, CL_ALGORITHM_PARAMS), 3);

  Handle small(CL_RTR, true, 16, 8, CL_RGBX, {CL_COMPRESSED_BUFFER_SIZE, 76});
  int result = 0;
  EXPECT_EQ(small.Compress(picture.data(), 1, &result).size(), 72u);
  EXPECT_EQ(result, CL_ERR_NO_DATA);

  // Internal formats below four are refused.
  Handle rgb(CL_RTR, true, {CL_IMAGE_WIDTH, 16, CL_IMAGE_HEIGHT, 8, CL_INTERNAL_FORMAT, CL_RGB});
  errors.clear();
  rgb.Compress(picture.data(), 1, &result);
  EXPECT_EQ(result, CL_ERR_NO_DATA);
  ASSERT_EQ(errors.reports().size(), 1u);
  EXPECT_EQ(errors.reports()[0].code, CL_ERR_BAD_INTERNAL_FORMAT);
  EXPECT_NE(errors.reports()[0].text.find("clCompress whtBased: invalid internal format 0."), std::string::npos);
}

// Streams cut short or run over deliver the frame and fail with -18; the
// frame's neighbours are never touched.
TEST(Rtr, TruncatedAndOverlongStreamsFail) {
  const int w = 24, h = 16;
  const Bytes picture = Picture(CL_GRAYSCALE, w, h);
  Handle enc(CL_RTR, true, w, h, CL_GRAYSCALE);
  const Bytes stream = enc.Compress(picture.data(), 1);
  for (long cut : {-40L, -1L, 1L, 200L}) {
    CapturedErrors errors;
    Bytes damaged(stream.begin(), cut < 0 ? stream.end() + cut : stream.end());
    damaged.resize(cut > 0 ? damaged.size() + size_t(cut) : damaged.size(), 0x3F);
    Bytes memory(size_t(w * h) + 16, 0xAB);
    EXPECT_EQ(clDecompressImage(CL_RTR, w, h, CL_GRAYSCALE, int(damaged.size()), damaged.data(), memory.data() + 8),
              CL_ERR_NO_DATA)
        << cut;
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 8), Bytes(8, 0xAB));
    EXPECT_EQ(Bytes(memory.end() - 8, memory.end()), Bytes(8, 0xAB));
    EXPECT_LT(MeanError(picture, Bytes(memory.begin() + 8, memory.end() - 8)), cut > 0 ? 1.5 : 60.0);
  }
}

}  // namespace
