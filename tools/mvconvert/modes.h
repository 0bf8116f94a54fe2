// The tool's four kinds of run. Each returns the exit status (0 or 1) and
// prints its own error message, naming the file and the reason.
#ifndef MVCONVERT_MODES_H
#define MVCONVERT_MODES_H

#include "options.h"

namespace mvconvert {

int convertMovie(const Options &options);
int exportMovie(const Options &options);
int importPictures(const Options &options);
int decodeBench(const Options &options);

// The whole program: parses the command line and runs; the exit status.
int run(int argc, char **argv);

// Prints "mvconvert: FILE: REASON" and returns 1.
int fail(const std::string &file, const std::string &reason);

}  // namespace mvconvert

#endif
