// "Uncompressed Video" and "Uncompressed Audio".

#include "capture.h"
#include "codecs_test_util.h"

namespace {

using namespace codectest;

// Bytes one pixel takes in a caller's frame: components x 8 bits.
constexpr int kFrameBytes[] = {3, 4, 4, 1, 1, 3, 3, 3, 1};

// Each layout stores each frame and reads it back; the rest of a caller's
// larger 4:2:2 frame is left alone.
TEST(UncompressedVideo, StoresEachFrameAndReadsItBack) {
  constexpr int w = 7, h = 5;
  for (int format = 0; format < 9; ++format) {
    SCOPED_TRACE(format);
    const size_t stored = size_t(w * h * StoredBytes(format));
    const size_t frame = size_t(w * h * kFrameBytes[format]);
    const Bytes a = Counting(int(frame), 1), b = Counting(int(frame), 77);
    const Bytes both = Concat(a, b);

    Handle enc(CL_UNCOMPRESSED_VIDEO, true, w, h, format);
    EXPECT_EQ(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE), int(stored) + 64);
    clSetParam(enc, CL_COMPRESSED_BUFFER_SIZE, int(2 * stored) + 64);
    Bytes data = enc.Compress(both.data(), 2);
    ASSERT_EQ(data.size(), 64 + 2 * stored);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 64), VideoHeader(CL_UNCOMPRESSED_VIDEO, format, w, h));
    // The stored pixels, words most significant byte first.
    Bytes want = Concat(Bytes(a.begin(), a.begin() + long(stored)), Bytes(b.begin(), b.begin() + long(stored)));
    for (size_t i = 0; (format == CL_RGBX || format == CL_RGBA) && i < want.size(); i += 4) {
      std::reverse(want.begin() + long(i), want.begin() + long(i) + 4);
    }
    EXPECT_EQ(Bytes(data.begin() + 64, data.end()), want);
    EXPECT_EQ(clGetParam(enc, CL_INTERNAL_FORMAT), format);
    EXPECT_EQ(clQueryScheme(data.data()), CL_UNCOMPRESSED_VIDEO);

    Handle dec(CL_UNCOMPRESSED_VIDEO, false, w, h, format);
    const Bytes out = dec.Decompress(data, 2 * frame, 2);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + long(stored)), Bytes(a.begin(), a.begin() + long(stored)));
    EXPECT_EQ(Bytes(out.begin() + long(frame), out.begin() + long(frame + stored)),
              Bytes(b.begin(), b.begin() + long(stored)));
    EXPECT_EQ(Bytes(out.begin() + long(stored), out.begin() + long(frame)), Bytes(frame - stored, 0xEE));
  }
}

// Three rows of two pixels stored as bytes of the internal format (RGB
// pixels are B, G, R bytes; the stored word is X, B, G, R), bottom row first
// with "Orientation" 1, and read back as they were.
TEST(UncompressedVideo, ConvertsAndFlipsOnTheWayInAndBack) {
  const struct {
    int original, internal, orientation;
    Bytes picture, stored;
  } cases[] = {{CL_RGB, CL_RGBX, 0, Counting(18, 5), {}},
               {CL_GRAYSCALE, -1, 1, {1, 2, 3, 4, 5, 6}, {5, 6, 3, 4, 1, 2}},
               {CL_RGB8, -1, 1, {1, 2, 3, 4, 5, 6}, {5, 6, 3, 4, 1, 2}}};
  for (auto c : cases) {
    SCOPED_TRACE(c.original);
    for (size_t i = 0; c.original == CL_RGB && i < c.picture.size(); i += 3) {
      c.stored.insert(c.stored.end(), {0, c.picture[i], c.picture[i + 1], c.picture[i + 2]});
    }
    const std::initializer_list<int> params = {CL_IMAGE_WIDTH,     2,          CL_IMAGE_HEIGHT,    3,
                                               CL_ORIGINAL_FORMAT, c.original, CL_ORIENTATION, c.orientation};
    Handle enc(CL_UNCOMPRESSED_VIDEO, true, params);
    clSetParam(enc, CL_INTERNAL_FORMAT, c.internal);
    Bytes data = enc.Compress(c.picture.data(), 1);
    EXPECT_EQ(Bytes(data.begin() + 64, data.end()), c.stored);
    Handle dec(CL_UNCOMPRESSED_VIDEO, false, params);
    EXPECT_EQ(dec.Decompress(data, c.picture.size()), c.picture);
  }
}

