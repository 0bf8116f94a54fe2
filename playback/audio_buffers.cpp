// The audio buffers of a movie with sound: the audio buffer holds one image
// frame's samples as read (a frame may map to one sample frame more than the
// average, hence samplesPerFrame + 1 audio frames), and the resampled buffer
// one frame's samples after stretching for a slower speed.
//
// The audio buffer is made before the audio thread starts and freed after it
// ended. The resampled buffer grows on the main thread at a speed change and
// is used by the audio thread, which may be in the middle of a write from it;
// so the main thread only leaves the larger buffer in resampledPending and
// the audio thread swaps it in between two frames. It never shrinks.
#include <sys/mman.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

#include <cinelark/dmparams.h>

#include "api.h"
#include "audio_playback.h"
#include "error.h"
#include "model.h"

namespace {

// The largest buffer one frame's sound may take. At the slowest speeds the
// resampled frame is clamped to it and the frame passes sooner than it
// should; at 48000 Hz stereo 16-bit it still holds over five minutes.
constexpr int64_t kMaxAudioBytes = int64_t(64) << 20;

}  // namespace

int32_t __mvPB_CalcSamplesFromSpeed(int32_t samples, double speed)
{
    const double scaled = std::trunc(double(samples) / std::fabs(speed));
    if (!(scaled >= 0.0 && scaled <= double(INT32_MAX)))
        return -1;
    return int32_t(scaled);
}

int __mvPB_InitAudioBuffers(MVplayback *object)
{
    __mvPB_FreeAudioBuffers(object);
    if (object->audioBufferSize == 0) {
        const int64_t frameBytes = dmAudioFrameSize(__mvT_GetVirtualFormat(object->audioTrack));
        const int64_t bytes = frameBytes * (int64_t(object->samplesPerFrame) + 1);
        if (frameBytes <= 0 || bytes > kMaxAudioBytes)
            return cinelark::movie::failWith(MV_ERR_AUDIO_SETTINGS);
        object->audioBufferSize = int32_t(bytes);
    }
    object->audioBuffer.reset(new (std::nothrow) uint8_t[size_t(object->audioBufferSize)]());
    if (!object->audioBuffer) {
        object->audioBufferSize = 0;
        return cinelark::movie::failWith(ENOMEM);
    }
    // Locked so that the write path does not fault; a refusal (no privilege,
    // a low limit) costs only that.
    mlock(object->audioBuffer.get(), size_t(object->audioBufferSize));
    // A track resampled to the device's rate needs the resampled buffer at
    // speed 1 already.
    return object->rateStep == 1.0 ? 0 : __mvPB_InitResampledAudioBuffer(object);
}

int __mvPB_FreeAudioBuffers(MVplayback *object)
{
    if (object->audioBuffer)
        munlock(object->audioBuffer.get(), size_t(object->audioBufferSize));
    object->audioBuffer.reset();
    object->audioBufferSize = 0;
    object->resampledBuffer.reset();
    object->resampledBufferSize = 0;
    std::lock_guard<std::mutex> hold(object->audioLock);
    object->resampledPending.reset();
    object->resampledPendingSize = 0;
    return 0;
}

int __mvPB_InitResampledAudioBuffer(MVplayback *object)
{
    const int32_t samples = __mvPB_CalcSamplesFromSpeed(
        object->samplesPerFrame + 2, object->speed.load() * object->rateStep);
    const int64_t needed = int64_t(samples) * object->bytesPerSample;
    if (samples < 0 || needed > kMaxAudioBytes)
        return cinelark::movie::failWith(MV_ERR_NO_MEMORY);
    {
        std::lock_guard<std::mutex> hold(object->audioLock);
        if (needed <= object->resampledPendingSize)
            return 0;
    }
    std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[size_t(needed)]);
    if (!grown)
        return cinelark::movie::failWith(MV_ERR_NO_MEMORY);
    std::lock_guard<std::mutex> hold(object->audioLock);
    object->resampledPending = std::move(grown);
    object->resampledPendingSize = int32_t(needed);
    return 0;
}

void __mvPBaud_TakeResampledBuffer(MVplayback *object)
{
    std::lock_guard<std::mutex> hold(object->audioLock);
    if (!object->resampledPending)
        return;
    object->resampledBuffer = std::move(object->resampledPending);
    object->resampledBufferSize = object->resampledPendingSize;
}
