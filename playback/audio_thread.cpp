// The audio thread: paces a movie with sound by its sound. Each iteration it
// prepares the current frame's samples, writes them to the movie's port and
// only then advances the frame; the write blocks while the port's queue (about
// one frame) is full, so the device's clock sets the picture's pace and the
// picture leads the sound by at most about a frame.
//
// The thread shares the timer thread's hand-overs with the main thread: it
// waits at the gate until a play, parks again at a halt or a freeze, and at
// the end of play closes the gate itself. Teardown sets pacingStop, opens
// the gate and joins it; a write in progress ends within a frame's time.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include <cinelark/audio.h>

#include "audio_playback.h"
#include "error.h"
#include "frames.h"

namespace {

// The last sample of each channel of the previous frame, where the next
// slowed-down frame starts from. Each audio thread keeps its own, so that two
// movies resampling at once neither race nor splice each other's sound.
struct Joins {
    int16_t wide[4] = {0, 0, 0, 0};
    int8_t narrow[4] = {0, 0, 0, 0};
};

// A halt, a freeze or teardown is waiting for the thread.
bool interrupted(const MVplayback *object)
{
    return object->pacingStop.load() || object->haltRequest.load() ||
           object->freezeRequest.load();
}

// When the port refuses a write (its device has stopped for good) the frame
// still lasts its time, so the picture keeps its pace without sound.
void sleepFrame(MVplayback *object, int64_t sampleFrames)
{
    const auto lasts = std::chrono::microseconds(
        int64_t(double(sampleFrames) * 1e6 * object->rateStep / object->audioRate));
    __mvPB_PacingSleep(object, std::chrono::steady_clock::now() + lasts);
}

// Resamples the prepared frame into the resampled buffer for a speed other
// than 1; returns the sample frames it holds. Fewer than asked when the
// buffer could not grow to a whole slowed frame (the frame then passes
// sooner), none when there is no buffer at all.
int32_t resample(MVplayback *object, int32_t frames, int32_t wanted, float step, Joins &joins)
{
    __mvPBaud_TakeResampledBuffer(object);
    const int32_t channels = object->channels;
    const int32_t room = object->resampledBufferSize / (channels * object->bytesPerSample);
    const int32_t count = std::min(wanted, room);
    if (count <= 0)
        return 0;
    uint8_t *in = object->audioBuffer.get();
    uint8_t *out = object->resampledBuffer.get();
    if (object->bytesPerSample == 2) {
        const auto *from = reinterpret_cast<const int16_t *>(in);
        auto *to = reinterpret_cast<int16_t *>(out);
        if (frames < wanted)
            __mvInterpolate16Poly1(from, to, frames, count, channels, joins.wide, step);
        else
            __mvDecimate16Poly1(from, to, frames, count, channels, step);
    } else {
        const auto *from = reinterpret_cast<const int8_t *>(in);
        auto *to = reinterpret_cast<int8_t *>(out);
        if (frames < wanted)
            __mvInterpolate8Poly1(from, to, frames, count, channels, joins.narrow, step);
        else
            __mvDecimate8Poly1(from, to, frames, count, channels, step);
    }
    return count;
}

// Keeps the frame's last samples whatever the speed, so that a slowed
// frame after a change of speed starts where the sound left off.
void rememberJoin(const MVplayback *object, int32_t frames, Joins &joins)
{
    if (frames <= 0)
        return;
    const int32_t channels = object->channels;
    const uint8_t *last = object->audioBuffer.get() +
                          size_t(frames - 1) * size_t(channels * object->bytesPerSample);
    for (int32_t c = 0; c < channels && c < 4; c++) {
        if (object->bytesPerSample == 2)
            std::memcpy(&joins.wide[c], last + 2 * c, 2);
        else
            joins.narrow[c] = int8_t(last[c]);
    }
}

// How much of the prepared frame's sound has reached the port: a halt that
// comes during a write leaves the frame part written (or whole, when it came
// during the last piece), and the next play goes on from there instead of
// writing that sound a second time.
struct Progress {
    int64_t done = 0;    // samples (all channels) written
    int64_t total = 0;   // samples of the frame as it was being written
    double speed = 0.0;  // the speed they were made for
};

// Writes the prepared frame at the current speed, from where an interrupted
// write of it left off; blocks while the port's queue is full. False when a
// halt, a freeze or teardown stopped it before the end.
bool writeFrame(MVplayback *object, Joins &joins, Progress &progress)
{
    // The track's rate against the device's stretches the sound as a speed
    // would.
    const double speed = object->speed.load() * object->rateStep;
    const int32_t frames = object->frameSamples;
    const int32_t wanted = __mvPB_CalcSamplesFromSpeed(frames, speed);
    object->outputSamples = wanted;
    const bool resuming = progress.done > 0;
    const bool resampled = wanted != frames && wanted >= 0;
    const void *samples = object->audioBuffer.get();
    int64_t count = frames;
    if (resampled) {
        // A resumed frame at the same speed is still in the buffer; made
        // again it would start from the join this frame itself left.
        const int32_t made = resuming && progress.speed == speed
                                 ? int32_t(progress.total / object->channels)
                                 : resample(object, frames, wanted, float(std::fabs(speed)), joins);
        if (made > 0) {
            samples = object->resampledBuffer.get();
            count = made;
        }
    }
    if (!resuming)
        rememberJoin(object, frames, joins);
    // A slowed frame lasts several frames' time; it is written a queue's
    // worth at a time, so that a halt, a freeze or teardown waits for no
    // more than that.
    const int32_t channels = object->channels;
    const int64_t total = count * channels;
    // After a change of speed the same share of the frame counts as done.
    int64_t done = 0;
    if (resuming && progress.total > 0)
        done = std::min(total, progress.done * total / progress.total) / channels * channels;
    progress = {done, total, speed};
    const int64_t piece =
        std::max<int64_t>(
            __mvPB_AudioQueueSize(__mvPB_PortSamplesPerFrame(object), channels) / channels, 1) *
        channels;
    const auto *bytes = static_cast<const uint8_t *>(samples);
    while (progress.done < total) {
        if (progress.done > done && interrupted(object))
            return false;
        const int64_t n = std::min(piece, total - progress.done);
        if (ALwritesamps(object->audioPort, bytes + progress.done * object->bytesPerSample,
                         long(n)) != 0) {
            sleepFrame(object, (total - progress.done) / channels);
            progress.done = total;
            break;
        }
        progress.done += n;
    }
    return true;
}

}  // namespace

