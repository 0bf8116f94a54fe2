// The movie controller: the contents of a movie window. It opens the movie,
// shows it in a GL drawing area bound to the playback engine, draws the
// position marker along the picture's bottom edge, takes the mouse (click to
// play or stop, drag the marker to scrub, middle button for the volume,
// right button for a small menu) and the keys, and turns the engine's movie
// events into pictures, marker moves and calls of its owner's hooks.
//
// Everything here runs on the application thread. The engine's threads reach
// the controller only through the movie event descriptor, registered with
// the X toolkit. Failures while building print a message on standard output
// and end the program with status 1.
#ifndef CINELARK_APP_MOVIE_CONTROLLER_H
#define CINELARK_APP_MOVIE_CONTROLLER_H

#include <X11/Intrinsic.h>

#include <cstdint>

#include <cinelark/movie.h>

#include "kgl/kgl.h"

class MovieController {
public:
    using FrameHook = void (*)(unsigned int frame);
    using Hook = void (*)();
    using ExposeHook = void (*)(MovieController *);

    MovieController(Widget parent, const char *name, const char *fileName, int zoom,
                    int autoStart);
    virtual ~MovieController();
    MovieController(const MovieController &) = delete;
    MovieController &operator=(const MovieController &) = delete;

    virtual void show();
    [[noreturn]] virtual void error(const char *message);
    virtual void setPlayRevSpeed(double v) { speed_ = v; }

    void setFrameHook(FrameHook hook) { frameHook_ = hook; }
    void setExposeHook(ExposeHook hook) { exposeHook_ = hook; }
    void setZoomHooks(Hook up, Hook down)
    {
        zoomUpHook_ = up;
        zoomDownHook_ = down;
    }

    void play();
    void reversePlay();
    void forwardPlay();
    void rewind();
    void stop();
    void reset();
    void frmFwd();
    void frmBack();
    void gotoFrame(int n);
    // Stops and shows frame n (the first or the last, for Home and End).
    void goToEdge(int n);
    void mute();
    static int isMuted() { return muted_; }

    // The volume and mute kept between runs (volume.cpp): restored once at
    // start-up, before any movie is bound, and saved after each change.
    static void restoreSettings();
    static void rememberSettings();

    MVid movieId() const { return movie_; }
    int frameCountOf() const { return frameCount_; }
    int zoomedHeight() const { return height_; }
    Widget formWidget() const { return form_; }
    bool isPlaying() const { return playing_ != 0; }
    int markerPosition() const { return markerX_; }

private:
    // Actions of the drawing area's translations (controller_input.cpp).
    static void registerActions(XtAppContext context);
    static MovieController *of(Widget w);
    static void button1Down(Widget, XEvent *, String *, Cardinal *);
    static void mouseMoved(Widget, XEvent *, String *, Cardinal *);
    static void button1Up(Widget, XEvent *, String *, Cardinal *);
    static void button2Down(Widget, XEvent *, String *, Cardinal *);
    static void button2Up(Widget, XEvent *, String *, Cardinal *);
    static void keyLeft(Widget, XEvent *, String *, Cardinal *);
    static void keyRight(Widget, XEvent *, String *, Cardinal *);
    static void keyM(Widget, XEvent *, String *, Cardinal *);
    static void keyP(Widget, XEvent *, String *, Cardinal *);
    static void keyS(Widget, XEvent *, String *, Cardinal *);
    static void keyR(Widget, XEvent *, String *, Cardinal *);
    static void keySpace(Widget, XEvent *, String *, Cardinal *);
    static void keyHome(Widget, XEvent *, String *, Cardinal *);
    static void keyEnd(Widget, XEvent *, String *, Cardinal *);
    static void keyZoomUp(Widget, XEvent *, String *, Cardinal *);
    static void keyZoomDown(Widget, XEvent *, String *, Cardinal *);

    // Widget callbacks (movie_controller.cpp, controller_input.cpp).
    static void exposedCB(Widget, XtPointer, XtPointer);
    static void gInitCB(Widget, XtPointer, XtPointer);
    static void resizedCB(Widget, XtPointer, XtPointer);
    static void handleMovieEvents(XtPointer, int *, XtInputId *);
    static void resetCB(Widget, XtPointer, XtPointer);
    static void stopCB(Widget, XtPointer, XtPointer);
    static void playCB(Widget, XtPointer, XtPointer);
    static void postIt(Widget, XtPointer, XEvent *, Boolean *);
    static void makeVolume(Widget, XtPointer, XEvent *, Boolean *);

    void buildWidgets(Widget parent, const char *name);
    void callFrameHook(int frame);
    int currentFrame() const;
    void resetIfAtEnd();
    void wrapIfAtBeginning();
    void drawCurrentImage();
    void startedPlaying();

    // The position marker (marker_draw.cpp).
    void putTriangleUp();
    void takeTriangleDown();
    void setTriangleActive(int on);
    void setTrianglePos(int x);
    void moveMarkerTo(int frame);

    // The output volume in percent (volume.cpp).
    static int getCurVolume();
    void setCurVolume(int v);
    // The average gain as text, kept in curVol_.
    static const char *getCurVol();
    static bool soundOutputWorks();

    FrameHook frameHook_ = nullptr;
    Hook glInitHook_ = nullptr;
    Hook zoomUpHook_ = nullptr;
    Hook zoomDownHook_ = nullptr;
    ExposeHook exposeHook_ = nullptr;
    int exitAtStop_ = 0;
    int glReady_ = 0;
    double speed_ = 1.0;
    int playing_ = 0;
    int dragging_ = 0;
    int button1Down_ = 0;
    int pressX_ = 0;
    int volumeDragging_ = 0;
    int pressY_ = 0;
    int hookCounter_ = 0;
    Widget form_ = nullptr;
    Widget drawingArea_ = nullptr;
    Widget popupMenu_ = nullptr;
    Widget resetButton_ = nullptr, stopButton_ = nullptr, playButton_ = nullptr;
    Widget volumeShell_ = nullptr;
    Widget volumeScrollBar_ = nullptr;
    XtInputId inputId_ = 0;
    Window window_ = 0;
    Display *display_ = nullptr;
    GLXconfig *glxConfig_ = nullptr;
    int sliderLength_ = 0;
    int volume_ = 0;
    char *fileName_ = nullptr;
    MVid movie_ = 0;
    int fd_ = -1;
    int width_ = 0, height_ = 0;
    int eventFD_ = -1;
    int hasAudio_ = 0;
    int audioRate_ = 0;
    int frameCount_ = 0;
    int listIndex_ = 0;
    uint32_t savedPixels_[26 * 26] = {};
    int markerX_ = 0;
    int markerShown_ = 0;

    // Controllers alive now; the engine's events name their movie, and the
    // list finds the controller that shows it.
    static constexpr int kMaxControllers = 26;
    static int curMaxObjOffset;
    static MovieController *list_[kMaxControllers];
    static short muted_;
    static char curVol_[8];
};

#endif
