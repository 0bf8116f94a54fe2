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
    MV_FORMAT_QUICKTIME = 3
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

/* ---- Errors --------------------------------------------------------- */

int mvGetErrno(void);
const char *mvGetErrorStr(int errnum);

#ifdef __cplusplus
}
#endif

#endif
