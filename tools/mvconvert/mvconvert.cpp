// mvconvert: converts movies between the native and QuickTime formats and
// between compressions, exports their frames and sound, builds movies from
// pictures and sound, and measures decoding speed. The options are in
// options.cpp (kHelpText); each kind of run lives in its own file.
#include "modes.h"

int main(int argc, char **argv) { return mvconvert::run(argc, argv); }
