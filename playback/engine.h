// The playback engine's shared objects: the per-movie playback object, the
// engine's process-wide state, and the internal operations its files share.
//
// Threads. The application thread calls the public mv operations; one main
// playback thread carries out commands, paints and queues events; one file
// I/O thread reads requested frames into each movie's video buffer; each
// bound movie has one pacing thread (the audio thread when its sound could
// be given a port, else the timer thread) that advances its current frame.
//
// Shared fields. Everything that the pacing or file I/O thread writes while
// another thread reads it is a std::atomic (marked "shared" below), so each
// read and write is a whole word and no spin is cached. The other fields are
// written on the application thread before the movie reaches the other
// threads, or on the main thread inside a command while the application
// thread waits for that command; the command semaphores order those.
#ifndef CINELARK_PLAYBACK_ENGINE_H
#define CINELARK_PLAYBACK_ENGINE_H

#include <sys/select.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>

#include <cinelark/movie.h>

#include "arena/arena_file.h"
#include "arena/semaphores.h"

namespace cinelark::playback {

using arena::PollableSemaphore;
using arena::Semaphore;

// The pacing thread's gate and wake-up, under one lock. The thread passes
// the gate only while it is open (timed play); a halt or a freeze closes it
// and waits until the thread says it is parked there, so no frame advances
// once either has returned. Its frame sleep is a timed wait on the same
// condition, so a halt, a freeze or teardown never waits out a whole period.
struct PacingGate {
    std::mutex lock;
    std::condition_variable changed;
    bool poked = false;
    bool open = false;
    bool parked = false;
};

}  // namespace cinelark::playback

// One bound movie. Fields follow the engine's data model in order.
struct MVplayback {
    int32_t playbackID = 0;
    MVid movie = 0;
    MVid audioTrack = 0;
    MVid imageTrack = 0;
    int32_t hasAudio = 0;
    int32_t width = 0, height = 0;
    float imageRate = 0.0f;
    int32_t length = 0;
    std::atomic<int32_t> loopMode{0};  // shared: read by the pacing thread
    int32_t channels = 0;
    int32_t bytesPerSample = 0;
    int32_t audioRate = 0;
    int32_t samplesPerFrame = 0;
    int32_t frameSamples = 0;
    uint32_t *videoBuffer = nullptr;
    int32_t videoBufferSize = 0;
    // Sound (audio_*.cpp). The audio thread alone fills and writes the audio
    // buffer and the resampled buffer and writes to the port; a speed change
    // grows the resampled buffer by leaving a larger one in resampledPending
    // (under audioLock) for the audio thread to take at its next frame.
    std::unique_ptr<uint8_t[]> audioBuffer;
    int32_t audioBufferSize = 0;
    std::unique_ptr<uint8_t[]> resampledBuffer;
    int32_t resampledBufferSize = 0;
    std::unique_ptr<uint8_t[]> resampledPending;  // under audioLock
    int32_t resampledPendingSize = 0;  // under audioLock: the largest buffer made
    std::mutex audioLock;
    struct ALportRec *audioPort = nullptr;  // the audio thread writes, the application closes
    int32_t instrumentStart = 0;  // main thread only
    int32_t instrumentFrames = -1;
    std::atomic<int32_t> currentFrame{0};    // shared: pacing, file I/O, main
    std::atomic<int32_t> startFrame{0};      // shared: written by the application
    std::atomic<int32_t> endFrame{0};        // shared: written by the application
    std::atomic<int32_t> bufferedFrame{-1};  // shared: written by the file I/O thread
    std::atomic<int32_t> audioFrame{-1};     // written by the audio thread
    std::atomic<int32_t> pendingError{0};    // shared: file I/O thread to main
    cinelark::playback::PacingGate gate;  // shared: main and pacing thread
    std::unique_ptr<cinelark::playback::PollableSemaphore> tickSema;
    int tickFD = -1;
    std::unique_ptr<cinelark::playback::PollableSemaphore> requestSema;
    int requestFD = -1;
    std::unique_ptr<cinelark::playback::PollableSemaphore> readySema;
    int readyFD = -1;
    std::atomic<int32_t> audioEnabled{1};
    std::atomic<int32_t> loopLimit{0};     // shared: read by the pacing thread
    std::atomic<int32_t> loopCount{0};     // shared: written by the pacing thread
    std::atomic<double> speed{1.0};        // shared: the swing reverses it on the pacing thread
    std::atomic<double> actualRate{-1.0};  // shared: read by the application
    std::atomic<int32_t> frameDelay{0};    // shared: read by the timer thread
    std::atomic<int32_t> outputSamples{0};  // written by the audio thread
    std::atomic<int32_t> everyFrame{0};
    std::thread pacingThread;
    std::atomic<int32_t> playing{0};        // shared: main and pacing thread
    std::atomic<int32_t> stopAtEnd{0};      // shared: set by the pacing thread
    std::atomic<int32_t> haltRequest{0};    // shared: main and pacing thread
    std::atomic<int32_t> freezeRequest{0};  // shared: main and pacing thread
    int32_t frameRequested = 0;             // main thread only
    int32_t stopDeferred = 0;               // main thread only
    Window window = 0;
    Display *display = nullptr;
    uint16_t windowWidth = 0, windowHeight = 0;
    int16_t viewX = 0, viewY = 0;
    uint16_t viewWidth = 0, viewHeight = 0;
    int16_t originX = 0, originY = 0;
    uint16_t shownWidth = 0, shownHeight = 0;
    uint16_t backgroundRed = 170, backgroundGreen = 170, backgroundBlue = 170;
    double zoom = 1.0;
    // Links of the playback list; changed only under the list's lock.
    MVplayback *prev = nullptr;
    MVplayback *next = nullptr;

