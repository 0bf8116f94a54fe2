// Converting one movie into another: a new file of the chosen format with
// the movie's settings, an image track of the chosen compression and a copy
// of the audio track.
//
// Frames whose packing stays the same go through mvPasteFrames, which copies
// the stored bytes (and the per-frame settings, key-frame marks among them)
// when the compression does not change, and decodes and compresses them
// again when it does. Frames whose packing must change on the way (a raw
// QuickTime track stores 32-bit words with blue low) are decoded to RGBA and
// packed anew.
#include "modes.h"

#include "movie_io.h"
#include "output.h"
#include "pixels.h"

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

bool copyImageFrames(MVid from, MVid to, bool samePacking, std::string *error)
{
    const int length = mvGetTrackLength(from);
    Progress progress("image frames", length);
    if (samePacking) {
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
    const int width = mvGetImageWidth(from), height = mvGetImageHeight(from);
    const int inPacking = mvGetImagePacking(from), outPacking = mvGetImagePacking(to);
    std::vector<uint8_t> in(frameBytes(inPacking, width, height));
    std::vector<uint8_t> out(frameBytes(outPacking, width, height));
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    for (int i = 0; i < length; ++i) {
        if (mvReadFrames(from, i, 1, in.size(), in.data()) != 0) {
            *error = "frame " + std::to_string(i) + ": " + movieError();
            return false;
        }
        frameToRGBA(inPacking, width, height, in, rgba);
        rgbaToFrame(outPacking, width, height, rgba, out);
        if (mvInsertFrames(to, i, 1, out.size(), out.data()) != 0) {
            *error = "frame " + std::to_string(i) + ": " + movieError();
            return false;
        }
        progress.update(i + 1);
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
    if (o.hasQuality)
        return fail(o.output, "--quality cannot be honoured: the movie library compresses "
                              "every scheme at its own fixed setting");
    const int format = chooseFormat(o.format, o.output);
    MovieHandle source;
    std::string error;
    if (!openMovie(o.input, &source, &error))
        return fail(o.input, error);
    const MVid image = findTrack(source.get(), DM_MEDIUM_IMAGE);
    const MVid audio = findTrack(source.get(), DM_MEDIUM_AUDIO);
    if (image == 0 && format == MV_FORMAT_QUICKTIME)
        return fail(o.input, "a QuickTime movie needs an image track and this movie has none");

    std::string compression;
    int packing = 0;
    if (image != 0) {
        const char *sourceCompression = mvGetImageCompression(image);
        compression = !o.compression.empty() ? o.compression
                                             : (sourceCompression ? sourceCompression : "");
        if (!schemeKnown(compression))
            return fail(o.output, "unknown compression scheme \"" + compression + "\"");
        if (!formatCarries(format, compression))
            return fail(o.output, "a QuickTime file cannot carry \"" + compression + "\" frames");
        packing = outputPacking(format, compression, mvGetImagePacking(image));
        if (bytesPerPixel(mvGetImagePacking(image)) == 0)
            return fail(o.input, "the image track's pixel packing is not one this program knows");
    }

    Params movieParams = newParams();
    if (!movieParams || mvSetMovieDefaults(movieParams.get(), format) != 0 ||
        !copyParamsExcept(mvGetParams(source.get()), movieParams.get(), {MV_FILE_FORMAT, MV_OPTIMIZED}))
        return fail(o.output, "out of memory");

    OutputSet outputs;
    const std::string temp = outputs.begin(o.output);
    MVid created = 0;
    if (mvCreateFile(temp.c_str(), movieParams.get(), nullptr, &created) != 0)
        return fail(o.output, movieError());
    MovieHandle dest(created);

    if (image != 0) {
        Params p = newParams();
        if (!p || !copyParamsExcept(mvGetParams(image), p.get(), {DM_MEDIUM, MV_TRACK_LENGTH}) ||
            dmParamsSetString(p.get(), DM_IMAGE_COMPRESSION, compression.c_str()) != 0 ||
            dmParamsSetEnum(p.get(), DM_IMAGE_PACKING, packing) != 0)
            return fail(o.output, "out of memory");
        // The depth handed to a codec belongs to the old compression.
        const char *oldCompression = mvGetImageCompression(image);
        if (oldCompression == nullptr || compression != oldCompression)
            dmParamsRemove(p.get(), MV_IMAGE_CSIZE);
        MVid track = 0;
        if (mvAddTrack(dest.get(), DM_MEDIUM_IMAGE, p.get(), nullptr, &track) != 0)
            return fail(o.output, "cannot make a \"" + compression + "\" image track: " + movieError());
        if (!copyImageFrames(image, track, packing == mvGetImagePacking(image), &error))
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
