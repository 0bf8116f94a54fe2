// The object model of the movie library: movies, audio tracks and image
// tracks, and the operations the rest of the library (frame editing, the file
// format readers and writers, the playback engine) uses on them.
//
// Ownership: a movie owns its byte stream, its file-space manager, its
// parameter list and its tracks; a track owns its frame directory, its
// parameter lists, its codec bridge object and its buffers, and shares the
// movie's stream and file-space manager. Objects are found by id through
// three process-wide registries (movies, audio tracks, image tracks).
//
// Dirty marking: a change of parameters or tracks marks the movie dirty; a
// change of frames also sets its "OPTIMIZED" to 0. Ending the loading phase
// and a successful write clear the mark.
//
// Nothing here is locked; the application thread owns every object. The
// playback engine's threads read frames only (see directory.h).
#ifndef CINELARK_MOVIE_MODEL_H
#define CINELARK_MOVIE_MODEL_H

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include <cinelark/dmparams.h>
#include <cinelark/movie.h>

struct MVstream;
struct MVfilespace;
struct MVtrackset;
struct MVdirectory;
struct MVcodec;

// The kind digit of an id.
enum MVidKind { MV_KIND_MOVIE = 1, MV_KIND_AUDIO = 2, MV_KIND_IMAGE = 3 };

struct MVmovie {
    MVid id = 0;
    DMparams *params = nullptr;
    MVstream *stream = nullptr;
    MVfilespace *fileSpace = nullptr;
    MVtrackset *tracks = nullptr;
    // Owner variable of the 4-byte header block at offset 0.
    uint32_t headerOffset = 0;
    // Bytes of the description area at the start of the file as last read or
    // written; mvOptimize reserves this much in its destination.
    uint32_t directorySize = 0;
    bool dirty = false;
};

// What audio and image tracks share. The kind tells which of the two derived
// objects a pointer holds.
struct MVtrack {
    MVid id = 0;
    int kind = 0;
    MVmovie *movie = nullptr;
    MVstream *stream = nullptr;
    MVfilespace *fileSpace = nullptr;
    MVdirectory *directory = nullptr;
    DMparams *params = nullptr;
};

struct MVaudioTrack : MVtrack {
    int frameBytes = 0;  // one sample frame: width / 8 x channels
    int format = 0;      // "DM_AUDIO_FORMAT"
    int width = 0;       // bits per sample
    int channels = 0;
};

// Decoded pictures of one track in one block of equal slots, made on first
// use: frame -> slot, and the frames kept, oldest first.
struct MVpictureCache {
    struct Release {
        void operator()(uint8_t *block) const { std::free(block); }
    };
    std::unique_ptr<uint8_t, Release> block;
    size_t slotBytes = 0;
    size_t slots = 0;
    std::map<int, size_t> slotOf;
    std::deque<int> order;
    uint8_t *slot(size_t k) const { return block.get() + k * slotBytes; }
};

struct MVimageTrack : MVtrack {
    // The seven image settings as frames are handed to callers: always
    // "Uncompressed Video".
    DMparams *virtualFormat = nullptr;
    MVcodec *codec = nullptr;  // null for "Uncompressed Video"
    int frameSize = 0;         // bytes of one uncompressed frame
    // Stored frames pass through here on their way to or from the codec; the
    // buffer only grows.
    std::vector<uint8_t> compressed;
    // The last frame pushed through the decompressor, -1 when none: frames of
    // inter-frame codecs must be decoded in order.
    int lastDecoded = -1;
    int packing = 0;
    // Stored pixels waiting for conversion to 32-bit words for display.
    std::vector<uint8_t> conversion;
    // MPEG-1 video: decoded pictures kept for stepping back and reverse play,
    // and the first frame the decoder has handed out right since it last
    // restarted.
    MVpictureCache pictureCache;
    int validFrom = 0;
    // The speed the movie plays at, set by the playback engine while frames
    // are read on another thread, and the speed the decoder was last told.
    std::atomic<double> playSpeed{1.0};
    double codecSpeed = 1.0;
};

// ---- ids and registries (ids.cpp) ----------------------------------------

