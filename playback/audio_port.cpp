// The movie's output port: opened at binding with a queue of about one image
// frame of samples, so that the blocking write holds the picture at most a
// frame ahead of the sound, and closed when the movie is closed.
//
// The device has one output rate for all ports. A movie sets it to the
// standard rate nearest to its own when its port opens, unless another movie
// is the primary-audio movie, whose own (unrounded) rate then stays. A track
// whose rate differs from the device's is resampled to it as it plays (the
// audio thread folds the rates' ratio into the speed), so a 5000 Hz track
// sounds at its pitch and paces its pictures at their rate.
//
// Every sequence of audio port calls runs with the library's error reporting
// switched off: a movie whose sound cannot be played plays silently, paced
// by its timer, and that is not an error the user has to read about.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include <cinelark/audio.h>

#include "audio_playback.h"
#include "error.h"

namespace {

// Switches the port library's reporting off for its lifetime and puts the
// previous handler back afterwards.
class QuietAudioErrors {
public:
    QuietAudioErrors() : previous_(ALseterrorhandler(nullptr)) {}
    ~QuietAudioErrors() { ALseterrorhandler(previous_); }
    QuietAudioErrors(const QuietAudioErrors &) = delete;
    QuietAudioErrors &operator=(const QuietAudioErrors &) = delete;

private:
    ALerrfunc previous_;
};

// The queue's bounds per channel: at least enough that the device never
// starves between two writes, at most what a port's ring takes.
constexpr int32_t kMinQueuePerChannel = 510;
constexpr int32_t kMaxQueuePerChannel = 131000;

// The standard output rates and the upper bound (exclusive) of the track
// rates that go to each: the midpoints between neighbours, rounded.
struct RateBand {
    int32_t below;
    int32_t rate;
};
constexpr RateBand kRateBands[] = {{9392, 8000},   {13283, 11025}, {18784, 16000},
                                   {26564, 22050}, {37567, 32000}, {46010, 44100}};
constexpr int32_t kTopRate = 48000;

int setDeviceRate(int32_t rate)
{
    long pairs[2] = {AL_PARAM_OUTPUT_RATE, rate};
    return ALsetparams(AL_DEFAULT_DEVICE, pairs, 2);
}

// The rate the device plays at, or the given one when it cannot be asked.
int32_t deviceRate(int32_t otherwise)
{
    long pairs[2] = {AL_PARAM_OUTPUT_RATE, 0};
    return ALgetparams(AL_DEFAULT_DEVICE, pairs, 2) == 0 && pairs[1] > 0 ? int32_t(pairs[1])
                                                                          : otherwise;
}

}  // namespace

int32_t __mvPB_AudioQueueSize(int32_t samplesPerFrame, int32_t channels)
{
    const int64_t wanted = int64_t(samplesPerFrame) + 2;
    const int64_t low = int64_t(channels) * kMinQueuePerChannel;
    const int64_t high = int64_t(channels) * kMaxQueuePerChannel;
    return int32_t(std::min(std::max(wanted, low), high));
}

int32_t __mvPB_PortSamplesPerFrame(const MVplayback *object)
{
    return int32_t(std::ceil(object->samplesPerFrame / object->rateStep));
}

int32_t __mvPB_StandardAudioRate(int32_t rate)
{
    for (const RateBand &band : kRateBands)
        if (rate < band.below)
            return band.rate;
    return kTopRate;
}

int __mvPB_InitAudioPort(MVplayback *object)
{
    const int32_t standard = __mvPB_StandardAudioRate(object->audioRate);
    if (object->audioRate <= 0 || (object->bytesPerSample != 1 && object->bytesPerSample != 2)) {
        // Only 8- and 16-bit samples have resamplers.
        __mvSetErrno(EINVAL);
        return -1;
    }
    object->rateStep = double(object->audioRate) / standard;
    QuietAudioErrors quiet;
    ALconfig config = ALnewconfig();
    if (!config) {
        __mvSetErrno(errno ? errno : ENOMEM);
        return -1;
    }
    ALport port = nullptr;
    if (ALsetwidth(config, object->bytesPerSample) == 0 &&
        ALsetchannels(config, object->channels) == 0 &&
        ALsetqueuesize(config, __mvPB_AudioQueueSize(__mvPB_PortSamplesPerFrame(object),
                                                     object->channels)) == 0) {
        // The pacing thread does not exist yet while the movie is bound.
        char name[32];
        std::snprintf(name, sizeof name, "movi%d:%d", 0, object->playbackID);
        port = ALopenport(name, "w", config);
    }
    const int error = errno;
    ALfreeconfig(config);
    if (!port) {
        __mvSetErrno(error ? error : EIO);
        return -1;
    }
    const MVid primary = __mvPB_GetPrimaryAudio();
    if ((primary == MV_PRIMARY_AUDIO_NONE || primary == object->movie) &&
        setDeviceRate(standard) != 0) {
        const int failed = errno;
        ALcloseport(port);
        __mvSetErrno(failed ? failed : EIO);
        return -1;
    }
    object->rateStep = double(object->audioRate) / deviceRate(standard);
    if (ALsetfillpoint(port, 0) != 0) {
        const int failed = errno;
        ALcloseport(port);
        __mvSetErrno(failed ? failed : EIO);
        return -1;
    }
    object->audioPort = port;
    return 0;
}

void __mvPB_FreeAudioPort(MVplayback *object)
{
    if (!object->audioPort)
        return;
    QuietAudioErrors quiet;
    ALcloseport(object->audioPort);
    object->audioPort = nullptr;
}

int __mvPB_SetPrimaryAudio(MVplayback *object)
{
    if (!object->hasAudio)
        return 0;
    QuietAudioErrors quiet;
    if (setDeviceRate(object->audioRate) != 0) {
        __mvSetErrno(errno ? errno : EIO);
        return -1;
    }
    return 0;
}

MVid __mvPB_GetPrimaryAudio() { return mvGetPrimaryAudio(); }
