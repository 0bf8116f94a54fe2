// The "JPEG" codec.
#include <cinelark/colorspace.h>

#include "capture.h"
#include "codecs/jpeg/jpeg_state.h"
#include "codecs_test_util.h"

namespace {

using namespace codectest;

constexpr int kQuality = CL_ALGORITHM_PARAMS;
constexpr int kHeadersFlag = CL_ALGORITHM_PARAMS + 1;

// Smooth gradients with a little texture, in RGB, converted to format.
Bytes Picture(int w, int h, int format) {
  Bytes rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      p[0] = uint8_t(40 + 150 * y / h + ((x * y) % 7));
      p[1] = uint8_t(30 + 180 * x / w);
      p[2] = uint8_t(200 - 120 * (x + y) / (w + h));
    }
  Bytes out(size_t(w) * h * StoredBytes(format));
  csConvert(w, h, CL_RGB, rgb.data(), format, out.data());
  return out;
}

// Every internal format and both colour paths: full range frames come back
// as they were, the others as the converters bring them there and back.
TEST(JpegRoundTrip, DecodesWithinTheBound) {
  const struct {
    const char* name;
    int width, height, original, internal, fullRange, orientation;
    double minPsnr;
  } cases[] = {{"RgbxAsYuv", 38, 22, CL_RGBX, -1, 0, 0, 34},
               {"RgbxAs422Flipped", 38, 22, CL_RGBX, CL_YUV422, 0, 1, 34},
               {"RgbAs420", 38, 22, CL_RGB, CL_YUV422DC, 0, 0, 32},
               {"RgbAsGrey", 38, 22, CL_RGB, CL_GRAYSCALE, 0, 0, 36},
               {"YuvAsItself", 37, 21, CL_YUV, -1, 0, 1, 36},
               {"Yuv422AsItself", 38, 22, CL_YUV422, -1, 0, 0, 36},
               {"FullRangeRgbxFlipped", 37, 21, CL_RGBX, CL_YUV, 1, 1, 36},
               {"FullRangeRgba420", 38, 22, CL_RGBA, CL_YUV422DC, 1, 0, 32},
               {"FullRangeRgb422", 37, 22, CL_RGB, CL_YUV422, 1, 1, 33},
               {"FullRangeGrey", 37, 21, CL_GRAYSCALE, -1, 1, 0, 36}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes source = Picture(c.width, c.height, c.original);
    const std::initializer_list<int> params = {CL_IMAGE_WIDTH,     c.width,    CL_IMAGE_HEIGHT,    c.height,
                                               CL_ORIGINAL_FORMAT, c.original, CL_INTERNAL_FORMAT, c.internal,
                                               CL_ORIENTATION,     c.orientation};
    Handle enc(CL_JPEG, true, params);
    ASSERT_EQ(JPEGFullRange(enc, c.fullRange), 0);
    const Bytes data = enc.Compress(source.data(), 1);
    ASSERT_GT(data.size(), 100u);
    EXPECT_EQ(clQueryScheme(data.data()), CL_JPEG);

    Handle dec(CL_JPEG, false, params);
    ASSERT_EQ(JPEGFullRange(dec, c.fullRange), 0);
    const Bytes out = dec.Decompress(data, source.size());

    Bytes expected = source;
    const int internal = c.internal == -1 ? (c.original >= CL_GRAYSCALE ? c.original : CL_YUV) : c.internal;
    if (!c.fullRange && internal != c.original) {
      Bytes stored(size_t(c.width) * c.height * StoredBytes(internal));
      csConvert(c.width, c.height, c.original, source.data(), internal, stored.data());
      expected.assign(expected.size(), 0);
      csConvert(c.width, c.height, internal, stored.data(), c.original, expected.data());
    }
    EXPECT_GE(Psnr(out, expected, c.original == CL_RGBX || c.original == CL_RGBA), c.minPsnr);
    EXPECT_EQ(clGetParam(dec, CL_INTERNAL_FORMAT), internal);
  }
}

