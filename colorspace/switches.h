// The three process-wide switches of the converters. They are plain settings
// read at the start of each conversion; atomics only so that a read racing a
// caller's set is defined behaviour (callers that convert from several
// threads still serialise their set-convert-reset sequences).
#pragma once

#include <atomic>

namespace cinelark::cs {

extern std::atomic<int> CS_flipVertically;
extern std::atomic<int> CS_fast;
extern std::atomic<int> CS_zoomX;
extern std::atomic<int> CS_zoomY;

inline bool flipping() { return CS_flipVertically.load(std::memory_order_relaxed) != 0; }
inline bool fastMode() { return CS_fast.load(std::memory_order_relaxed) != 0; }
inline int zoomY() { return CS_zoomY.load(std::memory_order_relaxed); }

}  // namespace cinelark::cs
