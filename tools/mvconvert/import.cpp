// Building a movie from numbered pictures and an optional sound file.
//
// The pictures are read one at a time and inserted as they come, so a long
// sequence never has to fit in memory. The sound file is read whole first,
// so that a file the movie library cannot take is refused before anything is
// written.
#include "modes.h"

#include "frame_io.h"
#include "movie_io.h"
#include "output.h"
#include "pictures.h"
#include "schemes.h"
#include "sound.h"

#include <sys/stat.h>

#include <vector>

namespace mvconvert {

namespace {

// Audio rates and channel counts an audio track accepts.
constexpr int kMinAudioRate = 5000;
constexpr int kMaxAudioRate = 50000;

bool exists(const std::string &name)
{
    struct stat st;
    return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

// Counts the pictures of the pattern: the sequence starts at 0 or 1 and
// ends before the first missing number.
bool findSequence(const std::string &pattern, int *first, int *count)
{
    *first = exists(frameName(pattern, 0)) ? 0 : 1;
    int n = 0;
    while (*first + n < 0x7fffffff && exists(frameName(pattern, *first + n)))
        ++n;
    *count = n;
    return n > 0;
}

}  // namespace

int importPictures(const Options &o)
{
    int first = 0, count = 0;
    if (!findSequence(o.fromFrames, &first, &count))
        return fail(o.fromFrames, "no pictures found (tried numbers 0 and 1)");

    Sound sound;
    std::string error;
    if (!o.audioIn.empty()) {
        if (!readSound(o.audioIn, &sound, &error))
            return fail(o.audioIn, error);
        if (sound.rate < kMinAudioRate || sound.rate > kMaxAudioRate)
            return fail(o.audioIn, "a sample rate of " + std::to_string(sound.rate) +
                                       " Hz cannot go into a movie, which takes 5000 to 50000 Hz");
        if (sound.channels > 2)
            return fail(o.audioIn, std::to_string(sound.channels) +
                                       " channels cannot go into a movie, which takes one or two");
    }

    Picture picture;
    const std::string firstName = frameName(o.fromFrames, first);
    if (!readPicture(firstName, &picture, &error))
        return fail(firstName, error);
    const int width = picture.width, height = picture.height;

    const int format = chooseFormat(o.format, o.output);
    ImageOutput out;
    if (!chooseImageOutput(o.compression.empty() ? DM_IMAGE_UNCOMPRESSED : o.compression, format,
                           DM_PACKING_RGBX, width, height, o.hasQuality, o.quality, &out, &error))
        return fail(o.output, error);

    Params movieParams = newParams();
    Params imageParams = newParams();
    if (!movieParams || !imageParams || mvSetMovieDefaults(movieParams.get(), format) != 0 ||
        dmSetImageDefaults(imageParams.get(), width, height, out.packing) != 0 ||
        dmParamsSetFloat(imageParams.get(), DM_IMAGE_RATE, o.rate) != 0 ||
        dmParamsSetString(imageParams.get(), DM_IMAGE_COMPRESSION, out.compression.c_str()) != 0)
        return fail(o.output, "out of memory");

    OutputSet outputs;
    MovieHandle movie;
    if (!createMovie(&outputs, o.output, movieParams.get(), &movie, &error))
        return fail(o.output, error);
    MVid image = 0;
    if (mvAddTrack(movie.get(), DM_MEDIUM_IMAGE, imageParams.get(), nullptr, &image) != 0)
        return fail(o.output, "cannot make a \"" + out.compression + "\" image track: " + movieError());

    FrameWriter writer(image, width, height, out.qualityCoder());
    Progress progress("pictures", count);
    for (int i = 0; i < count; ++i) {
        const std::string name = frameName(o.fromFrames, first + i);
        if (i > 0 && !readPicture(name, &picture, &error))
            return fail(name, error);
        if (picture.width != width || picture.height != height)
            return fail(name, "the picture is " + std::to_string(picture.width) + "x" +
                                  std::to_string(picture.height) + " but the first one is " +
                                  std::to_string(width) + "x" + std::to_string(height));
        if (!writer.put(i, picture.rgba, &error))
            return fail(o.output, error);
        progress.update(i + 1);
    }

    if (!o.audioIn.empty()) {
        Params audioParams = newParams();
        if (!audioParams || dmSetAudioDefaults(audioParams.get(), 16, double(sound.rate), sound.channels) != 0)
            return fail(o.output, "out of memory");
        MVid audio = 0;
        if (mvAddTrack(movie.get(), DM_MEDIUM_AUDIO, audioParams.get(), nullptr, &audio) != 0)
            return fail(o.audioIn, "cannot make the audio track: " + movieError());
        const int frames = int(sound.samples.size() / size_t(sound.channels));
        if (frames > 0 && mvInsertFrames(audio, 0, frames, sound.samples.size() * sizeof(int16_t),
                                         sound.samples.data()) != 0)
            return fail(o.output, "audio: " + movieError());
    }
    if (!movie.close(&error) || !outputs.finish(&error))
        return fail(o.output, error);
    outputs.commit();
    return 0;
}

}  // namespace mvconvert
