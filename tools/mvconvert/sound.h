// Sound files through libsndfile: WAV, AIFF or FLAC, chosen by the name's
// ending. Samples in memory are native 16-bit two's complement, channels
// interleaved.
#ifndef MVCONVERT_SOUND_H
#define MVCONVERT_SOUND_H

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace mvconvert {

// The libsndfile major format for a name ending in .wav, .aif, .aiff or
// .flac (any case), 0 for any other name.
int soundFormatFor(const std::string &name);

struct Sound {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // frames x channels
};

// Reads a whole sound file, converting its samples to 16 bits.
bool readSound(const std::string &path, Sound *sound, std::string *error);

// Writes frames of 16-bit samples to a file of the given major format, as
// 8-bit or 16-bit PCM (bits 8 or 16); an 8-bit file keeps the top byte of
// each sample, which is exact for samples that came from 8-bit audio.
class SoundWriter {
public:
    SoundWriter();
    ~SoundWriter();
    bool open(const std::string &path, int format, int rate, int channels, int bits, std::string *error);
    bool write(std::span<const int16_t> samples, std::string *error);
    bool close(std::string *error);

private:
    struct File;
    std::unique_ptr<File> file_;
    int channels_ = 0;
};

}  // namespace mvconvert

#endif
