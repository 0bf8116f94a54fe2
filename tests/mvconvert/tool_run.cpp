#include "tool_run.h"

#include <cinelark/playback.h>

#include <png.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mvtest {

namespace {

std::string slurp(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string quote(const std::string &arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

std::vector<uint8_t> storedFrame(int width, int height, int frame)
{
    std::vector<uint8_t> bytes(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t word = uint32_t(x * 255 / std::max(1, width - 1)) |
                                  uint32_t(y * 255 / std::max(1, height - 1)) << 8 |
                                  uint32_t((frame * 40) & 255) << 16;
            std::memcpy(&bytes[(size_t(y) * size_t(width) + size_t(x)) * 4], &word, 4);
        }
    return bytes;
}

int16_t testSample(int frame, int channel)
{
    return int16_t((frame * 37 + channel * 1000) % 20000 - 10000);
}

ToolDir::ToolDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "mvconvert_testXXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr)
        dir_ = name.data();
}

ToolDir::~ToolDir()
{
    std::error_code ignored;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::string> ToolDir::listing() const
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir_)) {
        const std::string name = entry.path().filename().string();
        if (name != "stdout" && name != "stderr")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Outcome ToolDir::run(const std::vector<std::string> &args, const std::string &prefix) const
{
    std::string command = "cd " + quote(dir_) + " && " + prefix + " " + quote(MVCONVERT_PATH);
    for (const std::string &a : args)
        command += " " + quote(a);
    command += " >" + quote(path("stdout")) + " 2>" + quote(path("stderr"));
    const std::string shell = "sh -c " + quote(command);
    const int status = std::system(shell.c_str());
    Outcome r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(path("stdout"));
    r.err = slurp(path("stderr"));
    return r;
}

std::string ToolDir::makeMovie(const std::string &name, const MovieRecipe &recipe) const
{
    const std::string file = path(name);
    DMparams *p = nullptr;
    dmParamsCreate(&p);
    mvSetMovieDefaults(p, recipe.format);
    dmParamsSetString(p, MV_TITLE, "A test title");
    dmParamsSetString(p, MV_COMMENT, "made by the mvconvert tests");
    dmParamsSetEnum(p, MV_LOOP_MODE, MV_LOOP_SWING);
    dmParamsSetInt(p, MV_LOOP_LIMIT, 3);
    MVid movie = 0;
    if (mvCreateFile(file.c_str(), p, nullptr, &movie) != 0) {
        dmParamsDestroy(p);
        return {};
    }
    dmParamsDestroy(p);

    dmParamsCreate(&p);
    dmSetImageDefaults(p, recipe.width, recipe.height, recipe.packing);
    dmParamsSetFloat(p, DM_IMAGE_RATE, recipe.rate);
    dmParamsSetString(p, DM_IMAGE_COMPRESSION, recipe.compression);
    MVid image = 0;
    const int added = mvAddTrack(movie, DM_MEDIUM_IMAGE, p, nullptr, &image);
    dmParamsDestroy(p);
    if (added != 0) {
        mvClose(movie);
        return {};
    }
    for (int f = 0; f < recipe.frames; ++f) {
        std::vector<uint8_t> frame = storedFrame(recipe.width, recipe.height, f);
        if (recipe.packing == DM_PACKING_GRAY) {
            // Keep one byte per pixel: the red byte of each word.
            for (size_t i = 0; i < frame.size() / 4; ++i)
                frame[i] = frame[i * 4];
            frame.resize(frame.size() / 4);
        }
        mvInsertFrames(image, f, 1, frame.size(), frame.data());
    }
    if (recipe.audioWidth != 0) {
        dmParamsCreate(&p);
        dmSetAudioDefaults(p, recipe.audioWidth, recipe.audioRate, recipe.audioChannels);
        dmParamsSetEnum(p, DM_AUDIO_FORMAT, recipe.audioFormat);
        MVid audio = 0;
        mvAddTrack(movie, DM_MEDIUM_AUDIO, p, nullptr, &audio);
        dmParamsDestroy(p);
        const size_t count = size_t(recipe.audioFrames) * size_t(recipe.audioChannels);
        std::vector<uint8_t> bytes(count * size_t(recipe.audioWidth / 8));
        for (int f = 0; f < recipe.audioFrames; ++f)
            for (int c = 0; c < recipe.audioChannels; ++c) {
                const size_t i = size_t(f) * size_t(recipe.audioChannels) + size_t(c);
                const int16_t s = testSample(f, c);
                if (recipe.audioWidth == 16)
                    std::memcpy(&bytes[i * 2], &s, 2);
                else
                    bytes[i] = uint8_t(s >> 8);
            }
        mvInsertFrames(audio, 0, recipe.audioFrames, bytes.size(), bytes.data());
    }
    if (mvClose(movie) != 0)
        return {};
    return file;
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
            std::vector<uint8_t> frame(size);
            ok = mvReadFrames(image, f, 1, size, frame.data()) == 0;
            c->frames.push_back(frame);
            std::vector<uint8_t> stored(mvGetCompressedImageSize(image, f));
            ok = ok && mvReadCompressedImage(image, f, stored.size(), stored.data()) == 0;
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

bool readPng(const std::string &file, int *width, int *height, std::vector<uint8_t> *rgba)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return false;
    image.format = PNG_FORMAT_RGBA;
    rgba->resize(PNG_IMAGE_SIZE(image));
    *width = int(image.width);
    *height = int(image.height);
    return png_image_finish_read(&image, nullptr, rgba->data(), 0, nullptr) != 0;
}

bool writePng(const std::string &file, int width, int height, const std::vector<uint8_t> &rgba)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, file.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

bool readSound(const std::string &file, int *rate, int *channels, std::vector<int16_t> *samples)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(file.c_str(), SFM_READ, &info);
    if (f == nullptr)
        return false;
    *rate = info.samplerate;
    *channels = info.channels;
    samples->resize(size_t(info.frames) * size_t(info.channels));
    const sf_count_t got = sf_readf_short(f, samples->data(), info.frames);
    sf_close(f);
    return got == info.frames;
}

bool writeSound(const std::string &file, int format, int rate, int channels,
                const std::vector<int16_t> &samples)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE *f = sf_open(file.c_str(), SFM_WRITE, &info);
    if (f == nullptr)
        return false;
    const sf_count_t frames = sf_count_t(samples.size() / size_t(channels));
    const bool ok = sf_writef_short(f, samples.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

}  // namespace mvtest
