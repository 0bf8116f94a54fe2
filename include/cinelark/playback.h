/*
 * The movie library's playback engine: set-up that a program does once.
 *
 * mvInitQuickTime installs the coders of QuickTime's "Apple Video" and
 * "Apple Animation" compressions, so that image tracks of those compressions
 * can be created, read and written. Call it once at start-up, before any
 * movie is opened; further calls change nothing. Until it has run, such
 * tracks fail with error 1017.
 */
#ifndef CINELARK_PLAYBACK_H
#define CINELARK_PLAYBACK_H

#ifdef __cplusplus
extern "C" {
#endif

void mvInitQuickTime(void);

#ifdef __cplusplus
}
#endif

#endif
