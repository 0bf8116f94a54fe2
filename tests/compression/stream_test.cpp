// The stream reader and writer on data buffers, alone and with a producer
// and a consumer on two threads.
#include <cinelark/cl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "buffer.h"
#include "capture.h"
#include "copy_codec.h"

namespace {

class ClStreams : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(clOpenDecompressor(CopyCodecScheme(), &h_), 0); }
  void TearDown() override { EXPECT_EQ(clCloseDecompressor(h_), 0); }
  CL_BufferHdl Ring(int size) {
    b_ = clCreateBuf(h_, CL_DATA, 1, size, &base_);
    return b_;
  }
  uint8_t* base() const { return static_cast<uint8_t*>(base_); }
  // Puts bytes in with the head (the producer's raw side).
  void Produce(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      void* at = nullptr;
      const int room = clQueryFree(b_, 1, &at, nullptr);
      ASSERT_GT(room, 0);
      const int k = std::min<int>(room, static_cast<int>(bytes.size() - done));
      std::memcpy(at, bytes.data() + done, k);
      ASSERT_EQ(clUpdateHead(b_, k), k);
      done += k;
    }
  }
  CL_Handle h_ = nullptr;
  CL_BufferHdl b_ = nullptr;
  void* base_ = nullptr;
};

std::vector<uint8_t> Counting(int n, int from = 0) {
  std::vector<uint8_t> v(n);
  std::iota(v.begin(), v.end(), static_cast<uint8_t>(from));
  return v;
}

TEST_F(ClStreams, ReadsComeFromOneChunkUntilItRunsShort) {
  Ring(100);
  Produce(Counting(30));
  void* at = nullptr;
  ASSERT_EQ(clReadData(b_, 4, &at), 4);
  EXPECT_EQ(at, base());
  ASSERT_EQ(clReadData(b_, 6, &at), 6);
  EXPECT_EQ(static_cast<uint8_t*>(at)[0], 4);
  // Nothing is released until the chunk is used up or the codec says done.
  EXPECT_EQ(b_->ring.ValidBytes(), 30);
  EXPECT_EQ(clDone(b_, -1), 10);
  EXPECT_EQ(b_->ring.ValidBytes(), 20);
  ASSERT_EQ(clReadData(b_, 20, &at), 20);
  EXPECT_EQ(static_cast<uint8_t*>(at)[19], 29);
}

TEST_F(ClStreams, ReadAcrossTheEndIsStagedContiguously) {
  Ring(16);
  Produce(Counting(12));
  void* at = nullptr;
  ASSERT_EQ(clReadData(b_, 12, &at), 12);
  clDone(b_, -1);
  Produce(Counting(10, 100));  // 4 bytes at the end, 6 at the start
  ASSERT_EQ(clReadData(b_, 7, &at), 7);
  EXPECT_NE(at, base() + 12);
  const std::vector<uint8_t> got(static_cast<uint8_t*>(at), static_cast<uint8_t*>(at) + 7);
  EXPECT_EQ(got, Counting(7, 100));
  // The rest of the chunk continues in the ring after the wrapped bytes.
  ASSERT_EQ(clReadData(b_, 3, &at), 3);
  EXPECT_EQ(at, base() + 3);
  EXPECT_EQ(static_cast<uint8_t*>(at)[2], 109);
  EXPECT_EQ(clDone(b_, -1), 10);
  EXPECT_EQ(b_->ring.ValidBytes(), 0);
}

TEST_F(ClStreams, RunningOutOfDataIsReportedOnceTheProducerIsDone) {
  Ring(32);
  Produce(Counting(5));
  clDoneUpdatingHead(b_);
  CapturedErrors errors;
  void* at = nullptr;
  EXPECT_EQ(clReadData(b_, 8, &at), 0);
  EXPECT_EQ(errors.only(), "clReadData: Apparently ran out of data while decompressing.\n");
  // What is there can still be read.
  EXPECT_EQ(clReadDataRange(b_, 1, 8, &at), 5);
  EXPECT_EQ(static_cast<uint8_t*>(at)[4], 4);
}

