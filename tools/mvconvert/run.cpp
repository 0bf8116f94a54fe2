// One run of mvconvert: the command line is parsed, then the run's kind
// chosen; every failure becomes a message and an exit status.
#include "modes.h"
#include "options.h"

#include <cinelark/playback.h>

#include <cstdio>
#include <exception>

namespace mvconvert {

int fail(const std::string &file, const std::string &reason)
{
    std::fprintf(stderr, "mvconvert: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

int run(int argc, char **argv)
{
    try {
        Options options;
        std::string error;
        if (!parseOptions(argc, argv, &options, &error)) {
            std::fprintf(stderr, "mvconvert: %s\n(mvconvert --help lists the options)\n", error.c_str());
            return 2;
        }
        if (options.help) {
            std::fputs(kHelpText, stdout);
            return 0;
        }
        // QuickTime's own compressions are opened when a movie is read or
        // written, so their coders must be installed first.
        mvInitQuickTime();
        if (!options.decodeBench.empty())
            return decodeBench(options);
        if (!options.fromFrames.empty())
            return importPictures(options);
        if (!options.output.empty()) {
            const int status = convertMovie(options);
            if (status != 0)
                return status;
        }
        const bool exporting = !options.framesPattern.empty() || !options.rgbaFile.empty() ||
                               !options.audioFile.empty();
        return exporting ? exportMovie(options) : 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "mvconvert: %s\n", e.what());
        return 1;
    }
}

}  // namespace mvconvert
