// Sound playback: the port a movie's sound goes to, its buffers, the audio
// thread that paces a movie by its sound, and the resamplers that stretch or
// squeeze a frame's samples at speeds other than 1.
//
// Sample counts. `samplesPerFrame` counts the samples of all channels in one
// image frame (the port's queue is sized from it); `frameSamples` and
// `outputSamples` count sample frames, one sample per channel. The audio
// thread writes frameSamples x channels samples at speed 1 and, after
// resampling, outputSamples x channels; the resamplers take and give counts
// per channel. So a stereo frame lasts as long as a mono one at every speed.
#ifndef CINELARK_PLAYBACK_AUDIO_PLAYBACK_H
#define CINELARK_PLAYBACK_AUDIO_PLAYBACK_H

#include <cstdint>

#include "engine.h"

// ---- the port (audio_port.cpp) ---------------------------------------------

// Samples (all channels) the port's queue holds: a frame's worth and two,
// at least 510 and at most 131000 per channel.
int32_t __mvPB_AudioQueueSize(int32_t samplesPerFrame, int32_t channels);

// One image frame's samples (all channels) at the device's rate.
int32_t __mvPB_PortSamplesPerFrame(const MVplayback *object);

// The standard output rate nearest to a track's rate in Hz.
int32_t __mvPB_StandardAudioRate(int32_t rate);

// Opens the movie's output port and sets the device's rate (unless another
// movie is the primary-audio movie). -1 with mvErrno when the sound cannot
// be played; the movie is then paced by its timer.
int __mvPB_InitAudioPort(MVplayback *object);
void __mvPB_FreeAudioPort(MVplayback *object);

// Makes the movie the primary-audio movie and sets the device's output rate
// to its own rate (application thread).
int __mvPB_SetPrimaryAudio(MVplayback *object);
MVid __mvPB_GetPrimaryAudio();

// ---- buffers (audio_buffers.cpp) -------------------------------------------

// trunc(n / |speed|), or -1 when that does not fit the engine's counts.
int32_t __mvPB_CalcSamplesFromSpeed(int32_t samples, double speed);

int __mvPB_InitAudioBuffers(MVplayback *object);
int __mvPB_FreeAudioBuffers(MVplayback *object);
// Main thread, at a speed change: makes sure the audio thread will have room
// for a resampled frame at the movie's speed. -1 with 1004 when the memory
// cannot be had (the speed change itself stands).
int __mvPB_InitResampledAudioBuffer(MVplayback *object);
// Audio thread: takes a buffer grown by a speed change.
void __mvPBaud_TakeResampledBuffer(MVplayback *object);

// ---- the audio thread (audio_thread.cpp) -----------------------------------

void __mvPB_AudioThread(MVplayback *object);
// Reads (or, with sound disabled or unmapped, zeroes) the current frame's
// samples into the audio buffer. -1 with mvErrno when the read fails.
int __mvPBaud_PrepareAudio(MVplayback *object);

// ---- resamplers (audio_resample.cpp) ---------------------------------------
// Each converts inCount sample frames of `channels` interleaved channels
// into outCount frames. The interpolators (step < 1, slower than normal)
// start from state[c], the last sample of channel c in the previous frame,
// and leave this frame's last samples there, so frames join without a click.
// The decimators (step > 1) take every step-th sample, interpolated. Channel
// counts of 1 to 4 are accepted.

void __mvInterpolate16Poly1(const int16_t *in, int16_t *out, int32_t inCount, int32_t outCount,
                            int32_t channels, int16_t *state, float step);
void __mvDecimate16Poly1(const int16_t *in, int16_t *out, int32_t inCount, int32_t outCount,
                         int32_t channels, float step);
void __mvInterpolate8Poly1(const int8_t *in, int8_t *out, int32_t inCount, int32_t outCount,
                           int32_t channels, int8_t *state, float step);
void __mvDecimate8Poly1(const int8_t *in, int8_t *out, int32_t inCount, int32_t outCount,
                        int32_t channels, float step);

#endif
