// The "HDCC" codec and its helper calls.
#include "capture.h"
#include "codecs/hdcc/hdcc_state.h"
#include "codecs/hdcc/hdcc_tables.h"
#include "codecs_test_util.h"

namespace {

using namespace codectest;

constexpr int kSamples = CL_ALGORITHM_PARAMS + 1;

// (x, y) of each record of a compressed frame.
std::vector<std::pair<int, int>> Places(const Bytes& data) {
  std::vector<std::pair<int, int>> p;
  for (size_t i = 0; i + 20 <= data.size(); i += 20) {
    p.emplace_back(data[i + 16] << 8 | data[i + 17], data[i + 18] << 8 | data[i + 19]);
  }
  return p;
}

// With 2 samples per tile, frames test positions 0, 2; 8, 10; 1, 3; 9, 11
// and so on, every pixel once in eight frames.
TEST(Hdcc, SuccessiveFramesSampleDifferentPixels) {
  const int tested[8][2] = {{0, 2}, {8, 10}, {1, 3}, {9, 11}, {4, 6}, {12, 14}, {5, 7}, {13, 15}};
  for (int frame = 0; frame < 8; ++frame) {
    for (int p = 0; p < 16; ++p) {
      Handle enc(CL_HDCC, true, {CL_IMAGE_WIDTH, 4, CL_IMAGE_HEIGHT, 4});
      Bytes image(16, 0);
      for (int f = 0; f < frame; ++f) EXPECT_EQ(enc.Compress(image.data(), 1).size(), 0u);
      image[size_t(p)] = 0xFF;
      const bool sampled = p == tested[frame][0] || p == tested[frame][1];
      EXPECT_EQ(enc.Compress(image.data(), 1).size(), sampled ? 20u : 0u) << frame << " " << p;
    }
  }
}

// The luminance tables: floor(0.3 x 32r + 0.59 x 32g + 0.11 x 64b) worked
// out by hand for each field at its top, in both layouts.
TEST(Hdcc, LuminanceAndSampleCount) {
  namespace t = cl::codecs::hdcc;
  EXPECT_EQ(t::kRgb8Luminance[0x07], 67);    // red 7: 67.2
  EXPECT_EQ(t::kRgb8Luminance[0x38], 132);   // green 7: 132.16
  EXPECT_EQ(t::kRgb8Luminance[0xC0], 21);    // blue 3: 21.12
  EXPECT_EQ(t::kRgb8Luminance[0xFF], 220);   // 220.48
  EXPECT_EQ(t::kRgb332Luminance[0xE0], 67);
  EXPECT_EQ(t::kRgb332Luminance[0x07], 132);
  EXPECT_EQ(t::kRgb332Luminance[0x18], 21);
  EXPECT_EQ(t::kRgb332Luminance[0x49], 45);  // red 2, blue 1, green 1: 19.2 + 18.88 + 7.04

  // Samples per tile round up to powers of two; others are warned about.
  const struct {
    int count, samples, shift;
  } cases[] = {{1, 1, 0}, {2, 2, 1}, {3, 4, 2}, {6, 8, 3}, {9, 16, 4}, {16, 16, 4}, {0, 16, 4}, {17, 16, 4}};
  HDCCStateRecord state;
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    setSamplesToTake(&state, c.count);
    const std::string warned = testing::internal::GetCapturedStderr();
    EXPECT_EQ(state.samples, c.samples) << c.count;
    EXPECT_EQ(state.shift, c.shift) << c.count;
    EXPECT_EQ(warned, c.count >= 1 && c.count <= 16 ? "" : "Warning: illegal CL_SAMPLES_PER_TILE value\n");
  }
}

