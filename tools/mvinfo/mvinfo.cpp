// mvinfo: prints what a movie file holds.
//
//   mvinfo [--json] [--frames] FILE...
//
// For each file: its format, the movie's parameters, and for its image and
// sound tracks the id, medium, length and parameters; --frames adds the
// stored size of every picture. --json prints one JSON object per file, or an
// array of them when several files are given. A file that cannot be opened
// is reported as "FILE: <error>" on standard error. Exit status: 0 when every
// file was described, 1 when any failed, 2 for a usage error.
#include "describe.h"

#include <cinelark/playback.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

void usage(std::FILE *to)
{
    std::fputs("usage: mvinfo [--json] [--frames] FILE...\n", to);
}

}  // namespace

int main(int argc, char **argv)
{
    // QuickTime's own codings are opened when a file is read, so their coders
    // must be installed first.
    mvInitQuickTime();
    bool json = false;
    bool frames = false;
    std::vector<std::string> files;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (!optionsDone && std::strcmp(arg, "--") == 0) {
            optionsDone = true;
        } else if (!optionsDone && std::strcmp(arg, "--json") == 0) {
            json = true;
        } else if (!optionsDone && std::strcmp(arg, "--frames") == 0) {
            frames = true;
        } else if (!optionsDone && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
            usage(stdout);
            return 0;
        } else if (!optionsDone && arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "mvinfo: unknown option %s\n", arg);
            usage(stderr);
            return 2;
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.empty()) {
        usage(stderr);
        return 2;
    }

    int status = 0;
    bool first = true;
    const bool array = json && files.size() > 1;
    if (array)
        std::cout << '[';
    for (const std::string &file : files) {
        mvinfo::MovieInfo info;
        std::string error;
        if (!mvinfo::describe(file, frames, &info, &error)) {
            std::cerr << file << ": " << error << '\n';
            status = 1;
            continue;
        }
        if (json) {
            std::cout << (array && !first ? "," : "") << mvinfo::formatJson(info, frames);
        } else {
            std::cout << (first ? "" : "\n") << mvinfo::formatText(info, frames);
        }
        first = false;
    }
    if (array)
        std::cout << ']';
    if (json && (array || !first))
        std::cout << '\n';
    return status;
}
