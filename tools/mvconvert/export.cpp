// Exports of a movie's frames and sound, and the decode benchmark.
//
// Frames leave as RGBA pixels with the top row first (see pixels.h). The
// audio exported with a --range is the audio that plays with those image
// frames: from the audio frame that image frame FIRST maps to, up to the one
// that frame LAST + 1 maps to, or to the end of the track when LAST is the
// last image frame.
#include "modes.h"

#include "frame_io.h"
#include "movie_io.h"
#include "output.h"
#include "pictures.h"
#include "sound.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace mvconvert {

namespace {

// Audio sample frames read per call.
constexpr int kAudioChunkFrames = 32768;

bool imageSpan(const Options &o, MVid image, FrameSpan *span, std::string *error)
{
    const int length = mvGetTrackLength(image);
    if (!o.hasRange) {
        *span = {0, length};
        return true;
    }
    if (o.rangeLast >= length) {
        *error = "--range " + std::to_string(o.rangeFirst) + ":" + std::to_string(o.rangeLast) +
                 " is outside the movie's " + std::to_string(length) + " image frames";
        return false;
    }
    *span = {o.rangeFirst, o.rangeLast - o.rangeFirst + 1};
    return true;
}

int exportPictures(const Options &o, MVid image, FrameSpan span, OutputSet *outputs)
{
    std::string error, failedName = o.framesPattern;
    const bool ppm = isPpmName(o.framesPattern);
    const bool ok = forEachPicture(image, span, "pictures", &error,
                                   [&](int number, int width, int height, std::span<const uint8_t> rgba) {
        const std::string name = frameName(o.framesPattern, number);
        failedName = name;
        if (name.empty()) {
            error = "the picture name is too long";
            return false;
        }
        const std::string temp = outputs->begin(name);
        const bool written = ppm ? writePpm(temp, width, height, rgba, &error)
                                 : writePng(temp, width, height, rgba, &error);
        return written && outputs->finish(&error);
    });
    return ok ? 0 : fail(failedName, error);
}

int exportRgba(const Options &o, MVid image, FrameSpan span, OutputSet *outputs)
{
    const std::string temp = outputs->begin(o.rgbaFile);
    std::FILE *f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr)
        return fail(o.rgbaFile, std::strerror(errno));
    std::string error;
    bool ok = forEachPicture(image, span, "frames", &error,
                             [&](int, int, int, std::span<const uint8_t> rgba) {
        if (std::fwrite(rgba.data(), 1, rgba.size(), f) != rgba.size()) {
            error = std::strerror(errno);
            return false;
        }
        return true;
    });
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        error = std::strerror(errno);
    }
    if (!ok || !outputs->finish(&error))
        return fail(o.rgbaFile, error);
    return 0;
}

int exportAudio(const Options &o, MVid image, MVid audio, OutputSet *outputs)
{
    const int format = soundFormatFor(o.audioFile);
    if (format == 0)
        return fail(o.audioFile, "the sound file's name must end in .wav, .aif, .aiff or .flac");
    const int length = mvGetTrackLength(audio);
    int first = 0, end = length;
    if (o.hasRange && image != 0) {
        const int imageLength = mvGetTrackLength(image);
        if (o.rangeLast >= imageLength)
            return fail(o.input, "--range is outside the movie's " + std::to_string(imageLength) +
                                     " image frames");
        // A frame mapping past the audio's end clamps to its length and
        // reports 1011; the clamped value is the right bound here.
        mvMapBetweenTracks(image, audio, o.rangeFirst, &first);
        if (o.rangeLast + 1 < imageLength)
            mvMapBetweenTracks(image, audio, o.rangeLast + 1, &end);
        first = std::min(first, length);
        end = std::max(first, std::min(end, length));
    }
    const int width = mvGetAudioWidth(audio), channels = mvGetAudioChannels(audio);
    const int sampleFormat = mvGetAudioFormat(audio);
    if ((width != 8 && width != 16) || channels < 1 || channels > 2)
        return fail(o.input, "the audio track's sample layout is not one this program knows");
    const double rate = mvGetAudioRate(audio);

    const std::string temp = outputs->begin(o.audioFile);
    SoundWriter writer;
    std::string error;
    if (!writer.open(temp, format, int(rate + 0.5), channels, width, &error))
        return fail(o.audioFile, error);
    const size_t frameBytes = size_t(width / 8) * size_t(channels);
    std::vector<uint8_t> raw(size_t(kAudioChunkFrames) * frameBytes);
    std::vector<int16_t> samples(size_t(kAudioChunkFrames) * size_t(channels));
    for (int at = first; at < end; at += kAudioChunkFrames) {
        const int n = std::min(kAudioChunkFrames, end - at);
        if (mvReadFrames(audio, at, n, raw.size(), raw.data()) != 0)
            return fail(o.input, "audio frame " + std::to_string(at) + ": " + movieError());
        const std::span<int16_t> out(samples.data(), size_t(n) * size_t(channels));
        audioToInt16(std::span<const uint8_t>(raw.data(), size_t(n) * frameBytes), width,
                     sampleFormat, out);
        if (!writer.write(out, &error))
            return fail(o.audioFile, error);
    }
    if (!writer.close(&error) || !outputs->finish(&error))
        return fail(o.audioFile, error);
    return 0;
}

}  // namespace

int exportMovie(const Options &o)
{
    MovieHandle movie;
    std::string error;
    if (!openMovie(o.input, &movie, &error))
        return fail(o.input, error);
    // Refuse a sound file name before any picture is written.
    if (!o.audioFile.empty() && soundFormatFor(o.audioFile) == 0)
        return fail(o.audioFile, "the sound file's name must end in .wav, .aif, .aiff or .flac");
    const MVid image = findTrack(movie.get(), DM_MEDIUM_IMAGE);
    const MVid audio = findTrack(movie.get(), DM_MEDIUM_AUDIO);
    const bool wantsPictures = !o.framesPattern.empty() || !o.rgbaFile.empty();
    if (wantsPictures && image == 0)
        return fail(o.input, "the movie has no image track to export");
    if (!o.audioFile.empty() && audio == 0)
        return fail(o.input, "the movie has no audio track to export");
    FrameSpan span;
    if (image != 0 && !imageSpan(o, image, &span, &error))
        return fail(o.input, error);

    OutputSet outputs;
    if (!o.framesPattern.empty() && exportPictures(o, image, span, &outputs) != 0)
        return 1;
    if (!o.rgbaFile.empty() && exportRgba(o, image, span, &outputs) != 0)
        return 1;
    if (!o.audioFile.empty() && exportAudio(o, image, audio, &outputs) != 0)
        return 1;
    outputs.commit();
    return 0;
}

int decodeBench(const Options &o)
{
    MovieHandle movie;
    std::string error;
    if (!openMovie(o.decodeBench, &movie, &error))
        return fail(o.decodeBench, error);
    const MVid image = findTrack(movie.get(), DM_MEDIUM_IMAGE);
    if (image == 0)
        return fail(o.decodeBench, "the movie has no image track");
    const FrameSpan all{0, mvGetTrackLength(image)};
    // Keep the compiler from dropping the conversion whose result is unused.
    volatile uint8_t sink = 0;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = forEachPicture(image, all, "decoding", &error,
                                   [&](int, int, int, std::span<const uint8_t> rgba) {
        sink = sink ^ rgba[0];
        return true;
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok)
        return fail(o.decodeBench, error);
    std::printf("%d frames in %.4f seconds: %.1f frames per second\n", all.count, seconds,
                seconds > 0 ? all.count / seconds : 0.0);
    return 0;
}

}  // namespace mvconvert
