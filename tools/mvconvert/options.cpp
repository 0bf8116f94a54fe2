#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace mvconvert {

const char kHelpText[] =
    "usage:\n"
    "  mvconvert IN OUT [--format native|quicktime] [--compression NAME] [--quality Q]\n"
    "  mvconvert IN [--frames PATTERN] [--rgba FILE] [--audio FILE] [--range FIRST:LAST]\n"
    "  mvconvert --from-frames PATTERN --rate FPS [--audio-in FILE] OUT\n"
    "            [--format native|quicktime] [--compression NAME] [--quality Q]\n"
    "  mvconvert --decode-bench IN\n"
    "\n"
    "Converting: IN is written to OUT as a new movie, a native version 3 file unless\n"
    "--format quicktime is given or OUT ends in .mov. Title, comment, loop settings\n"
    "and user parameters are kept and the audio track is copied. Image frames are\n"
    "copied as stored unless --compression names another scheme or --quality is\n"
    "given, in which case they are decoded and compressed again.\n"
    "\n"
    "Importing: the numbered pictures become the image track of a new movie OUT\n"
    "(uncompressed unless --compression says otherwise), and the sound file, if\n"
    "any, its audio track.\n"
    "\n"
    "Exporting: the image frames leave as pictures with the top row first, the\n"
    "way the player shows them.\n"
    "\n"
    "Options:\n"
    "  --format native|quicktime  the file format of OUT\n"
    "  --compression NAME         the image compression of OUT, such as\n"
    "                             \"Uncompressed Video\", RLE, RLE24, JPEG, MVC1,\n"
    "                             8RGB, \"Apple Video\" or \"Apple Animation\" (case\n"
    "                             does not matter); QuickTime files carry only\n"
    "                             uncompressed, JPEG, Apple Video and Apple Animation\n"
    "  --quality Q                compress the image frames at quality Q, set on the\n"
    "                             scheme's own quality parameter (such as JPEG's\n"
    "                             \"Quality Factor\", 0 to 100); frames are then\n"
    "                             always compressed again. Refused for a scheme\n"
    "                             without such a parameter, and for a Q outside\n"
    "                             its range\n"
    "  --frames PATTERN           export every image frame as a picture named by\n"
    "                             the printf pattern (for example out_%05d.png);\n"
    "                             PNG, or binary PPM when the pattern ends in .ppm\n"
    "  --rgba FILE                export all image frames into one file of raw\n"
    "                             8-bit RGBA pixels, top row first, frame after frame\n"
    "  --audio FILE               export the audio track as WAV, or as AIFF or FLAC\n"
    "                             when FILE ends in .aif, .aiff or .flac\n"
    "  --range FIRST:LAST         export only image frames FIRST to LAST (counted\n"
    "                             from 0, both included) and the audio that plays\n"
    "                             with them\n"
    "  --from-frames PATTERN      build OUT from the numbered PNG or PPM pictures of\n"
    "                             the pattern, starting at number 0 or 1 and going on\n"
    "                             while the next file exists; all must have one size\n"
    "  --rate FPS                 the image rate of an imported movie, 1 to 100\n"
    "  --audio-in FILE            a WAV, AIFF or FLAC sound file to add to an imported\n"
    "                             movie as 16-bit audio at its own rate (5000 to\n"
    "                             50000 Hz, one or two channels)\n"
    "  --decode-bench IN          decode every image frame of IN to 32-bit pixels\n"
    "                             and print the frame count, seconds and frames per\n"
    "                             second\n"
    "  -h, --help                 print this text\n"
    "\n"
    "A progress line is shown on a terminal. Outputs are written under temporary\n"
    "names and renamed when complete; after an error none is left behind.\n"
    "Exit status: 0 on success, 1 on an error, 2 on a usage error.\n";

namespace {

bool parseInt(const char *text, long low, long high, int *value)
{
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high)
        return false;
    *value = int(v);
    return true;
}

bool parseRange(const char *text, int *first, int *last)
{
    const char *colon = std::strchr(text, ':');
    if (colon == nullptr)
        return false;
    const std::string a(text, colon), b(colon + 1);
    return parseInt(a.c_str(), 0, 0x7fffffff, first) && parseInt(b.c_str(), 0, 0x7fffffff, last) &&
           *first <= *last;
}

}  // namespace