    // Engine bookkeeping beyond the data model.
    std::atomic<bool> pacingStop{false};   // teardown of the pacing thread
    std::atomic<bool> pacingReady{false};  // the pacing thread has reached its gate
    // The track's samples per sample of the device's rate, set when the port
    // opens: a track far from every standard rate is resampled to the rate
    // the device plays at.
    double rateStep = 1.0;
    // Main thread: the deferred stop is the end of play, which waits for the
    // last frame itself rather than whichever frame was being read.
    bool endDeferred = false;
    bool projectionSet = false;  // main thread: its GL view of the window is set up
    // Held by the file I/O thread while it fills the video buffer and by the
    // main thread while it paints from it, so a repaint never shows half a
    // frame.
    std::mutex videoLock;
};

namespace cinelark::playback {

// The command record: code, object and four argument words.
struct Command {
    int32_t code = 0;
    MVplayback *object = nullptr;
    int32_t args[4] = {0, 0, 0, 0};
};

enum CommandCode : int32_t {
    kCmdSetViewOffset = 1,
    kCmdSetViewSize = 2,
    kCmdSetViewBackground = 3,
    kCmdResizeWindow = 4,
    kCmdSetFrame = 6,
    kCmdScrubFrame = 7,
    kCmdSetEnableAudio = 8,
    kCmdSetLoopMode = 10,
    kCmdSetLoopLimit = 11,
    kCmdSetLoopCount = 12,
    kCmdSetSpeed = 14,
    kCmdSetEveryFrame = 15,
    kCmdShowFrame = 16,
    kCmdStop = 17,
    kCmdPlay = 18,
    kCmdAddMovie = 19,
    kCmdRemoveMovie = 20
};

// Event selection bits.
enum : int32_t {
    kEventFrame = 2,
    kEventStop = 4,
    kEventError = 8,
    kEventSlow = 16
};

// The engine's process-wide state, built by the first bind and torn down at
// exit.
struct Engine {
    // The playback list: a head record with no movie, bound movies after it.
    // Walkers (main and file I/O thread) hold the lock shared; the
    // application thread holds it exclusive to append or unlink.
    std::shared_mutex listLock;
    MVplayback *head = nullptr;
    MVplayback *tail = nullptr;
    int32_t nextPlaybackID = 1;

    // The command channel.
    Command nextCmd;
    int32_t cmdStatus = 0;
    std::unique_ptr<PollableSemaphore> cmdSem;
    int cmdFD = -1;
    Semaphore cmdWaitSem{0};
    Semaphore cmdLock{1};

    // The main playback thread: its descriptor set (only it touches the set
    // and the copy), the limit, and its start and stop flags.
    fd_set mainSet;
    fd_set mainSetCopy;
    int mainMaxFD = 0;
    std::thread mainThread;
    std::atomic<bool> playbackInitialized{false};
    std::atomic<bool> mainStop{false};

