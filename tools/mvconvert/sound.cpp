#include "sound.h"

#include <sndfile.h>

#include <cctype>

namespace mvconvert {

namespace {

// Frames read from a sound file per call; bounds the scratch memory.
constexpr sf_count_t kReadChunkFrames = 16384;

std::string lowerTail(const std::string &name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos)
        return {};
    std::string tail = name.substr(dot);
    for (char &c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail;
}

}  // namespace

struct SoundWriter::File {
    SNDFILE *handle = nullptr;
};

int soundFormatFor(const std::string &name)
{
    const std::string tail = lowerTail(name);
    if (tail == ".wav")
        return SF_FORMAT_WAV;
    if (tail == ".aif" || tail == ".aiff")
        return SF_FORMAT_AIFF;
    if (tail == ".flac")
        return SF_FORMAT_FLAC;
    return 0;
}

bool readSound(const std::string &path, Sound *sound, std::string *error)
{
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        *error = sf_strerror(nullptr);
        return false;
    }
    sound->rate = info.samplerate;
    sound->channels = info.channels;
    sound->samples.clear();
    if (info.channels < 1 || info.channels > 64) {
        sf_close(file);
        *error = "unusable channel count";
        return false;
    }
    std::vector<int16_t> chunk(size_t(kReadChunkFrames) * size_t(info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_short(file, chunk.data(), kReadChunkFrames);
        if (got <= 0)
            break;
        sound->samples.insert(sound->samples.end(), chunk.begin(),
                              chunk.begin() + got * info.channels);
    }
    const int status = sf_error(file);
    if (status != SF_ERR_NO_ERROR) {
        *error = sf_error_number(status);
        sf_close(file);
        return false;
    }
    sf_close(file);
    return true;
}

SoundWriter::SoundWriter() : file_(std::make_unique<File>()) {}

SoundWriter::~SoundWriter()
{
    if (file_->handle != nullptr)
        sf_close(file_->handle);
}

bool SoundWriter::open(const std::string &path, int format, int rate, int channels, int bits,
                       std::string *error)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    int subtype = SF_FORMAT_PCM_16;
    if (bits == 8)
        subtype = format == SF_FORMAT_WAV ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8;
    info.format = format | subtype;
    if (!sf_format_check(&info)) {
        *error = "this sound format cannot hold the track's samples";
        return false;
    }
    file_->handle = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file_->handle == nullptr) {
        *error = sf_strerror(nullptr);
        return false;
    }
    channels_ = channels;
    return true;
}

bool SoundWriter::write(std::span<const int16_t> samples, std::string *error)
{
    const sf_count_t frames = sf_count_t(samples.size() / size_t(channels_));
    if (sf_writef_short(file_->handle, samples.data(), frames) != frames) {
        *error = sf_strerror(file_->handle);
        return false;
    }
    return true;
}

bool SoundWriter::close(std::string *error)
{
    // libsndfile finishes the header on close; a full disk shows up in the
    // flush before it.
    sf_write_sync(file_->handle);
    const int status = sf_error(file_->handle);
    const int closed = sf_close(file_->handle);
    file_->handle = nullptr;
    if (status != SF_ERR_NO_ERROR || closed != 0) {
        *error = sf_error_number(status != SF_ERR_NO_ERROR ? status : closed);
        return false;
    }
    return true;
}

}  // namespace mvconvert
