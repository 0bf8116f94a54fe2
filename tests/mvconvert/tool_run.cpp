#include "tool_run.h"

#include "options.h"

#include <cinelark/playback.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace mvtest {

namespace {

// Creates, fills and closes a movie; false at the first refusal.
bool fillMovie(MVid movie, const MovieRecipe &recipe)
{
    DMparams *p = nullptr;
    dmParamsCreate(&p);
    dmSetImageDefaults(p, recipe.width, recipe.height, recipe.packing);
    dmParamsSetFloat(p, DM_IMAGE_RATE, recipe.rate);
    dmParamsSetString(p, DM_IMAGE_COMPRESSION, recipe.compression);
    MVid image = 0;
    bool ok = mvAddTrack(movie, DM_MEDIUM_IMAGE, p, nullptr, &image) == 0;
    dmParamsDestroy(p);
    for (int f = 0; ok && f < recipe.frames; ++f) {
        std::vector<uint8_t> frame = storedFromPicture(recipe.width, recipe.height, testPicture(recipe.width, recipe.height, f));
        if (recipe.packing == DM_PACKING_GRAY) {
            // Keep one byte per pixel: the red byte of each word.
            for (size_t i = 0; i < frame.size() / 4; ++i)
                frame[i] = frame[i * 4];
            frame.resize(frame.size() / 4);
        }
        ok = mvInsertFrames(image, f, 1, frame.size(), frame.data()) == 0;
    }
    if (!ok || recipe.audioWidth == 0)
        return ok;
    dmParamsCreate(&p);
    dmSetAudioDefaults(p, recipe.audioWidth, recipe.audioRate, recipe.audioChannels);
    dmParamsSetEnum(p, DM_AUDIO_FORMAT, recipe.audioFormat);
    MVid audio = 0;
    ok = mvAddTrack(movie, DM_MEDIUM_AUDIO, p, nullptr, &audio) == 0;
    dmParamsDestroy(p);
    const std::vector<int16_t> samples = testSound(recipe.audioFrames, recipe.audioChannels);
    std::vector<uint8_t> bytes(samples.size() * size_t(recipe.audioWidth / 8));
    for (size_t i = 0; i < samples.size(); ++i) {
        if (recipe.audioWidth == 16)
            std::memcpy(&bytes[i * 2], &samples[i], 2);
        else
            bytes[i] = uint8_t(samples[i] >> 8);
    }
    return ok && mvInsertFrames(audio, 0, recipe.audioFrames, bytes.size(), bytes.data()) == 0;
}

}  // namespace

std::vector<uint8_t> testPicture(int width, int height, int n)
{
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            p[0] = uint8_t(x * 255 / std::max(1, width - 1));
            p[1] = uint8_t((height - 1 - y) * 255 / std::max(1, height - 1));
            p[2] = uint8_t(n * 40);
            p[3] = 255;
        }
    return rgba;
}

