// The mvconvert tests' set-up: a directory to run the program in, and the
// movies, pictures and sounds it is fed, whose every expected value follows
// from how they were made.
#ifndef CINELARK_TESTS_MVCONVERT_TOOL_RUN_H
#define CINELARK_TESTS_MVCONVERT_TOOL_RUN_H

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

#include "movie/temp_dir.h"
#include "tools/program_run.h"
#include "pictures.h"
#include "sound.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mvtest {

// The user parameter every test movie carries, and its title.
inline constexpr const char kTitle[] = "A \"test\" title";
inline constexpr const char kUserParam[] = "DIRECTOR";
inline constexpr const char kUserValue[] = "A. Smithee";

using Outcome = testrun::Result;

// What a test movie holds. Image frames are the stored testPicture()s.
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

// Picture n of a test movie, RGBA top row first: red grows with x, green
// towards the bottom row, blue with n, so every row and frame differs; and
// the 1001 frame that stores it (rows bottom first, words with red low).
std::vector<uint8_t> testPicture(int width, int height, int n);
std::vector<uint8_t> storedFromPicture(int width, int height, const std::vector<uint8_t> &rgba);

// A sample of the test audio (channel c of frame i), and frames of them.
int16_t testSample(int frame, int channel);
std::vector<int16_t> testSound(int frames, int channels);

// A temporary directory the program runs in.
class ToolDir : public TempDir {
public:
    std::string path(const std::string &name) const { return file(name); }
    // The names in the directory, sorted.
    std::vector<std::string> listing() const;
    std::vector<uint8_t> bytes(const std::string &name) const { return read(path(name)); }
    void write(const std::string &name, const std::string &bytes) const
    {
        TempDir::write(name, std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }

    // Runs mvconvert (or another program) in the directory after the shell
    // text prefix, such as a ulimit.
    Outcome run(const std::vector<std::string> &args, const std::string &prefix = "",
                const char *program = nullptr) const;

    // Makes a movie by the recipe; returns its path, empty on failure.
    std::string makeMovie(const std::string &name, const MovieRecipe &recipe) const;
    // Writes pictures testPicture(width, height, n) for n in [first, last]
    // under the printf pattern, as PNG or (by the name) PPM.
    bool makePictures(const std::string &pattern, int first, int last, int width, int height) const;
    // Writes testSound() as a sound file of the format its name says.
    bool makeSound(const std::string &name, int rate, int channels, int frames, int bits = 16) const;
};

// What the library reads from a movie: frames as handed over and as stored.
struct MovieContents {
    int width = 0, height = 0, packing = 0;
    std::string compression;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<std::vector<uint8_t>> stored;
    std::vector<uint8_t> audio;
    int audioRate = 0, audioChannels = 0, audioWidth = 0;
    int format = -1, loopMode = -1, loopLimit = -1;
    std::string title, comment, userValue;
    double imageRate = 0;
};
bool readMovie(const std::string &file, MovieContents *contents);

}  // namespace mvtest

#endif
