// Frame and data buffers and the rings under them.
#include <climits>
#include <thread>

#include "buffer.h"
#include "capture.h"
#include "codecs_test_util.h"
#include "copy_codec.h"

namespace {

class ClBuffers : public testing::Test {
 protected:
  CL_BufferHdl Data(int size) { return clCreateBuf(h_, CL_DATA, 1, size, nullptr); }
  // The queries, keeping where the bytes are in at_ and wrap_.
  int Free(CL_BufferHdl b, int amount = 0) { return clQueryFree(b, amount, &at_, &wrap_); }
  int Valid(CL_BufferHdl b, int amount = 0) { return clQueryValid(b, amount, &at_, &wrap_); }
  // Moves a data ring's head and tail to offset `at` (empty).
  void MoveTo(CL_BufferHdl b, int at) {
    ASSERT_EQ(clUpdateHead(b, at), at);
    ASSERT_EQ(clUpdateTail(b, at), at);
  }
  codectest::Handle h_{CopyCodecScheme(), true};
  void* at_ = nullptr;
  int wrap_ = -1;
};

// A hundred-byte ring filled and emptied, then its head and its free space
// wrapping around the end; updates move only what there is and say so.
TEST_F(ClBuffers, DataRingCountsAndWrapsAroundTheEnd) {
  CL_BufferHdl b = Data(100);
  ASSERT_NE(b, nullptr);
  void* base = nullptr;
  ASSERT_EQ(clQueryBufferHdl(h_, CL_DATA, &base), b);
  EXPECT_EQ(Free(b), 100);
  EXPECT_EQ(wrap_, 0);
  EXPECT_EQ(Valid(b), 0);
  EXPECT_EQ(clUpdateHead(b, 100), 100);  // head and tail meet: full, not empty
  EXPECT_EQ(Free(b), 0);
  EXPECT_EQ(Valid(b), 100);
  EXPECT_EQ(clUpdateTail(b, 100), 100);
  EXPECT_EQ(Free(b), 100);
  EXPECT_EQ(Valid(b), 0);

  MoveTo(b, 90);
  EXPECT_EQ(clUpdateHead(b, 30), 30);
  // Valid bytes run from 90 to the end and on to 20.
  EXPECT_EQ(Valid(b), 10);
  EXPECT_EQ(wrap_, 20);
  EXPECT_EQ(at_, static_cast<uint8_t*>(base) + 90);
  // Free bytes run from 20 up to the tail at 90, contiguous.
  EXPECT_EQ(Free(b), 70);
  EXPECT_EQ(wrap_, 0);
  EXPECT_EQ(at_, static_cast<uint8_t*>(base) + 20);

  ASSERT_EQ(clUpdateTail(b, 30), 30);
  MoveTo(b, 20);  // empty at 40: free bytes run to the end and on to 40
  EXPECT_EQ(Free(b), 60);
  EXPECT_EQ(wrap_, 40);
  EXPECT_EQ(clUpdateHead(b, 150), 100);
  EXPECT_EQ(clUpdateHead(b, 1), 0);
  EXPECT_EQ(clUpdateTail(b, 250), 100);
  EXPECT_EQ(clUpdateTail(b, 1), 0);
}

TEST_F(ClBuffers, FrameBuffersCountWholeFrames) {
  clSetParam(h_, CL_ORIGINAL_FORMAT, CL_RGBX);
  CL_BufferHdl f = clCreateBuf(h_, CL_FRAME, 4, 307200, nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Free(f, 4), 4);
  CapturedErrors errors;
  EXPECT_EQ(Free(f, 5), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(errors.only(), "clQueryFree: Query amount * sizeOfOneFrame larger than buffer size (1536000 > 1228800)\n");
  EXPECT_EQ(Valid(f, 5), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(Free(f, INT_MAX), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(clUpdateHead(f, 3), 3);
  EXPECT_EQ(Valid(f), 3);
  EXPECT_EQ(f->validFrames.load(), 3);
  EXPECT_EQ(clUpdateTail(f, 1), 1);
  EXPECT_EQ(clUpdateHead(f, 5), 2);
  EXPECT_EQ(Free(f), 0);
  // Three frames from offset 1 to the end, the fourth at the start (in bytes).
  EXPECT_EQ(Valid(f), 3);
  EXPECT_EQ(wrap_, 307200);
}

// Block sizes round down to whole frames; a frame size of zero and the
// other creation checks are refused in order.
TEST_F(ClBuffers, CreationRulesAndChecks) {
  clSetParam(h_, CL_IMAGE_WIDTH, 10);
  clSetParam(h_, CL_IMAGE_HEIGHT, 10);  // RGBX: 400 bytes per frame
  CL_BufferHdl f = clCreateBuf(h_, CL_FRAME, 2, 999, nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->ring.size(), 1600);
  EXPECT_EQ(clDestroyBuf(f), 0);
  EXPECT_EQ(clQueryBufferHdl(h_, CL_FRAME, nullptr), nullptr);
  CapturedErrors errors;
  EXPECT_EQ(clCreateBuf(h_, CL_FRAME, 2, 399, nullptr), nullptr);
  EXPECT_EQ(clCreateBuf(nullptr, 3, 0, 0, nullptr), nullptr);
  EXPECT_EQ(clCreateBuf(h_, 3, 1, 10, nullptr), nullptr);
  ASSERT_NE(clCreateBuf(h_, CL_FRAME, 1, 400, nullptr), nullptr);
  EXPECT_EQ(clCreateBuf(h_, CL_FRAME, 1, 400, nullptr), nullptr);
  ASSERT_NE(Data(10), nullptr);
  EXPECT_EQ(clCreateBuf(h_, CL_DATA, 1, 10, nullptr), nullptr);
  clDestroyBuf(clQueryBufferHdl(h_, CL_DATA, nullptr));
  EXPECT_EQ(clCreateBuf(h_, CL_DATA, 0, 10, nullptr), nullptr);
  EXPECT_EQ(clCreateBuf(h_, CL_DATA, 1, 0, nullptr), nullptr);
  EXPECT_EQ(clCreateBuf(h_, CL_DATA, 2, 1 << 30, nullptr), nullptr);
  clDestroyBuf(clQueryBufferHdl(h_, CL_FRAME, nullptr));
  clSetParam(h_, CL_IMAGE_WIDTH, 0);
  EXPECT_EQ(clCreateBuf(h_, CL_FRAME, 1, 100, nullptr), nullptr);
  EXPECT_EQ(errors.texts(),
            (std::vector<std::string>{
                "clCreateBuf: invalid block size 399\n", "clCreateBuf: invalid compressor handle pointer 0\n",
                "clCreateBuf: invalid buffer type (3)\n",
                "clCreateBuf: attempt to create a frame buffer that already exists (1)\n",
                "clCreateBuf: attempt to create a data buffer that already exists (2)\n",
                "clCreateBuf: invalid number of blocks 0\n", "clCreateBuf: invalid block size 0\n",
                "clCreateBuf: 2 blocks of 1073741824 bytes exceed the largest buffer (1073741823 bytes)\n",
                "clCreateBuf: Frame buffer size is zero (0 by 10 by 8  RGBX)\n"}));
  ASSERT_EQ(errors.reports().size(), 9u);
  EXPECT_EQ(errors.reports()[2].code, CL_ERR_BAD_BUFFER_TYPE);
  EXPECT_EQ(errors.reports()[3].code, CL_ERR_BUFFER_EXISTS);
  EXPECT_EQ(errors.reports()[8].code, CL_ERR_ZERO_FRAME_SIZE);
}

// After done, a valid query no longer waits, and one larger than the buffer
// is limited, not refused.
TEST_F(ClBuffers, QueryAndUpdateChecksAndDone) {
  CL_BufferHdl b = Data(10);
  CapturedErrors errors;
  EXPECT_EQ(Free(nullptr, 1), CL_ERR_NULL_BUFFER_HANDLE);
  EXPECT_EQ(Free(b, -1), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(clQueryFree(b, 1, nullptr, &wrap_), CL_ERR_NULL_BUFFER_POINTER);
  EXPECT_EQ(Free(b, 11), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(clUpdateHead(b, -1), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(clUpdateTail(nullptr, 1), CL_ERR_NULL_BUFFER_HANDLE);
  EXPECT_EQ(clDestroyBuf(nullptr), CL_ERR_NULL_BUFFER_HANDLE);
  clUpdateHead(b, 3);
  ASSERT_EQ(clDoneUpdatingHead(b), 0);
  EXPECT_EQ(Valid(b, 10), 3);
  EXPECT_EQ(Valid(b, 50), 3);
  EXPECT_EQ(clUpdateHead(b, 7), 7);
  EXPECT_EQ(Free(b, 5), 0);
  EXPECT_EQ(errors.texts(), (std::vector<std::string>{"clQueryFree: invalid buffer handle 0\n",
                                                       "clQueryFree: invalid query amount -1\n",
                                                       "clQueryFree: invalid buffer pointer 0\n",
                                                       "clQueryFree: Query amount larger than buffer size (11 > 10)\n",
                                                       "clUpdateHead: invalid update amount -1\n",
                                                       "clUpdateTail: invalid buffer handle 0\n",
                                                       "clDestroyBuf: invalid buffer handle 0\n",
                                                       "clQueryValid: Query amount larger than buffer size (50 > 10). "
                                                       "Limiting to 10.\n"}));
  ASSERT_EQ(errors.reports().size(), 8u);
  EXPECT_EQ(errors.reports()[0].handle, nullptr);
  EXPECT_EQ(errors.reports()[1].handle, CL_Handle(h_));
}

// A thread asleep on a ring while the buffer is destroyed or its handle
// closed wakes with nothing and is out of the ring before the buffer is
// freed. Many rounds, for ThreadSanitizer and AddressSanitizer to watch.
TEST(ClBufferTeardown, ASleepingSideWakesWithNothingBeforeTheRingGoes) {
  for (int round = 0; round < 300; ++round) {
    CL_Handle h = nullptr;
    ASSERT_EQ(clOpenCompressor(CopyCodecScheme(), &h), 0);
    const bool frames = round % 2 == 1, closeHandle = round % 3 == 0;
    CL_BufferHdl b = frames ? clCreateBuf(h, CL_FRAME, 1, 307200, nullptr) : clCreateBuf(h, CL_DATA, 1, 64, nullptr);
    ASSERT_NE(b, nullptr);
    if (frames) {
      ASSERT_EQ(clUpdateHead(b, 1), 1);
    }
    int got = -1;
    void* at = nullptr;
    std::thread sleeper([&] { got = frames ? clQueryFree(b, 1, &at, nullptr) : clQueryValid(b, 8, &at, nullptr); });
    while (b->ring.Users() == 0) std::this_thread::yield();
    EXPECT_EQ(closeHandle ? clCloseCompressor(h) : clDestroyBuf(b), 0);
    sleeper.join();
    EXPECT_LE(got, 0) << round;
    if (!closeHandle) {
      EXPECT_EQ(clCloseCompressor(h), 0);
    }
  }
}

}  // namespace
