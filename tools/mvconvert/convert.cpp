// Converting one movie into another: a new file of the chosen format with
// the movie's settings, an image track of the chosen compression and a copy
// of the audio track.
//
// Frames whose packing stays the same go through mvPasteFrames, which copies
// the stored bytes (and the per-frame settings, key-frame marks among them)
// when the compression does not change, and decodes and compresses them
// again when it does. Frames whose packing must change on the way (a raw
// QuickTime track stores 32-bit words with blue low), and frames to be
// compressed at a chosen quality, are decoded to pictures and written anew.
#include "modes.h"

#include "frame_io.h"
#include "movie_io.h"
#include "output.h"
#include "pixels.h"
#include "schemes.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace mvconvert {

namespace {

// Audio sample frames copied per call.
constexpr int kAudioChunkFrames = 32768;
// Image frames copied per call; small enough for a lively progress line.
constexpr int kImageChunkFrames = 4;

// Every element of from except the named ones goes into to.
bool copyParamsExcept(const DMparams *from, DMparams *to, std::initializer_list<const char *> skip)
{
    const int count = dmParamsGetNumElems(from);
    for (int i = 0; i < count; ++i) {
        const char *name = dmParamsGetElem(from, i);
        if (name == nullptr)
            return false;
        bool skipped = false;
        for (const char *s : skip)
            skipped = skipped || std::strcmp(name, s) == 0;
        if (!skipped && dmParamsCopyElem(from, name, to) != 0)
            return false;
    }
    return true;
}

bool copyImageFrames(MVid from, MVid to, QualityCoder *coder, std::string *error)
{
    const int length = mvGetTrackLength(from);
    if (coder != nullptr || mvGetImagePacking(from) != mvGetImagePacking(to)) {
        FrameWriter writer(to, mvGetImageWidth(from), mvGetImageHeight(from), coder);
        return forEachPicture(from, {0, length}, "image frames", error,
                              [&](int i, int, int, std::span<const uint8_t> rgba) {
            return writer.put(i, rgba, error);
        });
    }
    Progress progress("image frames", length);
    for (int i = 0; i < length; i += kImageChunkFrames) {
        const int n = std::min(kImageChunkFrames, length - i);
        if (mvPasteFrames(from, i, n, to, i) != 0) {
            *error = "frame " + std::to_string(i) + ": " + movieError();
            return false;
        }
        progress.update(i + n);
    }
    return true;
}

bool copyAudioFrames(MVid from, MVid to, std::string *error)
{
    const int length = mvGetTrackLength(from);
    for (int i = 0; i < length; i += kAudioChunkFrames) {
        const int n = std::min(kAudioChunkFrames, length - i);
        if (mvPasteFrames(from, i, n, to, i) != 0) {
            *error = "audio frame " + std::to_string(i) + ": " + movieError();
            return false;
        }
    }
    return true;
}

}  // namespace

int convertMovie(const Options &o)
{
    const int format = chooseFormat(o.format, o.output);
    MovieHandle source;
    std::string error;
    if (!openMovie(o.input, &source, &error))
        return fail(o.input, error);
    const MVid image = findTrack(source.get(), DM_MEDIUM_IMAGE);
    const MVid audio = findTrack(source.get(), DM_MEDIUM_AUDIO);
    if (image == 0 && format == MV_FORMAT_QUICKTIME)
        return fail(o.input, "a QuickTime movie needs an image track and this movie has none");
    if (image == 0 && o.hasQuality)
        return fail(o.input, "--quality needs an image track and this movie has none");

    ImageOutput out;
    if (image != 0) {
        if (bytesPerPixel(mvGetImagePacking(image)) == 0)
            return fail(o.input, "the image track's pixel packing is not one this program knows");
        const char *sourceCompression = mvGetImageCompression(image);
        const std::string wanted = !o.compression.empty() ? o.compression
                                                          : (sourceCompression ? sourceCompression : "");
        if (!chooseImageOutput(wanted, format, mvGetImagePacking(image), mvGetImageWidth(image),
                               mvGetImageHeight(image), o.hasQuality, o.quality, &out, &error))
            return fail(o.output, error);
    }

    Params movieParams = newParams();
    if (!movieParams || mvSetMovieDefaults(movieParams.get(), format) != 0 ||
        !copyParamsExcept(mvGetParams(source.get()), movieParams.get(), {MV_FILE_FORMAT, MV_OPTIMIZED}))
        return fail(o.output, "out of memory");

    OutputSet outputs;
    MovieHandle dest;
    if (!createMovie(&outputs, o.output, movieParams.get(), &dest, &error))
        return fail(o.output, error);

    if (image != 0) {
        Params p = newParams();
        if (!p || !copyParamsExcept(mvGetParams(image), p.get(), {DM_MEDIUM, MV_TRACK_LENGTH}) ||
            dmParamsSetString(p.get(), DM_IMAGE_COMPRESSION, out.compression.c_str()) != 0 ||
            dmParamsSetEnum(p.get(), DM_IMAGE_PACKING, out.packing) != 0)
            return fail(o.output, "out of memory");
        // The depth handed to a codec belongs to the old compression.
        const char *oldCompression = mvGetImageCompression(image);
        if (oldCompression == nullptr || out.compression != oldCompression)
            dmParamsRemove(p.get(), MV_IMAGE_CSIZE);
        MVid track = 0;
        if (mvAddTrack(dest.get(), DM_MEDIUM_IMAGE, p.get(), nullptr, &track) != 0)
            return fail(o.output, "cannot make a \"" + out.compression + "\" image track: " + movieError());
        if (!copyImageFrames(image, track, out.qualityCoder(), &error))
            return fail(o.output, error);
    }
    if (audio != 0) {
        Params p = newParams();
        if (!p || !copyParamsExcept(mvGetParams(audio), p.get(), {DM_MEDIUM, MV_TRACK_LENGTH}))
            return fail(o.output, "out of memory");
        MVid track = 0;
        if (mvAddTrack(dest.get(), DM_MEDIUM_AUDIO, p.get(), nullptr, &track) != 0)
            return fail(o.output, "cannot make the audio track: " + movieError());
        if (!copyAudioFrames(audio, track, &error))
            return fail(o.output, error);
    }
    if (!dest.close(&error) || !outputs.finish(&error))
        return fail(o.output, error);
    outputs.commit();
    return 0;
}

}  // namespace mvconvert