std::vector<uint8_t> storedFromPicture(int width, int height, const std::vector<uint8_t> &rgba)
{
    std::vector<uint8_t> stored(rgba.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t *p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            const uint32_t word = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
            std::memcpy(&stored[(size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4], &word, 4);
        }
    return stored;
}

int16_t testSample(int frame, int channel)
{
    return int16_t((frame * 37 + channel * 1000) % 20000 - 10000);
}

std::vector<int16_t> testSound(int frames, int channels)
{
    std::vector<int16_t> s(size_t(frames) * size_t(channels));
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            s[size_t(f) * size_t(channels) + size_t(c)] = testSample(f, c);
    return s;
}

std::vector<std::string> ToolDir::listing() const
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(TempDir::path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Outcome ToolDir::run(const std::vector<std::string> &args, const std::string &prefix, const char *program) const
{
    // The shell runs the prefix, then becomes the program with the arguments as they are.
    std::vector<std::string> argv = {"sh", "-c", prefix + " exec \"$0\" \"$@\"",
                                     program ? program : MVCONVERT_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return testrun::run(argv, 300.0, {}, TempDir::path());
}

std::string ToolDir::makeMovie(const std::string &name, const MovieRecipe &recipe) const
{
    const std::string file = path(name);
    mvAddUserParam(kUserParam);
    DMparams *p = nullptr;
    dmParamsCreate(&p);
    mvSetMovieDefaults(p, recipe.format);
    dmParamsSetString(p, MV_TITLE, kTitle);
    dmParamsSetString(p, MV_COMMENT, "made by the mvconvert tests");
    dmParamsSetEnum(p, MV_LOOP_MODE, MV_LOOP_SWING);
    dmParamsSetInt(p, MV_LOOP_LIMIT, 3);
    dmParamsSetString(p, kUserParam, kUserValue);
    MVid movie = 0;
    const bool created = mvCreateFile(file.c_str(), p, nullptr, &movie) == 0;
    dmParamsDestroy(p);
    if (!created)
        return {};
    const bool filled = fillMovie(movie, recipe);
    return mvClose(movie) == 0 && filled ? file : std::string();
}

bool ToolDir::makePictures(const std::string &pattern, int first, int last, int width, int height) const
{
    std::string error;
    for (int n = first; n <= last; ++n) {
        const std::string name = path(mvconvert::frameName(pattern, n));
        const std::vector<uint8_t> rgba = testPicture(width, height, n);
        if (!(mvconvert::isPpmName(name) ? mvconvert::writePpm(name, width, height, rgba, &error)
                                         : mvconvert::writePng(name, width, height, rgba, &error)))
            return false;
    }
    return true;
}

bool ToolDir::makeSound(const std::string &name, int rate, int channels, int frames, int bits) const
{
    mvconvert::SoundWriter writer;
    std::string error;
    return writer.open(path(name), mvconvert::soundFormatFor(name), rate, channels, bits, &error) &&
           writer.write(testSound(frames, channels), &error) && writer.close(&error);
}

bool readMovie(const std::string &file, MovieContents *c)
{
    mvInitQuickTime();
    MVid movie = 0;
    if (mvOpenFile(file.c_str(), 0, &movie) != 0)
        return false;
    c->format = mvGetFileFormat(movie);
    c->loopMode = mvGetLoopMode(movie);
    c->loopLimit = mvGetLoopLimit(movie);
    c->title = mvGetTitle(movie) ? mvGetTitle(movie) : "";
    c->comment = mvGetComment(movie) ? mvGetComment(movie) : "";
    const char *user = dmParamsGetString(mvGetParams(movie), kUserParam);
    c->userValue = user ? user : "";
    MVid image = 0, audio = 0;
    bool ok = true;
    if (mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &image) == 0) {
        c->width = mvGetImageWidth(image);
        c->height = mvGetImageHeight(image);
        c->packing = mvGetImagePacking(image);
        c->compression = mvGetImageCompression(image);
        c->imageRate = mvGetImageRate(image);
        const size_t size = dmImageFrameSize(mvGetParams(image));
        for (int f = 0; ok && f < mvGetTrackLength(image); ++f) {
            std::vector<uint8_t> frame(size), stored(mvGetCompressedImageSize(image, f));
            ok = mvReadFrames(image, f, 1, size, frame.data()) == 0 &&
                 mvReadCompressedImage(image, f, stored.size(), stored.data()) == 0;
            c->frames.push_back(frame);
            c->stored.push_back(stored);
        }
    }
    if (ok && mvFindTrackByMedium(movie, DM_MEDIUM_AUDIO, &audio) == 0) {
        c->audioRate = int(mvGetAudioRate(audio));
        c->audioChannels = mvGetAudioChannels(audio);
        c->audioWidth = mvGetAudioWidth(audio);
        const int length = mvGetTrackLength(audio);
        c->audio.resize(size_t(length) * size_t(dmAudioFrameSize(mvGetParams(audio))));
        ok = length == 0 || mvReadFrames(audio, 0, length, c->audio.size(), c->audio.data()) == 0;
    }
    mvClose(movie);
    return ok;
}

}  // namespace mvtest
