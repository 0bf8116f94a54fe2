// The stream reader and writer on data buffers.
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <thread>

#include "buffer.h"
#include "capture.h"
#include "codecs_test_util.h"
#include "copy_codec.h"

namespace {

using codectest::Counting;

class ClStreams : public testing::Test {
 protected:
  CL_BufferHdl Ring(int size) {
    b_ = clCreateBuf(h_, CL_DATA, 1, size, &base_);
    return b_;
  }
  uint8_t* base() const { return static_cast<uint8_t*>(base_); }
  // Puts bytes in with the head (the producer's raw side), all at once.
  void Produce(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(codectest::Feed(b_, bytes, SIZE_MAX, false), bytes.size());
  }
  codectest::Handle h_{CopyCodecScheme(), false};
  CL_BufferHdl b_ = nullptr;
  void* base_ = nullptr;
};

// Nothing is released until the chunk is used up or the codec says done;
// a read across the ring's end is staged contiguously.
TEST_F(ClStreams, ReadsComeFromChunksStagedAcrossTheEnd) {
  Ring(36);
  Produce(Counting(30));
  void* at = nullptr;
  ASSERT_EQ(clReadData(b_, 4, &at), 4);
  EXPECT_EQ(at, base());
  ASSERT_EQ(clReadData(b_, 6, &at), 6);
  EXPECT_EQ(static_cast<uint8_t*>(at)[0], 4);
  EXPECT_EQ(b_->ring.ValidBytes(), 30);
  EXPECT_EQ(clDone(b_, -1), 10);
  EXPECT_EQ(b_->ring.ValidBytes(), 20);
  ASSERT_EQ(clReadData(b_, 20, &at), 20);
  EXPECT_EQ(static_cast<uint8_t*>(at)[19], 29);
  EXPECT_EQ(clDone(b_, -1), 20);

  Produce(Counting(10, 100));  // 6 bytes at the end, 4 at the start
  ASSERT_EQ(clReadData(b_, 7, &at), 7);
  EXPECT_NE(at, base() + 30);
  EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(at), static_cast<uint8_t*>(at) + 7), Counting(7, 100));
  ASSERT_EQ(clReadData(b_, 3, &at), 3);
  EXPECT_EQ(at, base() + 1);
  EXPECT_EQ(static_cast<uint8_t*>(at)[2], 109);
  EXPECT_EQ(clDone(b_, -1), 10);
  EXPECT_EQ(b_->ring.ValidBytes(), 0);
}

// A reader asleep waiting for more than there is wakes when the producer
// says done, and reports the end.
TEST_F(ClStreams, RunningOutOfDataIsReportedOnceTheProducerIsDone) {
  Ring(32);
  Produce(Counting(5));
  CapturedErrors errors;
  void* at = nullptr;
  std::atomic<pid_t> reader = 0;
  std::promise<int> read;
  std::future<int> result = read.get_future();
  std::thread sleeper([&] {
    reader = gettid();
    read.set_value(clReadData(b_, 8, &at));
  });
  // Once inside the ring the reader can only sleep on its wait for data.
  while (reader == 0 || b_->ring.Users() == 0) std::this_thread::yield();
  // ... and is asleep in the kernel (state S) before the producer says done.
  auto asleep = [&] {
    std::ifstream stat("/proc/self/task/" + std::to_string(reader) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t name = line.rfind(')');
    return name != std::string::npos && line.compare(name + 1, 3, " S ") == 0;
  };
  while (!asleep()) std::this_thread::yield();
  clDoneUpdatingHead(b_);
  const bool woke = result.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!woke) Produce(Counting(3));  // what it waits for, so that a failure does not hang
  sleeper.join();
  ASSERT_TRUE(woke) << "the reader slept through the producer's done";
  EXPECT_EQ(result.get(), 0);
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

TEST_F(ClStreams, ReaderAndWriterCheckTheirArguments) {
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
  EXPECT_EQ(clWrite1Byte(b_, 3, &at, 1), CL_ERR_BAD_AMOUNT);  // no chunk handed out yet
  EXPECT_EQ(clWriteDone(b_, 9), CL_ERR_NO_DATA);
  EXPECT_EQ(errors.last(), "clWriteDone: could not update last data chunk (update 9 != actual 8) failed\n");
}

}  // namespace
