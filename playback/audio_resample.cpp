// The resamplers: first-order (linear) interpolation of a frame's samples
// when the movie plays slower than normal, linear decimation when it plays
// faster.
//
// Interpolation walks each channel in steps of |speed| < 1 from the last
// sample of the previous frame (kept in `state`) towards the frame's own
// samples: output k is previous + trunc(position x delta), and each time the
// position passes 1 the next input pair becomes (previous, next). The output
// of a frame therefore begins where the last one ended and the frame's last
// sample opens the next one: no click at the join.
//
// Decimation reads input position k x step for output k and interpolates
// between the two samples around it. Both keep differences at full width:
// two 16-bit samples may lie 65535 apart, and an interpolated value always
// lies between them, so nothing wraps.
//
// The loops run per channel over interleaved samples; the positions are kept
// in double precision so that a long frame does not drift from its step.
#include <algorithm>
#include <cstdint>

#include "audio_playback.h"

namespace {

template <typename Sample>
void interpolate(const Sample *in, Sample *out, int32_t inCount, int32_t outCount,
                 int32_t channels, Sample *state, float step)
{
    if (inCount <= 0 || outCount <= 0 || channels <= 0)
        return;
    const int32_t last = inCount - 1;
    for (int32_t c = 0; c < channels; c++) {
        int32_t previous = state[c];
        int32_t delta = int32_t(in[c]) - previous;
        int32_t next = 0;  // input index of the sample "previous" moves to
        double position = 0.0;
        Sample *o = out + c;
        for (int32_t k = 0; k < outCount; k++, o += channels) {
            *o = Sample(previous + int32_t(position * delta));
            position += step;
            if (position >= 1.0) {
                previous = in[size_t(next) * channels + c];
                // The advance after the frame's last output would look one
                // sample past the frame; its value is never used.
                next = std::min(next + 1, last);
                delta = int32_t(in[size_t(next) * channels + c]) - previous;
                position -= 1.0;
            }
        }
        state[c] = in[size_t(last) * channels + c];
    }
}

template <typename Sample>
void decimate(const Sample *in, Sample *out, int32_t inCount, int32_t outCount, int32_t channels,
              float step)
{
    if (inCount <= 0 || outCount <= 0 || channels <= 0)
        return;
    const int32_t last = inCount - 1;
    for (int32_t c = 0; c < channels; c++) {
        double position = 0.0;
        Sample *o = out + c;
        for (int32_t k = 0; k < outCount; k++, o += channels) {
            // outCount = trunc(inCount / step) keeps i + 1 inside the frame;
            // the bound only guards against a caller's larger count.
            const int32_t i = std::min(int32_t(position), last);
            const int32_t j = std::min(i + 1, last);
            const int32_t a = in[size_t(i) * channels + c];
            const int32_t b = in[size_t(j) * channels + c];
            *o = Sample(a + int32_t((position - i) * (b - a)));
            position += step;
        }
    }
}

}  // namespace

void __mvInterpolate16Poly1(const int16_t *in, int16_t *out, int32_t inCount, int32_t outCount,
                            int32_t channels, int16_t *state, float step)
{
    interpolate(in, out, inCount, outCount, channels, state, step);
}

void __mvDecimate16Poly1(const int16_t *in, int16_t *out, int32_t inCount, int32_t outCount,
                         int32_t channels, float step)
{
    decimate(in, out, inCount, outCount, channels, step);
}

void __mvInterpolate8Poly1(const int8_t *in, int8_t *out, int32_t inCount, int32_t outCount,
                           int32_t channels, int8_t *state, float step)
{
    interpolate(in, out, inCount, outCount, channels, state, step);
}

void __mvDecimate8Poly1(const int8_t *in, int8_t *out, int32_t inCount, int32_t outCount,
                        int32_t channels, float step)
{
    decimate(in, out, inCount, outCount, channels, step);
}
