// A decoder's frame with guard words on both sides, to catch writes outside
// it, and the picture it holds, top row first.
#ifndef CINELARK_TESTS_PLAYBACK_GUARDED_FRAME_H
#define CINELARK_TESTS_PLAYBACK_GUARDED_FRAME_H

#include <algorithm>
#include <vector>

#include "qt_tools.h"

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

#endif
