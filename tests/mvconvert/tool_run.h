// Runs the mvconvert program in a temporary directory and makes the movies,
// pictures and sound files the tests feed it, through the public movie
// interface, libpng and libsndfile.
#ifndef CINELARK_TESTS_MVCONVERT_TOOL_RUN_H
#define CINELARK_TESTS_MVCONVERT_TOOL_RUN_H

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mvtest {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// What a test movie holds. Image frames are made by storedFrame().
struct MovieRecipe {
    int format = MV_FORMAT_NATIVE_3;
    const char *compression = DM_IMAGE_UNCOMPRESSED;
    int packing = DM_PACKING_RGBX;
    int width = 16;
    int height = 8;
    int frames = 6;
    double rate = 15.0;
    int audioWidth = 16;       // 0 for no audio track
    int audioChannels = 2;
    int audioFormat = AUDIO_FORMAT_TWOS;
    double audioRate = 22050.0;
    int audioFrames = 9000;
};

// One stored frame of packing 1001: red grows with x, green with the stored
// row, blue with the frame number, so every row and frame differs.
std::vector<uint8_t> storedFrame(int width, int height, int frame);

// A sample of the test audio (channel c of frame i), as stored.
int16_t testSample(int frame, int channel);

class ToolDir {
public:
    ToolDir();
    ~ToolDir();
    ToolDir(const ToolDir &) = delete;
    ToolDir &operator=(const ToolDir &) = delete;

    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    // The names in the directory, sorted, without the captured output.
    std::vector<std::string> listing() const;

    // Runs mvconvert with the arguments (each quoted for the shell); prefix
    // is shell text put before the program, such as a ulimit.
    Outcome run(const std::vector<std::string> &args, const std::string &prefix = "") const;

    // Makes a movie by the recipe; returns its path.
    std::string makeMovie(const std::string &name, const MovieRecipe &recipe) const;

private:
    std::string dir_;
};

// Reads every image frame of a movie's image track (as the library hands
// them) and its audio bytes; false when the movie cannot be opened.
struct MovieContents {
    int width = 0, height = 0, packing = 0;
    std::string compression;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<std::vector<uint8_t>> stored;  // compressed bytes per frame
    std::vector<uint8_t> audio;
    int audioRate = 0, audioChannels = 0, audioWidth = 0;
    int format = -1, loopMode = -1, loopLimit = -1;
    std::string title, comment;
    double imageRate = 0;
};
bool readMovie(const std::string &file, MovieContents *contents);

// PNG files through libpng's simplified interface, as 8-bit RGBA.
bool readPng(const std::string &file, int *width, int *height, std::vector<uint8_t> *rgba);
bool writePng(const std::string &file, int width, int height, const std::vector<uint8_t> &rgba);

// Sound files through libsndfile as 16-bit samples.
bool readSound(const std::string &file, int *rate, int *channels, std::vector<int16_t> *samples);
bool writeSound(const std::string &file, int format, int rate, int channels,
                const std::vector<int16_t> &samples);

}  // namespace mvtest

#endif
