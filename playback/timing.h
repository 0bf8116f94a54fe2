// The timer's arithmetic, kept apart from its thread so that it can be
// checked on its own.
#ifndef CINELARK_PLAYBACK_TIMING_H
#define CINELARK_PLAYBACK_TIMING_H

#include <cstdint>

// A frame that would come due within this many microseconds is taken now:
// waking a little early costs less than a whole period late.
constexpr int32_t kEarlyFrameMicroseconds = 10000;

// Microseconds per frame at a speed (non-zero), rounded to the nearest.
int32_t __mvPB_CalcDelayFromSpeed(double imageRate, double speed);

// The whole frames due after elapsed microseconds (carry included); the rest
// goes to carry, negative when a frame was taken early.
int32_t __mvPB_FramesDue(int64_t elapsed, int32_t frameDelay, int64_t *carry);

// Whether a measured rate is below the threshold's share of the wanted rate.
bool __mvPB_IsSlow(double actualRate, double imageRate, double speed, double threshold);

#endif