    // The file I/O thread.
    fd_set ioSet;            // file I/O thread only
    std::mutex ioCopyLock;   // guards ioSetCopy, also cleared by the main thread
    fd_set ioSetCopy;
    int ioMaxFD = 0;
    std::unique_ptr<PollableSemaphore> ioCmdSem;
    int ioCmdFD = -1;
    std::atomic<MVplayback *> newMovie{nullptr};
    std::unique_ptr<PollableSemaphore> ioRemoveSem;
    int ioRemoveFD = -1;
    std::atomic<MVplayback *> removeMovie{nullptr};
    Semaphore ioRemoveAck{0};
    std::thread ioThread;
    std::atomic<bool> fileIOInitialized{false};
    std::atomic<bool> ioStop{false};

    int32_t hasRGB = 0;
    std::unique_ptr<arena::ArenaFile> arenaFile;
};

// The engine, or null before the first bind and after teardown.
Engine *engine();

}  // namespace cinelark::playback

// ---- engine start-up and teardown (engine_globals.cpp) ---------------------
// Starts the engine; its RGB probe asks the given display (null: $DISPLAY).
int __mvPB_InitPlaybackGlobals(Display *display = nullptr);
int __mvPB_RegisterExitHandler();
void __mvPB_DestroyPlaybackGlobals();
int __mvPB_IsInitialized();
int __mvPB_PlaybackListInitialized();
MVplayback *__mvPB_GetPlaybackList();
const char *__mvPB_GetSharedArenaFname();
int __mvPB_GetSharedArena();

// ---- playback objects (playback_objects.cpp) -------------------------------
int __mvPB_Create(MVplayback **object);
int __mvPB_Init(MVplayback *object, MVid movie, Display *display, Window window);
int __mvPB_Open(MVplayback *object);
int __mvPB_Close(MVplayback *object);
int __mvPB_Destroy(MVplayback *object);
int __mvPB_Find(int32_t playbackID, MVplayback **object);
int __mvPB_FindByMovieID(MVid movie, MVplayback **object);
int32_t __mvPB_ID(const MVplayback *object);
int32_t __mvPB_MovieHasAudio(const MVplayback *object);
int __mvPB_StartNewTimerThread(MVplayback *object);
int __mvPB_KillTimerThread(MVplayback *object);
int __mvPB_FreeSemaphores(MVplayback *object);
// A closed movie stops being the primary-audio movie (playback_api.cpp).
void __mvPB_ForgetPrimaryAudio(MVid movie);

// ---- command channel and main playback thread (main_thread.cpp) ------------
int __mvPB_InitCmdFD();
void __mvPB_DestroyCmd();
int __mvPB_PostCommand(int32_t code, MVplayback *object, const int32_t *args, int argCount);
int __mvPB_SendCommand();
int __mvPB_InitPlaybackThread();
void __mvPB_KillPlaybackThread();

// ---- play state (play_state.cpp), all on the main thread -------------------
int __mvPBaud_NextFrame(MVplayback *object, int32_t frames);
int __mvPBmain_RequestNextFrame(MVplayback *object);
void __mvPBmain_Play(MVplayback *object);
void __mvPBmain_Stop(MVplayback *object);
void __mvPBmain_HaltTimer(MVplayback *object);
void __mvPBmain_CompleteStop(MVplayback *object);
void __mvPBmain_SetFrame(MVplayback *object, int32_t frame);
void __mvPBmain_ScrubFrame(MVplayback *object, int32_t frame);
void __mvPBmain_TickHandler(MVplayback *object);
void __mvPBmain_FrameReadyHandler(MVplayback *object);
// The frame scrubbing lands on, given a key-frame test.
template <typename IsKey>
int32_t __mvPB_NearestKeyFrame(int32_t frame, int32_t length, IsKey isKey);

