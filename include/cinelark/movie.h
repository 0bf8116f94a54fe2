/*
 * The movie file library: movies made of audio and image tracks, described by
 * parameter lists, and the operations that create, open, inspect, edit, write
 * and close them.
 *
 * Every movie and track is named by an MVid. The last decimal digit of an id
 * tells its kind (1 movie, 2 audio track, 3 image track); ids are issued from
 * one process-wide counter and never reused.
 *
 * Results: operations return 0 on success and -1 on failure, leaving the error
 * number for mvGetErrno (values below 1000 are operating-system error numbers,
 * 1001 and up the library's own, with texts from mvGetErrorStr). Getters return
 * the value, or 0 / NULL when the id or the parameter is missing; predicates
 * return 1 or 0.
 *
 * Threads: the library has no locks of its own. Call it from one thread; the
 * playback engine's threads only read frames, and keeping editing and playback
 * of one movie apart is the caller's duty.
 */
#ifndef CINELARK_MOVIE_H
#define CINELARK_MOVIE_H

#include <stddef.h>

#include <cinelark/dmparams.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int MVid;

/* Values of "FILE_FORMAT". Version 1 and 2 native files are read only; a
 * change to such a movie is written as a version 3 file. */
enum {
    MV_FORMAT_NATIVE_1 = 0,
    MV_FORMAT_NATIVE_2 = 1,
    MV_FORMAT_NATIVE_3 = 2,
    MV_FORMAT_QUICKTIME = 3,
    MV_FORMAT_MPEG1 = 4 /* MPEG-1 video or system stream, read only */
};

/* Values of "LOOP_MODE". */
enum {
    MV_LOOP_ONCE = 0,
    MV_LOOP_REPEAT = 1,
    MV_LOOP_SWING = 2
};

/* Parameter names of movies. */
#define MV_FILE_FORMAT "FILE_FORMAT"
#define MV_LOOP_MODE "LOOP_MODE"
#define MV_LOOP_LIMIT "LOOP_LIMIT"
#define MV_TITLE "TITLE"
#define MV_COMMENT "COMMENT"
#define MV_OPTIMIZED "OPTIMIZED"

/* Parameter names of every track (the medium is DM_MEDIUM). */
#define MV_TRACK_LENGTH "TRACK_LENGTH"
#define MV_SMPTE_START "SMPTE_START"

/* Image and audio track settings the library adds to the shared ones. */
#define MV_IMAGE_CSIZE "MV_IMAGE_CSIZE"
#define MV_DEFAULT_VOL "DEFAULT_VOL"

/* The per-frame parameter the library itself uses: 1 marks a key frame. */
#define MV_KEY_FRAME "MV_KEY_FRAME"

/* A movie holds at most this many tracks. */
#define MV_MAX_TRACKS 10

/* ---- Files ---------------------------------------------------------- */

int mvIsMovieFile(const char *fileName);
int mvIsMovieFD(int fd);
int mvIsMovieMem(void *address, size_t size);

/* openFlags is O_RDONLY or O_RDWR; a movie opened read-only can be read and
 * played, and editing it fails when it is written. */
int mvOpenFile(const char *fileName, int openFlags, MVid *movie);
int mvOpenFD(int fd, MVid *movie);
int mvOpenMem(void *address, size_t size, MVid *movie);

/* params must hold "FILE_FORMAT", "LOOP_LIMIT", "LOOP_MODE" and "OPTIMIZED"
 * (mvSetMovieDefaults gives them all); returnParams, when not NULL, receives a
 * copy of every setting taken. */
int mvCreateFile(const char *fileName, DMparams *params, DMparams *returnParams,
                 MVid *movie);
int mvCreateFD(int fd, DMparams *params, DMparams *returnParams, MVid *movie);
int mvCreateMem(void *address, size_t size, DMparams *params,
                DMparams *returnParams, MVid *movie);

/* mvWrite writes a changed movie back to its storage; mvClose writes it if
 * it changed, then frees it and its tracks. A failed write leaves the movie
 * open and changed. */
int mvWrite(MVid movie);
int mvClose(MVid movie);

/* ---- Tracks --------------------------------------------------------- */

int mvAddTrack(MVid movie, int medium, DMparams *params,
               DMparams *returnParams, MVid *track);
int mvFindTrackByMedium(MVid movie, int medium, MVid *track);
int mvRemoveTrack(MVid movie, MVid track);

/* ---- Parameters ----------------------------------------------------- */

/* The object's own list: read it, never change or free it. */
DMparams *mvGetParams(MVid movieOrTrack);
int mvSetParams(MVid movieOrTrack, DMparams *params, DMparams *returnParams);
int mvSetMovieDefaults(DMparams *params, int fileFormat);
int mvAddUserParam(const char *name);

