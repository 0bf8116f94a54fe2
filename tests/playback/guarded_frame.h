// What the QuickTime decoder tests share: a decoder's frame with guard words
// on both sides, to catch writes outside it, and the checks that a run of
// frames decodes as ffmpeg decodes it and that damaged streams report.
#ifndef CINELARK_TESTS_PLAYBACK_GUARDED_FRAME_H
#define CINELARK_TESTS_PLAYBACK_GUARDED_FRAME_H

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "qt_tools.h"
#include "quicktime_coders.h"

class GuardedFrame {
public:
    static constexpr uint32_t kGuard = 0xDEADBEEF;
    GuardedFrame(int width, int height, uint32_t fill = 0)
        : width_(width), height_(height), words_(size_t(width) * size_t(height) + 2 * kPad, kGuard)
    {
        std::fill(data(), data() + pixels(), fill);
    }
    uint32_t *data() { return words_.data() + kPad; }
    size_t pixels() const { return size_t(width_) * size_t(height_); }
    bool guardsIntact() const
    {
        for (size_t i = 0; i < kPad; i++)
            if (words_[i] != kGuard || words_[words_.size() - 1 - i] != kGuard)
                return false;
        return true;
    }
    // The picture it holds, top row first.
    qt_tools::Picture picture() const
    {
        qt_tools::Picture p(words_.begin() + kPad, words_.begin() + ptrdiff_t(kPad + pixels()));
        return qt_tools::flipRows(p, width_, height_);
    }

private:
    static constexpr size_t kPad = 64;
    int width_, height_;
    std::vector<uint32_t> words_;
};

// Decodes the frames one over the other, as a player does, and compares each
// with ffmpeg's picture. decode(frame, bytes) returns the decoder's status.
template <typename Decode>
void expectDecodesTo(const std::vector<qt_tools::Bytes> &frames,
                     const std::vector<qt_tools::Picture> &reference, int width, int height,
                     Decode decode)
{
    ASSERT_EQ(reference.size(), frames.size());
    GuardedFrame frame(width, height);
    for (size_t i = 0; i < frames.size(); i++) {
        ASSERT_EQ(decode(frame, frames[i]), kQtOk) << "frame " << i;
        EXPECT_EQ(frame.picture(), reference[i]) << "frame " << i;
    }
    EXPECT_TRUE(frame.guardsIntact());
}

// ffmpeg codes the clip with the arguments; its packets must decode as
// ffmpeg decodes them. Returns ffmpeg's pictures.
template <typename Decode>
std::vector<qt_tools::Picture> expectDecodesAsFfmpeg(const std::vector<qt_tools::Picture> &clip,
                                                     int width, int height,
                                                     const std::string &codecArgs, Decode decode)
{
    const qt_tools::Bytes movie = qt_tools::ffmpegEncode(clip, width, height, codecArgs);
    const std::vector<qt_tools::Bytes> packets = qt_tools::ffmpegPackets(movie);
    EXPECT_EQ(packets.size(), clip.size());
    std::vector<qt_tools::Picture> reference = qt_tools::ffmpegDecode(movie, width, height);
    expectDecodesTo(packets, reference, width, height, decode);
    return reference;
}

// Our encoder codes the clip, encode(picture, previous, key) with a key
// frame every fifth, into a QuickTime file; ffmpeg must decode each frame
// as our decoder does. Returns the coded frames and ffmpeg's pictures.
struct CodedClip {
    std::vector<qt_tools::Bytes> frames;
    std::vector<qt_tools::Picture> decoded;
};

template <typename Encode, typename Decode>
CodedClip expectFfmpegDecodesOurs(const std::vector<qt_tools::Picture> &clip, int width,
                                  int height, const char fourcc[4], int depth, Encode encode,
                                  Decode decode)
{
    CodedClip coded;
    qt_tools::Picture previous(clip[0].size(), 0);
    for (size_t i = 0; i < clip.size(); i++) {
        coded.frames.push_back(encode(clip[i], previous, i % 5 == 0));
        previous = clip[i];
    }
    coded.decoded = qt_tools::ffmpegDecode(
        qt_tools::quickTimeFile(fourcc, width, height, depth, coded.frames), width, height);
    expectDecodesTo(coded.frames, coded.decoded, width, height, decode);
    return coded;
}

// A damaged stream: the status it must report. Whatever it holds, the
// decoder stays inside the frame.
struct BadStream {
    const char *name;
    qt_tools::Bytes data;
    int status;
    int depth = 24;
};

template <typename Decode>
void expectDamageReported(const std::vector<BadStream> &streams, int width, int height,
                          Decode decode)
{
    for (const BadStream &c : streams) {
        SCOPED_TRACE(c.name);
        GuardedFrame frame(width, height, 0x00111111);
        EXPECT_EQ(decode(frame, c), c.status);
        EXPECT_TRUE(frame.guardsIntact());
    }
}

#endif
