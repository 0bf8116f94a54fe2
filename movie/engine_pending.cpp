// Stand-in for the playback engine's release of a movie, used until the
// playback engine's core is part of the build; the engine's own release
// replaces this file.
//
// With no engine, no movie is ever bound, so releasing one has nothing to do.
#include "engine_hooks.h"

int __mvPB_CloseHackForPublicAPI(MVid) { return 0; }