// A 10 x 6 RGB332 picture has two whole tiles and rows 8 bytes apart for
// the encoder and the decoder alike.
TEST(Hdcc, DecodesIntoEachLayoutAtTheRoundedStride) {
  const int w = 10, h = 6;
  Bytes picture(size_t(w * h), 0);
  for (int i = 0; i < 8 * 4; ++i) picture[size_t(i)] = uint8_t(0xE0 | (i % 8 == 7 ? 0x1F : i % 8));  // row = 8 bytes
  Handle enc(CL_HDCC, true, w, h, CL_RGB332, {kSamples, 16});
  const Bytes data = enc.Compress(picture.data(), 1);
  ASSERT_EQ(Places(data), (std::vector<std::pair<int, int>>{{4, 0}, {0, 0}}));
  // RGB8 bytes of RGB332 0xE0 | g (red 7, blue 0, green g) and of 0xFF.
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 4), Bytes({0x27, 0x2F, 0x37, 0xFF}));
  // Row 0 as each layout stores it: red 7 with green 0..6, then white.
  const struct {
    int format, bytes;
    std::vector<uint32_t> row;
  } layouts[] = {
      {CL_RGB8, 1, {0x07, 0x0F, 0x17, 0x1F, 0x27, 0x2F, 0x37, 0xFF}},
      {CL_RGB332, 1, {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xFF}},
      {CL_RGBA, 4, {0x0000FF, 0x0024FF, 0x0049FF, 0x006DFF, 0x0092FF, 0x00B6FF, 0x00DBFF, 0xFFFFFF}}};
  for (const auto& l : layouts) {
    Bytes frame(size_t(w * h * l.bytes), 0xAB);
    ASSERT_EQ(clDecompressImage(CL_HDCC, w, h, l.format, int(data.size()), const_cast<uint8_t*>(data.data()), frame.data()), 0);
    const size_t tiles = size_t(32 * l.bytes);
    EXPECT_EQ(std::count(frame.begin(), frame.begin() + long(tiles), 0xAB), 0) << l.format;
    EXPECT_EQ(Bytes(frame.begin() + long(tiles), frame.end()), Bytes(frame.size() - tiles, 0xAB)) << l.format;
    std::vector<uint32_t> row(8, 0);
    for (int x = 0; x < 8; ++x) std::memcpy(&row[size_t(x)], frame.data() + x * l.bytes, size_t(l.bytes));
    EXPECT_EQ(row, l.row) << l.format;
  }
}

// A key frame request resends every tile; the helper calls check their
// handles.
TEST(Hdcc, KeyFramesAndBufferSize) {
  Bytes image(16 * 4);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i / 4 % 4 * 64 + 40);
  Handle enc(CL_HDCC, true, 16, 4, CL_GRAYSCALE);
  EXPECT_EQ(clHDCCSetSamplesToTake(enc, 16), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(clHDCCSetSamplesToTake(enc, 17), 0);  // warned about and ignored
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(clGetParam(enc, kSamples), 16);
  EXPECT_EQ(enc.Compress(image.data(), 1).size(), 80u);
  EXPECT_EQ(enc.Compress(image.data(), 1).size(), 0u);
  EXPECT_EQ(clHDCCEncodeKeyFrameNext(enc), 0);
  EXPECT_EQ(Places(enc.Compress(image.data(), 1)), (std::vector<std::pair<int, int>>{{12, 0}, {8, 0}, {4, 0}, {0, 0}}));
  CapturedErrors errors;
  EXPECT_EQ(clHDCCEncodeKeyFrameNext(nullptr), CL_ERR_NULL_HANDLE);
  Handle rle(CL_RLE, true);
  EXPECT_EQ(clHDCCSetSamplesToTake(rle, 2), CL_ERR_BAD_SCHEME);

  // Without a size from the caller a single call has room for every tile.
  Handle whole(CL_HDCC, true, {CL_IMAGE_WIDTH, 13, CL_IMAGE_HEIGHT, 9});
  EXPECT_EQ(clGetParam(whole, CL_COMPRESSED_BUFFER_SIZE), 3 * 2 * 20);
  Bytes white(13 * 9, 0xFF), data(120);
  int size = -1;
  EXPECT_EQ(clCompressImage(CL_HDCC, 13, 9, CL_RGB8, 0.0f, white.data(), &size, data.data()), 0);
  EXPECT_EQ(size, 120);
  Handle tiny(CL_HDCC, true, {CL_IMAGE_WIDTH, 3, CL_IMAGE_HEIGHT, 3});
  EXPECT_EQ(clGetParam(tiny, CL_COMPRESSED_BUFFER_SIZE), 20);
}

TEST(Hdcc, BadRecordsAreSkippedAndTheCallFails) {
  CapturedErrors errors;
  Bytes record(20, 0x12);
  const struct {
    int x, y;
    size_t extra;
  } cases[] = {{4, 0, 0}, {0, 4, 0}, {65535, 0, 0}, {0, 0, 7}};
  for (const auto& c : cases) {
    record[16] = uint8_t(c.x >> 8), record[17] = uint8_t(c.x), record[18] = uint8_t(c.y >> 8), record[19] = uint8_t(c.y);
    Bytes data(record);
    data.resize(20 + c.extra, 0);
    Bytes frame(7 * 7 * 4 + 8, 0xAB);
    EXPECT_EQ(clDecompressImage(CL_HDCC, 7, 7, CL_RGBA, int(data.size()), data.data(), frame.data()), CL_ERR_NO_DATA);
    // Only the one tile that fits (at 0, 0) may be written; rows are 4 pixels apart.
    const size_t written = c.x == 0 && c.y == 0 ? 4 * 4 * 4 : 0;
    EXPECT_EQ(size_t(std::count(frame.begin(), frame.end(), 0xAB)), frame.size() - written);
  }
}

}  // namespace
