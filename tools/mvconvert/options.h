// The command line of mvconvert and its help text.
#ifndef MVCONVERT_OPTIONS_H
#define MVCONVERT_OPTIONS_H

#include <string>
#include <vector>

namespace mvconvert {

struct Options {
    std::string input;          // the movie read (convert, export)
    std::string output;         // the movie written (convert, import)
    std::string format;         // --format: "", "native" or "quicktime"
    std::string compression;    // --compression
    bool hasQuality = false;    // --quality given
    int quality = 0;
    std::string framesPattern;  // --frames
    std::string rgbaFile;       // --rgba
    std::string audioFile;      // --audio
    bool hasRange = false;      // --range FIRST:LAST
    int rangeFirst = 0;
    int rangeLast = 0;
    std::string fromFrames;     // --from-frames
    double rate = 0.0;          // --rate
    std::string audioIn;        // --audio-in
    std::string decodeBench;    // --decode-bench
    bool help = false;
};

// Parses argv; false with a message in *error for a usage error.
bool parseOptions(int argc, char **argv, Options *options, std::string *error);

// Checks that the options make one sensible run.
bool checkOptions(const Options &options, std::string *error);

extern const char kHelpText[];

// True when pattern holds exactly one integer conversion (%d, %05d, %i and
// the like) and no other conversion but "%%".
bool validFramePattern(const std::string &pattern);

// The pattern with the number put in.
std::string frameName(const std::string &pattern, int number);

}  // namespace mvconvert

#endif