// ---- timing (timer_thread.cpp) ---------------------------------------------
int32_t __mvPB_CalcDelayFromSpeed(double imageRate, double speed);
void __mvPB_TimerThread(MVplayback *object);
void __mvPB_PokePacingThread(MVplayback *object);
// The gate's hand-overs. The pacing thread parks (false: it is to end),
// sleeps until a deadline unless poked, and closes the gate itself at the
// end of play. The main thread opens it for timed play, and closes it with a
// request (halt or freeze) that it holds up until the thread has parked;
// with onlyIfOpen a closed gate (play ending by itself) is left alone and
// false returned. Teardown wakes the thread wherever it waits.
bool __mvPB_Park(MVplayback *object);
void __mvPB_PacingSleep(MVplayback *object, std::chrono::steady_clock::time_point deadline);
void __mvPB_CloseGate(MVplayback *object);
void __mvPB_OpenGate(MVplayback *object);
bool __mvPB_HandOver(MVplayback *object, std::atomic<int32_t> &request, bool onlyIfOpen);
void __mvPB_EndPacing(MVplayback *object);
void __mvPBmain_SetSpeed(MVplayback *object, double speed);
void __mvPBmain_SetSyncTimeBase(MVplayback *object, int32_t flag);
void __mvPBapi_FreezeTimer(MVplayback *object);
void __mvPB_InitInstrument(MVplayback *object);
void __mvPB_ClearInstrument(MVplayback *object);
void __mvPB_CountFrame(MVplayback *object);
double __mvPB_GetSlowThreshold();

// ---- file I/O thread (file_io_thread.cpp) ----------------------------------
int __mvPB_InitFileIOThread();
void __mvPB_KillFileIOThread();
int __mvPB_InitVideoBuffers(MVplayback *object);
int __mvPB_FreeVideoBuffers(MVplayback *object);
int __mvPBio_PrepareVideo(MVplayback *object);
void __mvPB_SetNewMovie(MVplayback *object);
MVplayback *__mvPB_GetNewMovie();
void __mvPB_RemoveFromFileIO(MVplayback *object);
void __mvPB_ClearFileIORequests(MVplayback *object);

// ---- display (display.cpp), on the main thread -----------------------------
int __mvPB_InitGLLock();
void __mvPB_DestroyGLLock();
void __mvPBmain_SetViewOffset(MVplayback *object, int32_t x, int32_t y);
void __mvPBmain_SetViewSize(MVplayback *object, int32_t width, int32_t height);
void __mvPBmain_SetViewBackground(MVplayback *object, uint16_t r, uint16_t g, uint16_t b);
void __mvPBmain_ResizeWindow(Display *display, Window window);
// Makes this thread's GL context for the movie's window. Binding does it at
// once so that the GL driver is loaded (and its exit-time destructors are
// registered) before the engine registers its exit handler.
void __mvPBmain_PrepareWindow(MVplayback *object);
void __mvPBmain_Paint(MVplayback *object);
void __mvPBmain_PaintBackground(MVplayback *object);
void __mvPBmain_PaintFrame(MVplayback *object);
double __mvPBapi_CalcZoom(const MVplayback *object, double viewWidth, double viewHeight);
void __mvPBapi_CalcActualOrigin(const MVplayback *object, int32_t x, int32_t y, int16_t *originX,
                                int16_t *originY);

// ---- events (events.cpp) ---------------------------------------------------
int __mvEV_SendEvent(MVplayback *object, int32_t maskBit);
int __mvPB_GetAppFD();
void __mvEV_DestroyEventQueue();
void __mvEV_DestroyAllEvents();
// Milliseconds of elapsed real time, as event time stamps carry them.
uint32_t __mvEV_TimeStamp();

// ---- templates ---------------------------------------------------------------

// Scrubbing: the frame itself when it is a key frame; else the nearest key
// frame within 30 frames on either side, the later one when both are equally
// near; else the frame itself.
template <typename IsKey>
int32_t __mvPB_NearestKeyFrame(int32_t frame, int32_t length, IsKey isKey)
{
    constexpr int32_t kReach = 30;
    if (isKey(frame))
        return frame;
    int32_t forward = -1, backward = -1;
    const int32_t last = frame + kReach < length - 1 ? frame + kReach : length - 1;
    for (int32_t f = frame + 1; f <= last; f++)
        if (isKey(f)) {
            forward = f;
            break;
        }
    const int32_t first = frame - kReach > 0 ? frame - kReach : 0;
    for (int32_t f = frame - 1; f >= first; f--)
        if (isKey(f)) {
            backward = f;
            break;
        }
    if (forward >= 0 && backward >= 0)
        return forward - frame <= frame - backward ? forward : backward;
    if (forward >= 0)
        return forward;
    if (backward >= 0)
        return backward;
    return frame;
}

#endif