int mvGetFileFormat(MVid movie);
int mvGetLoopMode(MVid movie);
int mvSetLoopMode(MVid movie, int mode);
int mvGetLoopLimit(MVid movie);
int mvSetLoopLimit(MVid movie, int limit);
const char *mvGetTitle(MVid movie);
int mvSetTitle(MVid movie, const char *title);
const char *mvGetComment(MVid movie);
int mvSetComment(MVid movie, const char *comment);
int mvGetOptimized(MVid movie);

int mvGetTrackLength(MVid track);
int mvGetTrackMedium(MVid track);
const char *mvGetTrackSMPTEStart(MVid track);
int mvSetTrackSMPTEStart(MVid track, const char *start);

int mvGetImageWidth(MVid track);
int mvGetImageHeight(MVid track);
double mvGetImageRate(MVid track);
int mvSetImageRate(MVid track, double rate);
const char *mvGetImageCompression(MVid track);
int mvGetImageInterlacing(MVid track);
int mvGetImagePacking(MVid track);
int mvGetImageOrientation(MVid track);

int mvGetAudioFormat(MVid track);
int mvGetAudioWidth(MVid track);
double mvGetAudioRate(MVid track);
int mvGetAudioChannels(MVid track);
const char *mvGetAudioCompression(MVid track);
double mvGetDefaultVol(MVid track);
int mvSetDefaultVol(MVid track, double volume);

/* ---- Frames --------------------------------------------------------- */

/* Audio frames are sample frames (width/8 x channels bytes); image frames
 * are whole pictures of the track's uncompressed frame size. Inserting at the
 * track length appends. */
int mvReadFrames(MVid track, int firstFrame, int count, size_t bufferSize,
                 void *buffer);
int mvInsertFrames(MVid track, int firstFrame, int count, size_t bufferSize,
                   void *buffer);
int mvDeleteFrames(MVid track, int firstFrame, int count);
int mvPasteFrames(MVid sourceTrack, int sourceFrame, int count,
                  MVid destTrack, int destFrame);
int mvMapBetweenTracks(MVid sourceTrack, MVid destTrack, int sourceFrame,
                       int *destFrame);

/* The stored (compressed) bytes of one image frame. mvGetCompressedImageSize
 * returns 0 on failure; mvReadCompressedImage refuses a buffer smaller than the
 * stored frame with 1011. */
size_t mvGetCompressedImageSize(MVid imageTrack, int frame);
int mvReadCompressedImage(MVid imageTrack, int frame, size_t bufferSize,
                          void *buffer);
int mvInsertCompressedImage(MVid imageTrack, int frame, size_t size,
                            void *data);

/* Copies the source movie into the empty destination with each image frame
 * preceded by the audio that plays with it. */
int mvOptimize(MVid sourceMovie, MVid destMovie);

/* ---- Playback -------------------------------------------------------
 *
 * A movie bound to an X window plays there on the engine's own threads. Every
 * call below takes a bound movie (others fail with -1 and 1001; getters of
 * such a movie return -1); setters are carried out on the engine's main
 * playback thread and return once they are done. The display is Xlib's
 * Display and the window an X Window id. Call XInitThreads() before any
 * other Xlib call in a program that binds a movie. The engine starts with
 * the first mvBindWindow and is torn down by an exit handler: every engine
 * thread is stopped and joined and the engine's arena file is removed. */

typedef struct MVevent {
    int type;          /* MV_EVENT_FRAME, _STOP, _ERROR or _SLOW_PLAY */
    unsigned int time; /* milliseconds of elapsed real time */
    MVid movie;
    int frame;         /* the frame last read for display */
    int value;         /* error events: the error number; else 0 */
} MVevent;

enum {
    MV_EVENT_FRAME = 1,
    MV_EVENT_STOP = 2,
    MV_EVENT_ERROR = 3,
    MV_EVENT_SLOW_PLAY = 4
};

/* Selection mask bits: an event of type t is queued when bit 1 << t is set. */
enum {
    MV_EVENT_MASK_FRAME = 1 << MV_EVENT_FRAME,
    MV_EVENT_MASK_STOP = 1 << MV_EVENT_STOP,
    MV_EVENT_MASK_ERROR = 1 << MV_EVENT_ERROR,
    MV_EVENT_MASK_SLOW_PLAY = 1 << MV_EVENT_SLOW_PLAY
};

/* No movie is the primary-audio movie. */
#define MV_PRIMARY_AUDIO_NONE 7

