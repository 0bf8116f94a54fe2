// What the engine does when the application closes an X display that movies
// are shown on.
//
// The main playback thread holds a GL context for each window it paints.
// Closing the display while that context is current there would leave the GL
// driver with a freed connection, and the thread (or the process at exit)
// would crash later. So each display a movie is bound to is watched: when
// XCloseDisplay runs, the closing thread hands the display to the main thread
// and waits while it stops painting there and lets go of its contexts. The
// movies stay bound and play on without a picture.
#ifndef CINELARK_PLAYBACK_DISPLAY_CLOSE_H
#define CINELARK_PLAYBACK_DISPLAY_CLOSE_H

#include <X11/Xlib.h>

// Made at engine start-up, before the main thread runs: the descriptor the
// main thread watches for a display being closed. -1 on failure (mvErrno
// set).
int __mvPB_InitDisplayClose();

// At teardown, before the main thread ends: no display can be handed over
// from here on.
void __mvPB_DestroyDisplayClose();

// At binding: watch the movie's display. 0, or -1 with mvErrno set.
int __mvPB_WatchDisplay(Display *display);

// Main thread, when the descriptor is ready: stop painting on the display
// handed over, release this thread's contexts on it and answer.
void __mvPBmain_DisplayClosing();

#endif
