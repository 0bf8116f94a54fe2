// The bridge used from two threads at once, as when the application edits
// one movie while the engine reads another: each thread's errors carry its
// own message, nothing reaches the handler the program installed, and that
// handler is back once both are done.
#include <gtest/gtest.h>

#include <cinelark/cl.h>
#include <cinelark/dmparams.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "codec_bridge.h"
#include "engine_hooks.h"
#include "error.h"
#include "probe_codec.h"

namespace {

std::atomic<int> reportsSeen{0};
void countingHandler(CL_Handle, int, const char *, ...) { reportsSeen++; }

// Round trips frames through a library codec; every few frames it hands
// over a cut frame, which must fail with the probe's message.
void work(int rounds, std::atomic<int> &failures)
{
    MVcodec *codec = nullptr;
    if (__mvCD_Create(kProbeName, 8, 4, 24, DM_PACKING_RGBX, &codec) != 0) {
        failures++;
        return;
    }
    size_t bytes = 0;
    __mvCD_BufferSize(codec, &bytes);
    std::vector<uint8_t> buffer(bytes);
    std::vector<uint32_t> frame(32), back(32);
    for (int r = 0; r < rounds; r++) {
        for (size_t i = 0; i < frame.size(); i++)
            frame[i] = uint32_t(r * 131 + int(i)) & 0x00FFFFFF;
        std::vector<uint32_t> copy = frame;
        size_t size = 0;
        int key = 0;
        if (__mvCD_Compress(codec, &size, &key, copy.data(), buffer.size(), buffer.data()) != 0 ||
            __mvCD_Decompress(codec, size, buffer.data(), back.data()) != 0 || back != frame)
            failures++;
        if (r % 7 == 0) {
            if (__mvCD_Decompress(codec, 5, buffer.data(), back.data()) != -1 ||
                std::string(__mvErrorDetail).empty())
                failures++;
        }
    }
    __mvCD_Destroy(codec);
}

TEST(BridgeThreads, TwoThreadsKeepTheHandlerQuietAndRestoreIt)
{
    probeScheme();
    reportsSeen = 0;
    CL_ErrorHandler previous = clSetErrorHandler(countingHandler);
    std::atomic<int> failures{0};
    std::thread a(work, 300, std::ref(failures));
    std::thread b(work, 300, std::ref(failures));
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(reportsSeen.load(), 0);
    EXPECT_EQ(clSetErrorHandler(previous), countingHandler);
}

}  // namespace