int mvBindWindow(MVid movie, struct _XDisplay *display, unsigned long window);
int mvPlay(MVid movie);
int mvStop(MVid movie);
int mvSetCurrentFrame(MVid movie, int frame);
int mvScrubCurrentFrame(MVid movie, int frame);
int mvGetCurrentFrame(MVid movie);
int mvSetStartFrame(MVid movie, int frame);
int mvGetStartFrame(MVid movie);
int mvSetEndFrame(MVid movie, int frame);
int mvGetEndFrame(MVid movie);
int mvSetPlayLoopMode(MVid movie, int mode);
int mvGetPlayLoopMode(MVid movie);
int mvSetPlayLoopLimit(MVid movie, int limit);
int mvGetPlayLoopLimit(MVid movie);
int mvSetPlayLoopCount(MVid movie, int count);
int mvGetPlayLoopCount(MVid movie);
int mvSetPlayEveryFrame(MVid movie, int flag);
int mvGetPlayEveryFrame(MVid movie);
int mvSetNumMoviesHint(int count);
int mvGetNumMoviesHint(void);

/* Speed 1.0 is normal, negative plays backwards; 0 is refused (EINVAL). */
int mvSetPlaySpeed(MVid movie, double speed);
double mvGetPlaySpeed(MVid movie);
/* Frames painted in the last measured second of play; -1 until measured. */
int mvGetActualFrameRate(MVid movie, double *rate);
void mvSetSlowThreshold(double threshold);
double mvGetSlowThreshold(void);

int mvSetEnableAudio(MVid movie, int flag);
int mvGetEnableAudio(MVid movie);
int mvSetPrimaryAudio(MVid movie);
MVid mvGetPrimaryAudio(void);

/* Views: offsets with flag 0 measure y from the window's top down to the
 * view's top; with a non-zero flag from the bottom up to the view's bottom. */
int mvSetViewOffset(MVid movie, int x, int y, int flag);
int mvGetViewOffset(MVid movie, int *x, int *y, int flag);
int mvQueryViewOffset(MVid movie, int x, int y, int *originX, int *originY, int flag);
int mvSetViewSize(MVid movie, int width, int height);
int mvGetViewSize(MVid movie, int *width, int *height);
int mvQueryViewSize(MVid movie, int width, int height, int flag, int *shownWidth,
                    int *shownHeight);
int mvSetViewBackground(MVid movie, unsigned short red, unsigned short green,
                        unsigned short blue);
int mvGetViewBackground(MVid movie, unsigned short *red, unsigned short *green,
                        unsigned short *blue);
int mvResizeWindow(struct _XDisplay *display, unsigned long window);
int mvShowCurrentFrame(MVid movie);
void mvSetFrameDisplay(int flag);
int mvGetFrameDisplay(void);
/* The GL lock: hold it around the application's own GL drawing in a window
 * a movie is shown in. */
void mvGrabKelvoGL(void);
void mvReleaseKelvoGL(void);

/* Events: the descriptor is readable while events are pending. mvNextEvent
 * fails (EAGAIN) when none is. */
int mvGetEventFD(int *fd);
void mvSetSelectEvents(int mask);
int mvGetSelectEvents(void);
int mvPendingEvents(void);
int mvNextEvent(MVevent *event);
MVevent *mvPeekEvent(MVevent *event);

/* ---- Timecodes -------------------------------------------------------
 *
 * A time is hours, minutes, seconds and frames, the frames counted in
 * thirtieths of a second whatever the movie's rate (format 2, the only one
 * with a meaning; other formats leave the outputs alone and return 0). The
 * rate is that of the movie's first image track; without one every call
 * fails with -1. */

int mvFrameToTime(MVid movie, unsigned int frame, int format, int *hours, int *minutes,
                  int *seconds, int *frames);
int mvTimeToFrame(MVid movie, int hours, int minutes, int seconds, unsigned int frames,
                  int format, unsigned int *frame);
/* Writes "HH:MM:SS:FF" into text, which holds at least 12 bytes. */
int mvFrameToString(MVid movie, unsigned int frame, int format, char *text);
/* Reads one to four fields of digits separated by ':' (frames last); parts
 * not given keep the movie's current position. Refuses seconds of 60 or
 * more, frames of 30 or more, other characters and more than four fields;
 * clamps to the image track's last frame. */
int mvStringToFrame(MVid movie, const char *text, int format, unsigned int *frame);


/* ---- Errors --------------------------------------------------------- */

int mvGetErrno(void);
const char *mvGetErrorStr(int errnum);

#ifdef __cplusplus
}
#endif

#endif