TEST(UncompressedVideo, ShortStreamsAndMissingConvertersAreReported) {
  CapturedErrors errors;
  Bytes stream = Concat(VideoHeader(CL_UNCOMPRESSED_VIDEO, CL_GRAYSCALE, 4, 4), Bytes(10, 7));
  Bytes out(16, 0);
  EXPECT_EQ(clDecompressImage(CL_UNCOMPRESSED_VIDEO, 4, 4, CL_GRAYSCALE, int(stream.size()), stream.data(),
                              out.data()),
            CL_ERR_NO_DATA);
  EXPECT_EQ(errors.last(), "clDecompress Uncompressed: unable to get data (wanted 16, got 10).\n");

  Handle enc(CL_UNCOMPRESSED_VIDEO, true, 4, 4, CL_RGB8, {CL_INTERNAL_FORMAT, CL_RGBX});
  int result = 0;
  enc.Compress(out.data(), 1, &result);
  EXPECT_EQ(result, CL_ERR_BAD_INTERNAL_FORMAT);
  EXPECT_EQ(errors.only(), "clCompress Uncompressed: no conversion from format 8 (RGB8) to format 1 (RGBX).\n");

  Handle small(CL_UNCOMPRESSED_VIDEO, true, 4, 4, CL_GRAYSCALE, {CL_COMPRESSED_BUFFER_SIZE, 70});
  small.Compress(out.data(), 1, &result);
  EXPECT_EQ(result, CL_ERR_NO_DATA);
  EXPECT_EQ(errors.only(), "clCompress Uncompressed: unable to update data (wanted 16, got 6).\n");
}

// Samples are stored most significant byte first; nothing past the frames
// asked for is written. Five channels keep "Internal format" at -1.
TEST(UncompressedAudio, StoresSamplesMostSignificantByteFirst) {
  const struct {
    int channels, internal, bits, frames;
    Bytes memory, stored;
  } cases[] = {{1, 1, 16, 3, {0x34, 0x12, 0xFE, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0x05, 0, 0x06, 0},
                {0x12, 0x34, 0xFF, 0xFE, 0x7F, 0xFF, 0x80, 0x00, 0x00, 0x05, 0x00, 0x06}},
               {3, -1, 8, 4, Counting(5 * 4, 3), Counting(5 * 4, 3)},
               {0, 0, 24, 2, {0x56, 0x34, 0x12, 0xFF, 0xFF, 0x80}, {0x12, 0x34, 0x56, 0x80, 0xFF, 0xFF}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits);
    const std::initializer_list<int> params = {CL_ORIGINAL_FORMAT, c.channels, CL_BITS_PER_COMPONENT, c.bits,
                                               CL_BLOCK_SIZE, c.frames};
    Handle enc(CL_UNCOMPRESSED_AUDIO, true, params);
    EXPECT_EQ(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE), 64 + int(c.memory.size()));
    Bytes data = enc.Compress(c.memory.data(), c.frames);
    const Bytes header = StreamHeader(CL_UNCOMPRESSED_AUDIO, c.internal, 44100.0f,
                                                 {CL_IMAGE_WIDTH, 1, CL_IMAGE_HEIGHT, 1});
    EXPECT_EQ(data, Concat(header, c.stored));
    EXPECT_EQ(clQueryScheme(data.data()), CL_UNCOMPRESSED_AUDIO);
    Handle dec(CL_UNCOMPRESSED_AUDIO, false, params);
    EXPECT_EQ(dec.Decompress(data, c.memory.size() + 4, c.frames), Concat(c.memory, Bytes(4, 0xEE)));
  }
}

// A caller's frame ring that its producer closed without frames.
TEST(UncompressedVideo, AClosedEmptyFrameRingIsReported) {
  CapturedErrors errors;
  for (int scheme : {CL_UNCOMPRESSED_VIDEO, CL_RLE, CL_RLE24}) {
    Handle enc(scheme, true, 4, 4, CL_RGBX);
    CL_BufferHdl frames = clCreateBuf(enc, CL_FRAME, 2, 64, nullptr);
    ASSERT_NE(frames, nullptr);
    clDoneUpdatingHead(frames);
    Bytes data(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE)));
    int size = 0;
    EXPECT_EQ(clCompress(enc, 1, nullptr, &size, data.data()), CL_ERR_NO_DATA);
    const std::string label = scheme == CL_RLE ? "RLE" : scheme == CL_RLE24 ? "RLE24" : "Uncompressed";
    EXPECT_EQ(errors.only(), "clCompress " + label + ": unable to get a frame.\n");
    EXPECT_EQ(size, 64);  // the header went out before the frame was asked for
  }
}

}  // namespace