// The interchange header, what the loading calls put into it, and the
// parameters.
TEST(Jpeg, InterchangeHeaderAndParameters) {
  Handle enc(CL_JPEG, true, {CL_IMAGE_WIDTH, 16, CL_IMAGE_HEIGHT, 16, kQuality, 50});
  EXPECT_EQ(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE), 16 * 16 * 4 + 868);
  auto* state = static_cast<cl::codecs::jpeg::State*>(clGetUnique(enc));
  const Bytes before(state->header.begin(), state->header.end());
  EXPECT_EQ(Bytes(before.begin(), before.begin() + 7), (Bytes{0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x83, 0x10}));
  EXPECT_EQ(Bytes(before.begin() + 7, before.begin() + 23), (Bytes{0, 8, 0, 6, 0, 6, 0, 7, 0, 6, 0, 5, 0, 8, 0, 7}));
  EXPECT_EQ(Bytes(before.begin() + 140, before.begin() + 156), (Bytes{0, 9, 0, 9, 0, 9, 0, 12, 0, 11, 0, 12, 0, 24, 0, 13}));
  EXPECT_EQ(Bytes(before.begin() + 268, before.begin() + 272), (Bytes{0xFF, 0xC0, 0x00, 0x11}));
  EXPECT_EQ(Bytes(before.begin() + 287, before.begin() + 289), (Bytes{0xFF, 0xC4}));
  EXPECT_EQ(Bytes(before.end() - 14, before.end() - 10), (Bytes{0xFF, 0xDA, 0x00, 0x0C}));

  std::vector<uint16_t> ones(64, 1);
  ones[63] = 0x1234;
  EXPECT_EQ(JPEGLoadQuantizationTable(enc, 1, ones.data()), 0);
  // The second table of the DQT segment: precision and slot 1, then 16-bit values.
  Bytes loaded = before;
  loaded[2 + 137] = 0x11;
  for (size_t i = 0; i < 64; ++i) {
    loaded[2 + 138 + 2 * i] = uint8_t(ones[i] >> 8);
    loaded[2 + 139 + 2 * i] = uint8_t(ones[i]);
  }
  EXPECT_EQ(Bytes(state->header.begin(), state->header.end()), loaded);
  // A luminance table of ones reads back as the best quality.
  EXPECT_EQ(JPEGLoadQuantizationTable(enc, 0, ones.data()), 0);
  const Bytes data = enc.Compress(Picture(16, 16, CL_RGBX).data(), 1);
  Handle reader(CL_JPEG, false);
  EXPECT_GT(clReadHeader(reader, int(data.size()), const_cast<uint8_t*>(data.data())), 0);
  EXPECT_EQ(clGetParam(reader, kQuality), 100);

  const uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, five[5] = {11, 12, 13, 14, 15};
  EXPECT_EQ(JPEGPassThrough(enc, 10, ten), 0);
  EXPECT_EQ(JPEGPassThrough(enc, 5, five), 0);
  ASSERT_EQ(state->passThroughBytes, 15u);
  EXPECT_EQ(Bytes(state->passThrough.get(), state->passThrough.get() + 15),
            (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));

  Handle rle(CL_RLE, true);
  const struct {
    CL_Handle handle;
    int which;
    const uint16_t* table;
    int result;
  } loads[] = {{enc, 2, ones.data(), 0}, {enc, 3, ones.data(), -1}, {enc, -1, ones.data(), -1},
               {enc, 0, nullptr, -1},    {rle, 0, ones.data(), -1},  {nullptr, 0, ones.data(), -1}};
  for (const auto& l : loads) EXPECT_EQ(JPEGLoadQuantizationTable(l.handle, l.which, l.table), l.result) << l.which;
  EXPECT_EQ(JPEGPassThrough(enc, 0, ten), -1);
  EXPECT_EQ(JPEGPassThrough(enc, 3, nullptr), -1);
  EXPECT_EQ(JPEGFullRange(enc, 2), -1);

  EXPECT_EQ(clSetParam(enc, CL_COMPRESSED_BUFFER_SIZE, 5000), 0);
  EXPECT_EQ(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE), 5000);
  CapturedErrors errors;
  Handle rgb(CL_JPEG, true, {CL_IMAGE_WIDTH, 8, CL_IMAGE_HEIGHT, 8, CL_INTERNAL_FORMAT, CL_RGBX});
  int result = 0;
  rgb.Compress(Bytes(8 * 8 * 4).data(), 1, &result);
  EXPECT_EQ(result, CL_ERR_NO_DATA);
  EXPECT_EQ(errors.reports()[0].code, CL_ERR_BAD_INTERNAL_FORMAT);
  EXPECT_EQ(errors.only(), "clCompress JPEG: invalid internal format 1.\n");
}

