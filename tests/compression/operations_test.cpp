// The coding calls driven through the copy codec, and the default reporter.
#include "capture.h"
#include "codec.h"
#include "codecs_test_util.h"
#include "copy_codec.h"

namespace {

class ClOperations : public testing::Test {
 protected:
  static constexpr int kFrame = 4 * 2 * 4;
  codectest::Handle enc_{CopyCodecScheme(), true, 4, 2, CL_RGBX};
  codectest::Handle dec_{CopyCodecScheme(), false, 4, 2, CL_RGBX};
};

// Data that does not fit, a stream cut short and a frame buffer size below
// one frame fail without hanging.
TEST_F(ClOperations, FailuresAreReportedWithoutHanging) {
  std::vector<uint8_t> frames(2 * kFrame, 9), data(200), out(2 * kFrame);
  CapturedErrors errors;
  int size = 0;
  ASSERT_EQ(clCompress(enc_, 1, frames.data(), &size, data.data()), 0);
  EXPECT_EQ(clDecompress(dec_, 2, size - 5, data.data(), out.data()), CL_ERR_NO_DATA);
  EXPECT_EQ(errors.last(), "clDecompress Copy: frame 0 is cut short\n");

  clSetParam(enc_, CL_COMPRESSED_BUFFER_SIZE, kFrame);  // room for one frame only
  EXPECT_EQ(clCompress(enc_, 2, frames.data(), &size, data.data()), CL_ERR_NO_DATA);
  EXPECT_EQ(errors.last(), "clCompress Copy: no room for 32 bytes\n");

  clSetParam(enc_, CL_FRAME_BUFFER_SIZE, kFrame - 1);
  EXPECT_EQ(clCompress(enc_, 1, frames.data(), &size, data.data()), CL_ERR_FRAME_BUFFER_TOO_SMALL);
  EXPECT_EQ(errors.reports()[0].handle, enc_);
  EXPECT_EQ(errors.only(), "clCompress: invalid frameBufferSize (31), must be at least (32)\n");
  EXPECT_EQ(clQueryBufferHdl(enc_, CL_FRAME, nullptr), nullptr);
  clSetParam(dec_, CL_FRAME_BUFFER_SIZE, 1);
  EXPECT_EQ(clDecompress(dec_, 1, 10, data.data(), frames.data()), CL_ERR_FRAME_BUFFER_TOO_SMALL);
  EXPECT_EQ(errors.only(), "clDecompress: invalid frameBufferSize (1), must be at least (32)\n");
}

TEST_F(ClOperations, ArgumentChecks) {
  std::vector<uint8_t> frames(kFrame), data(100);
  int size = 0;
  CapturedErrors errors;
  EXPECT_EQ(clCompress(nullptr, 1, frames.data(), &size, data.data()), CL_ERR_NULL_HANDLE);
  EXPECT_EQ(clCompress(enc_, 1, nullptr, &size, data.data()), CL_ERR_NO_BUFFER);
  EXPECT_EQ(clCompress(enc_, 1, frames.data(), nullptr, data.data()), CL_ERR_BAD_COMPRESSED_SIZE);
  EXPECT_EQ(clCompress(enc_, 1, frames.data(), &size, nullptr), CL_ERR_NO_BUFFER);
  EXPECT_EQ(clCompress(enc_, 0, frames.data(), &size, data.data()), CL_ERR_BAD_BLOCK_COUNT);
  EXPECT_EQ(clDecompress(nullptr, 1, 10, data.data(), frames.data()), CL_ERR_NULL_HANDLE);
  EXPECT_EQ(clDecompress(dec_, 1, -1, data.data(), frames.data()), CL_ERR_BAD_DECOMPRESSED_SIZE);
  EXPECT_EQ(clDecompress(dec_, 1, 10, data.data(), nullptr), CL_ERR_NO_BUFFER);
  EXPECT_EQ(clDecompress(dec_, 1, 0, data.data(), frames.data()), CL_ERR_NO_BUFFER);
  const std::string pointer = std::to_string(static_cast<int>(cl::Hex(data.data())));
  EXPECT_EQ(errors.texts(),
            (std::vector<std::string>{"clCompress: invalid compressionHdl parameter 0\n",
                                      "clCompress: frame buffer parameter is NULL and frame buffer was not created\n",
                                      "clCompress: invalid dataSize parameter 0x0\n",
                                      "clCompress: compressed data parameter is NULL and data buffer was not created\n",
                                      "clCreateBuf: invalid number of blocks 0\n",
                                      "clDecompress: invalid handle parameter 0\n",
                                      "clDecompress: invalid dataSize parameter -1\n",
                                      "clDecompress: invalid frame buffer pointer (0) or buffer not created.\n",
                                      "clDecompress: invalid compressed data pointer (" + pointer +
                                          ") or buffer not created.\n"}));
}

TEST_F(ClOperations, ReadHeaderAppliesThePairs) {
  codectest::Handle fresh(CopyCodecScheme(), true, 6, 5, CL_RGBX);
  std::vector<uint8_t> stream = fresh.Compress(std::vector<uint8_t>(120).data(), 1);
  const int size = int(stream.size());

  EXPECT_EQ(clReadHeader(dec_, size, stream.data()), kCopyHeaderBytes);
  EXPECT_EQ(clGetParam(dec_, CL_IMAGE_WIDTH), 6);
  EXPECT_EQ(clGetParam(dec_, CL_IMAGE_HEIGHT), 5);
  EXPECT_EQ(clQueryBufferHdl(dec_, CL_DATA, nullptr), nullptr);
  // A header longer than the bytes given, or of another scheme, is not read.
  CapturedErrors errors;
  EXPECT_EQ(clReadHeader(dec_, kCopyHeaderBytes - 4, stream.data()), 0);
  EXPECT_EQ(errors.only(), "clReadHeader: stream header length 40 does not fit the 36 bytes given\n");
  stream[15] ^= 1;
  EXPECT_EQ(clReadHeader(dec_, size, stream.data()), 0);
  errors.clear();
  EXPECT_EQ(clReadHeader(dec_, 0, stream.data()), 0);
  EXPECT_EQ(clReadHeader(nullptr, 10, stream.data()), 0);
  ASSERT_EQ(errors.reports().size(), 2u);
  EXPECT_EQ(errors.reports()[0].text.rfind("clReadHeader: invalid stream header (ptr 0x", 0), 0u);
  EXPECT_EQ(errors.reports()[0].code, CL_ERR_BAD_HEADER);
  EXPECT_EQ(errors.reports()[1].text, "clReadHeader: invalid decompressionHdl parameter 0\n");
}

// A ratio outside the row's range is clamped and its code returned, but the
// image is still coded.
TEST(ClImageOperations, OneCallRoundTripAndArgumentChecks) {
  const int scheme = CopyCodecScheme();
  std::vector<uint8_t> image(5 * 3 * 4);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(255 - i);
  std::vector<uint8_t> data(image.size() + kCopyHeaderBytes);
  int size = 0;
  ASSERT_EQ(clCompressImage(scheme, 5, 3, CL_RGBX, 0.0f, image.data(), &size, data.data()), 0);
  EXPECT_EQ(size, static_cast<int>(data.size()));
  std::vector<uint8_t> back(image.size());
  ASSERT_EQ(clDecompressImage(scheme, 5, 3, CL_RGBX, size, data.data(), back.data()), 0);
  EXPECT_EQ(back, image);
  CapturedErrors errors;
  size = 0;
  EXPECT_EQ(clCompressImage(scheme, 5, 3, CL_RGBX, 0.25f, image.data(), &size, data.data()), CL_ERR_VALUE_CLAMPED);
  EXPECT_EQ(size, static_cast<int>(data.size()));

  errors.clear();
  EXPECT_EQ(clCompressImage(0x8000, 4, 4, 1, 0.0f, nullptr, &size, data.data()), CL_ERR_NULL_BUFFER_POINTER);
  EXPECT_EQ(clCompressImage(0x8000, 4, 4, 1, 0.0f, data.data(), nullptr, data.data()), CL_ERR_BAD_COMPRESSED_SIZE);
  EXPECT_EQ(clCompressImage(0x8000, 4, 4, 1, 0.0f, data.data(), &size, nullptr), CL_ERR_NULL_BUFFER_POINTER);
  EXPECT_EQ(clDecompressImage(0x8000, 4, 4, 1, 0, data.data(), data.data()), CL_ERR_BAD_DECOMPRESSED_SIZE);
  EXPECT_EQ(clDecompressImage(0x8000, 4, 4, 1, 8, nullptr, data.data()), CL_ERR_NULL_BUFFER_POINTER);
  EXPECT_EQ(clDecompressImage(0x8000, 4, 4, 1, 8, data.data(), nullptr), CL_ERR_NULL_BUFFER_POINTER);
  EXPECT_EQ(errors.texts(), (std::vector<std::string>{"clCompressImage: invalid frame buffer 0\n",
                                                       "clCompressImage: invalid compression data buffer size 0\n",
                                                       "clCompressImage: invalid compression data buffer 0\n",
                                                       "clDecompressImage: invalid compression data buffer size 0\n",
                                                       "clDecompressImage: invalid compression data buffer 0\n",
                                                       "clDecompressImage: invalid frame buffer 0\n"}));
}

TEST(ClDefaultReporter, PrefixesTellWhereTheErrorCameFrom) {
  codectest::Handle h(CopyCodecScheme(), false);
  CapturedErrors errors;
  EXPECT_NE(clSetErrorHandler(nullptr), nullptr);  // null puts the default reporter back
  testing::internal::CaptureStderr();
  clGetParam(h, 77);                        // inside an operation name
  clQueryValid(nullptr, 0, nullptr, nullptr);  // no handle
  int pv[] = {88, 0};
  clSetParams(h, pv, 2);                    // handle, no operation in progress
  const std::string text = testing::internal::GetCapturedStderr();
  EXPECT_EQ(text,
            "Error: code=-6 clGetParams called clGetParams: bad param in buffer[0] 77\n"
            "Error: code=-10 clQueryValid: invalid buffer handle 0\n"
            "clError: code=-6 clSetParams: bad param in buffer[0] 88\n");
}

}  // namespace