int __mvPBaud_PrepareAudio(MVplayback *object)
{
    const int32_t frame = object->currentFrame.load();
    const int32_t channels = object->channels;
    const int32_t frameBytes = channels * object->bytesPerSample;
    const int32_t room = object->audioBufferSize / frameBytes;
    int first = 0, end = 0;
    const bool mapped = mvMapBetweenTracks(object->imageTrack, object->audioTrack, frame, &first) == 0 &&
                        mvMapBetweenTracks(object->imageTrack, object->audioTrack, frame + 1, &end) == 0 &&
                        end >= first;
    // An unmapped frame (past the end of the sound) lasts an average frame.
    const int32_t samples = mapped ? std::min(end - first, room) : object->samplesPerFrame / channels;
    object->frameSamples = samples;
    object->outputSamples = __mvPB_CalcSamplesFromSpeed(samples, object->speed.load());
    uint8_t *buffer = object->audioBuffer.get();
    if (object->audioEnabled.load() && mapped) {
        if (__mvT_ReadUnsignedAudio(object->audioTrack, first, samples,
                                    size_t(object->audioBufferSize), buffer) != 0)
            return -1;
    } else {
        std::memset(buffer, 0, size_t(object->audioBufferSize));
    }
    object->audioFrame = frame;
    return 0;
}

void __mvPB_AudioThread(MVplayback *object)
{
    Joins joins;
    Progress progress;
    object->haltRequest = 0;
    object->playing = 0;
    object->pacingReady = true;
    if (!__mvPB_Park(object))
        return;
    for (;;) {
        if (object->pacingStop.load())
            return;
        if (object->haltRequest.load() || object->freezeRequest.load()) {
            if (object->haltRequest.exchange(0))
                object->playing = 0;
            if (!__mvPB_Park(object))
                return;
            continue;
        }
        if (object->currentFrame.load() != object->audioFrame.load()) {
            progress = {};
            if (__mvPBaud_PrepareAudio(object) != 0)
                object->pendingError = mvErrno ? mvErrno : MV_ERR_INTERNAL;
        }
        if (object->haltRequest.load())
            continue;
        // A halt, freeze or teardown that came during the write is served
        // first; the frame is passed once its sound is written whole.
        if (!writeFrame(object, joins, progress) || interrupted(object))
            continue;
        progress = {};
        if (__mvPBaud_NextFrame(object, 1) != 0) {
            // End of play: close the gate (unless a halt already did) so
            // that the next iteration parks.
            __mvPB_CloseGate(object);
            object->haltRequest = 1;
        }
    }
}