// Without stream headers a frame is the scan data alone; the decoder reads
// it after the interchange header, patched to the frame's size and sampling.
TEST(Jpeg, AbbreviatedFramesDecodeAfterTheInterchangeHeader) {
  const int w = 40, h = 24;
  const Bytes source = Picture(w, h, CL_RGBX);
  for (const int internal : {CL_YUV, CL_YUV422, CL_YUV422DC}) {
    const std::initializer_list<int> params = {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_INTERNAL_FORMAT, internal,
                                               kQuality, 50, kHeadersFlag, 0};
    Handle enc(CL_JPEG, true, params);
    const Bytes scan = enc.Compress(source.data(), 1);
    Handle full(CL_JPEG, true, {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_INTERNAL_FORMAT, internal, kQuality, 50});
    const Bytes whole = full.Compress(source.data(), 1);
    ASSERT_GT(scan.size(), 2u);
    EXPECT_NE(scan[0], 0xFF);
    EXPECT_TRUE(std::equal(scan.begin(), scan.end(), whole.end() - scan.size())) << internal;
    Handle dec(CL_JPEG, false, {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_INTERNAL_FORMAT, internal, kHeadersFlag, 0});
    Handle reference(CL_JPEG, false, {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h});
    EXPECT_EQ(dec.Decompress(scan, source.size()), reference.Decompress(whole, source.size())) << internal;
  }
}

// Broken frames fail with the library's message (code -12); a decoder that
// met one decodes the next good frame.
TEST(Jpeg, BrokenFramesFailAndTheNextDecodes) {
  const int w = 96, h = 64;
  const Bytes source = Picture(w, h, CL_RGBX);
  Handle enc(CL_JPEG, true, {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h});
  const Bytes good = enc.Compress(source.data(), 1);
  // Marker bytes strewn over the scan data, which follows the last header.
  Bytes corrupt = good;
  for (size_t i = corrupt.size() - 40; i < corrupt.size() - 2; i += 5) corrupt[i] = 0xFF;
  Handle small(CL_JPEG, true, {CL_IMAGE_WIDTH, w / 2, CL_IMAGE_HEIGHT, h});
  const struct {
    const char* name;
    Bytes data;
    int code;             // of the report checked
    const char* message;  // the start of its text
  } cases[] = {
      {"truncated", Bytes(good.begin(), good.end() - good.size() / 4), CL_ERR_LIBRARY,
       "JPEG: Premature end of JPEG file\n"},
      {"corrupt", corrupt, CL_ERR_LIBRARY, "JPEG: "},
      {"not a JPEG", Bytes(200, 0x55), CL_ERR_LIBRARY, "JPEG: Not a JPEG file: starts with 0x55 0x55\n"},
      {"wrong size", small.Compress(source.data(), 1), CL_ERR_NO_DATA,
       "clDeompress JPEG: an image of 48 x 64 pixels does not fit frames of 96 x 64.\n"}};
  Handle dec(CL_JPEG, false, {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h});
  Bytes out(source.size());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CapturedErrors errors;
    EXPECT_EQ(clDecompress(dec, 1, int(c.data.size()), const_cast<uint8_t*>(c.data.data()), out.data()), -1);
    // The stream reader may first say that the data ran out.
    const auto& r = errors.reports();
    const auto report = std::find_if(r.begin(), r.end(), [&](const Report& e) { return e.code == c.code; });
    ASSERT_NE(report, r.end());
    EXPECT_EQ(report->text.rfind(c.message, 0), 0u) << report->text;
    EXPECT_EQ(clDecompress(dec, 1, int(good.size()), const_cast<uint8_t*>(good.data()), out.data()), 0);
  }
  // A header the library cannot read is an error, not "another codec's".
  CapturedErrors errors;
  Bytes junk(64, 0x55);
  EXPECT_EQ(clReadHeader(dec, int(junk.size()), junk.data()), -1);
  EXPECT_EQ(clSetParam(dec, kHeadersFlag, 0), 0);
  EXPECT_EQ(clReadHeader(dec, int(junk.size()), junk.data()), 0);
}

}  // namespace