bool parseOptions(int argc, char **argv, Options *o, std::string *error)
{
    std::vector<std::string> positional;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsDone || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsDone = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            o->help = true;
            continue;
        }
        // Every other option takes one value.
        struct Slot {
            const char *name;
            std::string *text;
        };
        const Slot slots[] = {{"--format", &o->format},        {"--compression", &o->compression},
                              {"--frames", &o->framesPattern}, {"--rgba", &o->rgbaFile},
                              {"--audio", &o->audioFile},      {"--from-frames", &o->fromFrames},
                              {"--audio-in", &o->audioIn},     {"--decode-bench", &o->decodeBench}};
        const bool known = arg == "--quality" || arg == "--range" || arg == "--rate" ||
                           std::any_of(std::begin(slots), std::end(slots),
                                       [&](const Slot &s) { return arg == s.name; });
        if (!known) {
            *error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= argc) {
            *error = "option " + arg + " needs a value";
            return false;
        }
        const char *value = argv[++i];
        if (arg == "--quality") {
            if (!parseInt(value, -1000000, 1000000, &o->quality)) {
                *error = "--quality takes a whole number";
                return false;
            }
            o->hasQuality = true;
        } else if (arg == "--range") {
            if (!parseRange(value, &o->rangeFirst, &o->rangeLast)) {
                *error = "--range takes FIRST:LAST with 0 <= FIRST <= LAST";
                return false;
            }
            o->hasRange = true;
        } else if (arg == "--rate") {
            char *end = nullptr;
            o->rate = std::strtod(value, &end);
            if (end == value || *end != '\0' || !(o->rate >= 1.0 && o->rate <= 100.0)) {
                *error = "--rate takes frames per second from 1 to 100";
                return false;
            }
        } else {
            for (const Slot &s : slots)
                if (arg == s.name)
                    *s.text = value;
        }
    }
    if (o->help)
        return true;
    const bool importing = !o->fromFrames.empty();
    const bool benching = !o->decodeBench.empty();
    if (importing || benching) {
        if (positional.size() > (importing ? 1u : 0u)) {
            *error = "too many file names";
            return false;
        }
        if (importing && !positional.empty())
            o->output = positional[0];
    } else {
        if (positional.empty() || positional.size() > 2) {
            *error = positional.empty() ? "no input movie given" : "too many file names";
            return false;
        }
        o->input = positional[0];
        if (positional.size() == 2)
            o->output = positional[1];
    }
    return checkOptions(*o, error);
}

bool checkOptions(const Options &o, std::string *error)
{
    const bool importing = !o.fromFrames.empty();
    const bool benching = !o.decodeBench.empty();
    const bool exporting = !o.framesPattern.empty() || !o.rgbaFile.empty() || !o.audioFile.empty();
    if (importing && benching) {
        *error = "--from-frames and --decode-bench do not go together";
        return false;
    }
    if (o.format != "" && o.format != "native" && o.format != "quicktime") {
        *error = "--format takes native or quicktime";
        return false;
    }
    if (importing) {
        if (o.output.empty()) {
            *error = "--from-frames needs an output movie";
            return false;
        }
        if (o.rate == 0.0) {
            *error = "--from-frames needs --rate";
            return false;
        }
        if (!validFramePattern(o.fromFrames)) {
            *error = "--from-frames needs a pattern with one number, such as in_%05d.png";
            return false;
        }
        if (exporting || o.hasRange) {
            *error = "exports and --range do not go with --from-frames";
            return false;
        }
        return true;
    }
    if (!o.audioIn.empty() || o.rate != 0.0) {
        *error = "--audio-in and --rate go with --from-frames only";
        return false;
    }
    if (benching)
        return true;
    if (o.output.empty() && !exporting) {
        *error = "nothing to do: give an output movie or an export option";
        return false;
    }
    if (o.output.empty() && (!o.format.empty() || !o.compression.empty() || o.hasQuality)) {
        *error = "--format, --compression and --quality need an output movie";
        return false;
    }
    if (!o.framesPattern.empty() && !validFramePattern(o.framesPattern)) {
        *error = "--frames needs a pattern with one number, such as out_%05d.png";
        return false;
    }
    if (o.hasRange && !exporting) {
        *error = "--range limits exports only";
        return false;
    }
    return true;
}

bool validFramePattern(const std::string &pattern)
{
    int conversions = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        if (++i >= pattern.size())
            return false;
        if (pattern[i] == '%')
            continue;
        // Flags and a width of at most two digits, then d or i.
        while (i < pattern.size() && std::strchr("0-+ ", pattern[i]) != nullptr)
            ++i;
        int digits = 0;
        while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
            ++i;
            ++digits;
        }
        if (digits > 2 || i >= pattern.size() || (pattern[i] != 'd' && pattern[i] != 'i'))
            return false;
        ++conversions;
    }
    return conversions == 1;
}

std::string frameName(const std::string &pattern, int number)
{
    // The pattern was checked by validFramePattern: one integer conversion.
    char name[4096];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(name, sizeof name, pattern.c_str(), number);
#pragma GCC diagnostic pop
    if (n < 0 || size_t(n) >= sizeof name)
        return {};
    return name;
}

}  // namespace mvconvert