TEST_F(ClStreams, RangeReadsAndTheLargestChunk) {
  Ring(64);
  Produce(Counting(60));
  ASSERT_EQ(clReadSetup(b_, 16), 0);
  void* at = nullptr;
  EXPECT_EQ(clReadDataRange(b_, 1, 100, &at), 16);
  EXPECT_EQ(clReadDataRange(b_, 1, 100, &at), 16);
  EXPECT_EQ(static_cast<uint8_t*>(at)[0], 16);
  EXPECT_EQ(clReadData(b_, 30, &at), 16);  // limited to the largest chunk
  EXPECT_EQ(static_cast<uint8_t*>(at)[0], 32);
  CapturedErrors errors;
  EXPECT_EQ(clReadDataRange(b_, 5, 4, &at), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(clReadSetup(b_, 0), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(errors.reports().size(), 2u);
}

TEST_F(ClStreams, ReaderRefusesFrameBuffersAndBadArguments) {
  CL_BufferHdl frames = clCreateBuf(h_, CL_FRAME, 1, 307200, nullptr);
  CapturedErrors errors;
  void* at = nullptr;
  EXPECT_EQ(clReadData(frames, 1, &at), CL_ERR_BAD_BUFFER_TYPE);
  EXPECT_EQ(errors.only(), "clReadData: invalid buffer type (1)\n");
  EXPECT_EQ(clWriteData(frames, 1, &at), CL_ERR_BAD_BUFFER_TYPE);
  EXPECT_EQ(clReadData(nullptr, 1, &at), CL_ERR_NULL_BUFFER_HANDLE);
  Ring(8);
  EXPECT_EQ(clReadData(b_, -1, &at), CL_ERR_BAD_AMOUNT);
  EXPECT_EQ(clReadData(b_, 1, nullptr), CL_ERR_NULL_BUFFER_POINTER);
  EXPECT_EQ(clDone(b_, 3), CL_ERR_NO_DATA);  // nothing there to release
  EXPECT_EQ(errors.last(), "clDone: could not release last data chunk (released 3 != actual 0) failed\n");
}

TEST_F(ClStreams, WriterStoresBigEndianValuesAcrossTheEnd) {
  Ring(10);
  void* at = nullptr;
  ASSERT_EQ(clWriteData(b_, 7, &at), 7);
  std::memset(at, 0xEE, 7);
  ASSERT_EQ(clWriteDone(b_, -1), 7);
  // The consumer frees the first 7 bytes so the writer can wrap.
  ASSERT_EQ(clUpdateTail(b_, 7), 7);
  ASSERT_EQ(clWrite4Bytes(b_, 0, &at, 0x11223344), 0);  // 3 bytes at the end, 1 at the start
  EXPECT_EQ(at, base() + 1);
  ASSERT_EQ(clWrite2Bytes(b_, 0, &at, 0xA1B2), 0);
  static_cast<uint8_t*>(at)[0] = 0x77;  // stored in place, then skipped
  ASSERT_EQ(clWrite1Byte(b_, 1, &at, 0x5C), 0);
  EXPECT_EQ(at, base() + 5);
  ASSERT_EQ(clWriteDone(b_, -1), 5);
  EXPECT_EQ(b_->ring.ValidBytes(), 8);
  const uint8_t expected[] = {0x44, 0xA1, 0xB2, 0x77, 0x5C, 0, 0, 0x11, 0x22, 0x33};
  EXPECT_EQ(std::memcmp(base(), expected, 5), 0);
  EXPECT_EQ(std::memcmp(base() + 7, expected + 7, 3), 0);
}

TEST_F(ClStreams, WriterChecksSkipAndCommit) {
  Ring(8);
  void* at = nullptr;
  CapturedErrors errors;
  EXPECT_EQ(clWrite1Byte(b_, 3, &at, 1), CL_ERR_BAD_AMOUNT);  // no chunk handed out yet
  EXPECT_EQ(clWriteDone(b_, 9), CL_ERR_NO_DATA);
  EXPECT_EQ(errors.last(), "clWriteDone: could not update last data chunk (update 9 != actual 8) failed\n");
}

TEST_F(ClStreams, WrittenBytesAreCommittedBeforeWaitingForRoom) {
  // With a consumer that only drains what is committed, a writer producing
  // more than the ring holds must commit as it goes or both sides stall.
  Ring(16);
  std::vector<uint8_t> received;
  std::thread consumer([&] {
    for (;;) {
      void* at = nullptr;
      const int k = clReadDataRange(b_, 1, 16, &at);
      if (k <= 0) break;
      received.insert(received.end(), static_cast<uint8_t*>(at), static_cast<uint8_t*>(at) + k);
      clDone(b_, -1);
    }
  });
  CapturedErrors errors;  // the final empty read reports running out
  for (int i = 0; i < 100; ++i) ASSERT_EQ(clWrite2Bytes(b_, 0, nullptr, 0x0100 * i + i), 0);
  clWriteDone(b_, -1);
  clDoneUpdatingHead(b_);
  consumer.join();
  ASSERT_EQ(received.size(), 200u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(received[2 * i], i);
    EXPECT_EQ(received[2 * i + 1], i);
  }
}

// Frames and compressed bytes stream between threads through rings smaller
// than one frame's bytes, so every ring wraps many times and each side keeps
// waiting for the other.
class ClStreamThreads : public testing::Test {
 protected:
  static constexpr int kWidth = 8, kHeight = 3, kFrameBytes = kWidth * kHeight * 4, kFrames = 60;

  void SetUp() override {
    ASSERT_EQ(clOpenDecompressor(CopyCodecScheme(), &h_), 0);
    int pv[] = {CL_IMAGE_WIDTH, kWidth, CL_IMAGE_HEIGHT, kHeight, CL_ORIGINAL_FORMAT, CL_RGBX};
    ASSERT_EQ(clSetParams(h_, pv, 6), 0);
  }
  void TearDown() override { EXPECT_EQ(clCloseDecompressor(h_), 0); }
  static uint8_t Byte(int frame, int i) { return static_cast<uint8_t>(frame * 7 + i); }
  CL_Handle h_ = nullptr;
};

TEST_F(ClStreamThreads, DecompressorReadsAStreamWrittenByAnotherThread) {
  CL_BufferHdl frames = clCreateBuf(h_, CL_FRAME, 2, kFrameBytes, nullptr);
  CL_BufferHdl data = clCreateBuf(h_, CL_DATA, 1, 50, nullptr);
  ASSERT_TRUE(frames && data);
  std::thread writer([&] {
    const int header[] = {0x0C1C0DEC, kCopyHeaderBytes, CL_ALGORITHM_ID, CopyCodecScheme(), CL_ALGORITHM_VERSION,
                          1,          CL_IMAGE_WIDTH,   kWidth,          CL_IMAGE_HEIGHT,   kHeight};
    for (int word : header) ASSERT_EQ(clWrite4Bytes(data, 0, nullptr, word), 0);
    for (int f = 0; f < kFrames; ++f) {
      int left = kFrameBytes;
      while (left > 0) {
        void* at = nullptr;
        const int k = clWriteData(data, left, &at);
        ASSERT_GT(k, 0);
        for (int i = 0; i < k; ++i) static_cast<uint8_t*>(at)[i] = Byte(f, kFrameBytes - left + i);
        left -= k;
      }
      clWriteDone(data, -1);
    }
    clDoneUpdatingHead(data);
  });
  std::vector<uint8_t> decoded;
  for (int f = 0; f < kFrames; ++f) {
    ASSERT_EQ(clDecompress(h_, 1, 0, nullptr, nullptr), 0);
    void* at = nullptr;
    ASSERT_EQ(clQueryValid(frames, 1, &at, nullptr), 1);
    decoded.insert(decoded.end(), static_cast<uint8_t*>(at), static_cast<uint8_t*>(at) + kFrameBytes);
    ASSERT_EQ(clUpdateTail(frames, 1), 1);
  }
  writer.join();
  ASSERT_EQ(decoded.size(), size_t(kFrames) * kFrameBytes);
  for (int f = 0; f < kFrames; ++f)
    for (int i = 0; i < kFrameBytes; ++i) ASSERT_EQ(decoded[f * kFrameBytes + i], Byte(f, i)) << f;
}

TEST_F(ClStreamThreads, ConsumerWaitingForMoreWakesWhenTheProducerFinishes) {
  CL_BufferHdl data = clCreateBuf(h_, CL_DATA, 1, 64, nullptr);
  int got = -1;
  std::thread consumer([&] {
    void* at = nullptr;
    got = clQueryValid(data, 40, &at, nullptr);  // waits: only 10 will come
  });
  void* at = nullptr;
  ASSERT_EQ(clQueryFree(data, 10, &at, nullptr), 64);
  ASSERT_EQ(clUpdateHead(data, 10), 10);
  ASSERT_EQ(clDoneUpdatingHead(data), 0);
  consumer.join();
  EXPECT_EQ(got, 10);
}

}  // namespace