// Issues the next id of a kind: counter x 10 + kind, the counter starting
// at 1000. Ids are never reused.
MVid __mvNewID(int kind);

int __mvRegisterMovie(MVmovie *movie);
int __mvRegisterTrack(MVtrack *track);
void __mvUnregisterMovie(MVid id);
void __mvUnregisterTrack(MVtrack *track);

// Resolve an id in the registry of the expected kind; null with 1001 when
// it is not there.
MVmovie *__mvFindMovie(MVid id);
MVtrack *__mvFindTrack(MVid id);
MVaudioTrack *__mvFindAudioTrack(MVid id);
MVimageTrack *__mvFindImageTrack(MVid id);

// ---- movies (movie.cpp) -------------------------------------------------

// Creates a movie on a stream it then owns (also on failure, when the stream
// is destroyed). The file-space manager is left in its loading phase with
// the header block recorded: the mvCreate calls end it at once, a reader
// after it has added the tracks and their directory entries.
int __mvMV_Create(MVstream *stream, DMparams *params, DMparams *returnParams, MVid *movie);
// Ends the loading phase, records the directory size and clears the dirty
// mark.
int __mvMV_LoadDone(MVid movie, uint32_t directorySize);
int __mvMV_SetParams(MVmovie *movie, DMparams *params, DMparams *returnParams);
void __mvMV_SetDirty(MVmovie *movie);
// A frame change: dirty, and "OPTIMIZED" back to 0.
void __mvMV_FramesChanged(MVmovie *movie);
// Frees the movie and everything it owns; it must be unregistered already.
void __mvMV_Destroy(MVmovie *movie);

// What the writers and the optimiser need of a movie.
MVstream *__mvMV_Stream(MVid movie);
MVfilespace *__mvMV_FileSpace(MVid movie);
int __mvMV_TrackCount(MVid movie);
MVid __mvMV_TrackAt(MVid movie, int index);
uint32_t __mvMV_DirectorySize(MVid movie);
void __mvMV_SetDirectorySize(MVid movie, uint32_t size);
// The first track of a medium in track-set order, 0 when there is none.
MVid __mvMV_FirstTrack(MVmovie *movie, int medium);

// ---- tracks (audio_track.cpp, image_track.cpp, track.cpp) ---------------

int __mvAT_Create(MVmovie *movie, DMparams *params, DMparams *returnParams, MVid *track);
int __mvIT_Create(MVmovie *movie, DMparams *params, DMparams *returnParams, MVid *track);
// The steps that begin and end the creation of either kind of track.
// __mvT_Attach ties the new track to its movie (kind, stream, file space) and
// gives it an empty directory and parameter list: 0, or -1 with 1004.
// __mvT_Publish registers the finished track, adds it to the movie's track
// set, marks the movie dirty and hands out the id; on failure it frees the
// track. Until it succeeds the caller frees the track on failure.
int __mvT_Attach(MVtrack *track, MVmovie *movie, int kind);
int __mvT_Publish(MVtrack *track, MVid *id);
int __mvAT_SetParams(MVaudioTrack *track, DMparams *params, DMparams *returnParams);
int __mvIT_SetParams(MVimageTrack *track, DMparams *params, DMparams *returnParams);

MVdirectory *__mvT_DirList(MVid track);
DMparams *__mvT_GetParams(MVid track);
// Audio: its parameters; image: the virtual format.
DMparams *__mvT_GetVirtualFormat(MVid track);
// Marks the movie dirty and frees the track; it is unregistered here.
int __mvT_Destroy(MVid track);
// Adds one directory entry while a file is loaded; see directory.h.
int __mvT_InitDirEntry(MVid track, uint32_t offset, uint32_t size, DMparams *frameParams);
// Rewrites "TRACK_LENGTH" from the directory.
int __mvT_UpdateLength(MVtrack *track);
int __mvT_Length(const MVtrack *track);
// The speed an image track is played at (1.0 unless the playback engine
// says otherwise); at speed the decoder may leave pictures out.
void __mvT_SetPlaySpeed(MVid track, double speed);

void __mvT_Free(MVtrack *track);

#endif
