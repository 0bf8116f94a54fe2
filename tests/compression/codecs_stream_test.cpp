// The codecs streaming through small rings that another thread drains or
// fills, so both sides wait on each other and the rings wrap.
#include <thread>

#include "codecs_test_util.h"

namespace {

using namespace codectest;

struct StreamCase {
  const char* name;
  int scheme, original, width, height;
  int frameBytes;  // one caller frame
  int ringBytes;   // the data rings on both sides
  int16_t (*decode)(uint8_t) = nullptr;  // G.711: the samples a code stands for
  bool lossy = false;  // frames compare with a decode from plain memory
};

// Drains the ring until the producer marks it done and nothing is left.
Bytes DrainUntilDone(CL_BufferHdl ring, int expected) {
  Bytes bytes;
  while (int(bytes.size()) < expected) {
    void* at = nullptr;
    const int n = clQueryValid(ring, 1, &at, nullptr);
    if (n <= 0) break;
    const int k = std::min(n, 7);  // small pieces keep the producer waiting
    bytes.insert(bytes.end(), static_cast<uint8_t*>(at), static_cast<uint8_t*>(at) + k);
    clUpdateTail(ring, k);
  }
  return bytes;
}

class CodecStream : public testing::TestWithParam<StreamCase> {};

TEST_P(CodecStream, FramesSurviveRingsSharedWithAnotherThread) {
  const StreamCase c = GetParam();
  constexpr int kFrames = 5;
  Bytes frames(size_t(kFrames * c.frameBytes));
  for (size_t i = 0; i < frames.size(); ++i) frames[i] = uint8_t((i / 3) * 13 % 251);
  if (c.scheme == CL_RLE24) {
    for (size_t i = 3; i < frames.size(); i += 4) frames[i] = 0;  // the top byte is not stored
  }
  if (c.scheme == CL_RTR) {
    // Flat 8 x 8 blocks, which the transform codes exactly.
    for (size_t i = 0; i < frames.size(); ++i) {
      const int x = int(i) % c.width, y = int(i) / c.width % c.height, f = int(i) / c.frameBytes;
      frames[i] = uint8_t((13 * f + 29 * (x / 8) + 57 * (y / 8)) % 251);
    }
  }
  if (c.decode != nullptr) {
    // Samples that G.711 codes exactly: the values of codes 1 to 126 and 128
    // to 255 (0x7F is a second zero and 0x00 is never sent).
    for (size_t i = 0; i < frames.size() / 2; ++i) {
      const int code = 1 + int(i * 37 % 254);
      const int16_t sample = c.decode(uint8_t(code >= 127 ? code + 1 : code));
      std::memcpy(frames.data() + 2 * i, &sample, 2);
    }
  }

  // Compress: this thread codes from a frame ring of two, another drains.
  Bytes stream;
  {
    Handle enc(c.scheme, true, c.width, c.height, c.original);
    CL_BufferHdl in = clCreateBuf(enc, CL_FRAME, 2, c.frameBytes, nullptr);
    CL_BufferHdl data = clCreateBuf(enc, CL_DATA, 1, c.ringBytes, nullptr);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(data, nullptr);
    int total = 0;
    std::thread consumer([&] { stream = DrainUntilDone(data, 1 << 30); });
    for (int f = 0; f < kFrames; ++f) {
      void* at = nullptr;
      ASSERT_GE(clQueryFree(in, 1, &at, nullptr), 1);
      std::memcpy(at, frames.data() + f * c.frameBytes, size_t(c.frameBytes));
      clUpdateHead(in, 1);
      int size = 0;
      ASSERT_EQ(clCompress(enc, 1, nullptr, &size, nullptr), 0);
      total += size;
    }
    clDoneUpdatingHead(data);
    consumer.join();
    EXPECT_EQ(int(stream.size()), total);
  }

  // Decompress: another thread feeds, this one decodes all frames at once.
  Handle dec(c.scheme, false, c.width, c.height, c.original);
  CL_BufferHdl data = clCreateBuf(dec, CL_DATA, 1, c.ringBytes, nullptr);
  ASSERT_NE(data, nullptr);
  std::thread producer([&] { Feed(data, stream, 5); });  // small pieces keep the decoder waiting
  Bytes out(frames.size(), 0xEE);
  const int result = clDecompress(dec, kFrames, 0, nullptr, out.data());
  producer.join();
  ASSERT_EQ(result, 0);
  if (c.lossy) {
    Handle plain(c.scheme, false, c.width, c.height, c.original);
    ASSERT_EQ(clDecompress(plain, kFrames, int(stream.size()), stream.data(), frames.data()), 0);
  }
  EXPECT_EQ(out, frames);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, CodecStream,
    testing::Values(StreamCase{"Uncompressed", CL_UNCOMPRESSED_VIDEO, CL_RGBX, 6, 5, 6 * 5 * 4, 70},
                    StreamCase{"RLE", CL_RLE, CL_RGB332, 9, 4, 9 * 4, 150},
                    StreamCase{"RLE24", CL_RLE24, CL_RGBX, 5, 4, 5 * 4 * 4, 150},
                    StreamCase{"RTR", CL_RTR, CL_GRAYSCALE, 64, 16, 64 * 16, 150},
                    StreamCase{"MVC1", CL_MVC1, CL_RGBX, 13, 7, 13 * 7 * 4, 97, nullptr, true},
                    StreamCase{"ulaw", CL_G711_ULAW, 1, 1, 1, 4, 53, CL_ulaw2linear},
                    StreamCase{"alaw", CL_G711_ALAW, 3, 1, 1, 10, 61, CL_alaw2linear}),
    [](const auto& info) { return std::string(info.param.name); });

// The flip is a process-wide switch of the converters: a handle flipping on
// one thread must not flip the conversions of a handle on another.
TEST(CodecThreads, FlippedAndUprightConversionsDoNotMix) {
  constexpr int w = 320, h = 240;
  Bytes rgb(size_t(w * h * 3));
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i / (w * 3));  // each row its own grey
  auto codeMany = [&](int orientation, Bytes* first, bool* same) {
    Handle enc(CL_RLE24, true, w, h, CL_RGB, {CL_ORIENTATION, orientation});
    *same = true;
    for (int i = 0; i < 60; ++i) {
      Bytes codes = enc.Compress(rgb.data(), 1);
      if (i == 0) {
        *first = Bytes(codes.begin() + 64, codes.end());  // the header comes once
      } else if (codes != *first) {
        *same = false;
      }
    }
  };
  Bytes upright, flipped;
  bool uprightSame = false, flippedSame = false;
  std::thread other([&] { codeMany(1, &flipped, &flippedSame); });
  codeMany(0, &upright, &uprightSame);
  other.join();
  EXPECT_TRUE(uprightSame);
  EXPECT_TRUE(flippedSame);
  // Each row is a run of 191 and a run of 129, so the codes name the rows
  // in order.
  ASSERT_EQ(upright.size(), size_t(h * 8));
  ASSERT_EQ(flipped.size(), size_t(h * 8));
  for (int row = 0; row < h; ++row) {
    EXPECT_EQ(upright[size_t(row * 8 + 1)], row);
    EXPECT_EQ(flipped[size_t(row * 8 + 1)], h - 1 - row);
  }
}

}  // namespace
