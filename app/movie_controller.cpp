// The movie controller's life, its playback operations, the GL set-up of its
// drawing area and the movie events the engine sends back.
#include "movie_controller.h"

#include <fcntl.h>
#include <unistd.h>

#include <Xm/DialogS.h>
#include <Xm/Form.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/ScrollBar.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <cinelark/audio.h>

#include "marker_map.h"

int MovieController::curMaxObjOffset = 0;
MovieController *MovieController::list_[kMaxControllers] = {};
short MovieController::muted_ = 0;
char MovieController::curVol_[8] = "";

namespace {

// The normal frame buffer in RGB mode, single-buffered.
const GLXconfig kWantedConfig[] = {
    {KGLX_NORMAL, KGLX_RGB, 1},
    {KGLX_NORMAL, KGLX_DOUBLE, 0},
    {0, 0, 0},
};

// Frame events (1) to slow-play events (4).
constexpr int kSelectedEvents = 30;

void silentAudioErrors(long, const char *, ...) {}

}  // namespace

MovieController::MovieController(Widget parent, const char *name, const char *fileName,
                                 int zoom, int autoStart)
{
    exitAtStop_ = autoStart;
    display_ = XtDisplay(parent);

    fileName_ = static_cast<char *>(std::malloc(std::strlen(fileName) + 1));
    if (!fileName_)
        error("could not malloc");
    std::strcpy(fileName_, fileName);

    fd_ = open(fileName, O_RDONLY);
    if (fd_ < 0) {
        char text[1100];
        std::snprintf(text, sizeof text, "Could not open: %s", fileName);
        perror(text);
        error("could not open movie file\n");
    }
    if (mvOpenFD(fd_, &movie_) != 0)
        error("could not open movie\n");
    if (mvGetEventFD(&eventFD_) < 0)
        error("could not get movie fd\n");
    volume_ = getCurVolume();

    MVid image = 0;
    if (mvFindTrackByMedium(movie_, DM_MEDIUM_IMAGE, &image) == 0) {
        width_ = mvGetImageWidth(image);
        height_ = mvGetImageHeight(image);
        frameCount_ = mvGetTrackLength(image);
    }
    MVid audio = 0;
    if (mvFindTrackByMedium(movie_, DM_MEDIUM_AUDIO, &audio) == 0) {
        hasAudio_ = 1;
        audioRate_ = static_cast<int>(mvGetAudioRate(audio));
        if (!soundOutputWorks())
            std::fprintf(stderr,
                         "cinelark: no audio device could be opened; %s plays without sound.\n",
                         fileName);
    }

    mvSetSelectEvents(kSelectedEvents);
    // The controller paints the current frame itself after each batch of
    // frame events, so that the marker is drawn over a finished picture.
    mvSetFrameDisplay(0);

    glxConfig_ = GLXgetconfig(display_, XScreenNumberOfScreen(XtScreen(parent)), kWantedConfig);
    if (!glxConfig_) {
        // The reason: GL was asked for on a display without it, or the
        // display has no TrueColor visual to paint X images in.
        std::fprintf(stderr, "cinelark: the X display offers no OpenGL (GLX) visual in RGB "
                             "mode, nor a TrueColor visual for X images (CINELARK_PAINT=%s), "
                             "so the movie cannot be shown.\n",
                     std::getenv("CINELARK_PAINT") ? std::getenv("CINELARK_PAINT") : "auto");
        error("Coult not glxgetconfig");
    }
    if (zoom < 1 || zoom > 4)
        error("zoom must be <=4 and >=1");
    width_ *= zoom;
    height_ *= zoom;
    sliderLength_ = width_ - 25;

    if (curMaxObjOffset >= kMaxControllers)
        error("no more movies allowed");
    listIndex_ = curMaxObjOffset;
    list_[curMaxObjOffset++] = this;

    XtAppContext context = XtWidgetToApplicationContext(parent);
    registerActions(context);
    buildWidgets(parent, name);
    inputId_ = XtAppAddInput(context, eventFD_, reinterpret_cast<XtPointer>(XtInputReadMask),
                             handleMovieEvents, this);
}

MovieController::~MovieController()
{
    if (inputId_)
        XtRemoveInput(inputId_);
    std::free(fileName_);
    if (window_)
        GLXunlink(display_, window_);
    // Closing the movie also lets the engine go of the window.
    if (movie_)
        mvClose(movie_);
    if (fd_ >= 0)
        close(fd_);
    if (popupMenu_)
        XtDestroyWidget(popupMenu_);
    for (int i = listIndex_; i + 1 < curMaxObjOffset; ++i) {
        list_[i] = list_[i + 1];
        list_[i]->listIndex_ = i;
    }
    if (curMaxObjOffset > 0)
        list_[--curMaxObjOffset] = nullptr;
    std::free(glxConfig_);
    if (form_)
        XtDestroyWidget(form_);
}

void MovieController::show()
{
    XtManageChild(form_);
}

void MovieController::error(const char *message)
{
    std::printf("%s\n", message);
    std::fflush(stdout);
    std::exit(1);
}

int MovieController::currentFrame() const
{
    int f = mvGetCurrentFrame(movie_);
    return f < 0 ? 0 : f;
}

void MovieController::callFrameHook(int frame)
{
    if (frameHook_)
        frameHook_(static_cast<unsigned>(frame));
}

void MovieController::moveMarkerTo(int frame)
{
    setTrianglePos(marker::frameToPixel(frame, sliderLength_, frameCount_));
}

void MovieController::startedPlaying()
{
    playing_ = 1;
    setTriangleActive(0);
}

void MovieController::resetIfAtEnd()
{
    if (currentFrame() + 1 == frameCount_)
        mvSetCurrentFrame(movie_, 0);
}

void MovieController::wrapIfAtBeginning()
{
    if (currentFrame() == 0)
        mvSetCurrentFrame(movie_, frameCount_ - 1);
}

void MovieController::play()
{
    if (hasAudio_) {
        // The device follows the movie's sample rate; a device that cannot
        // is no reason to refuse to play.
        ALerrfunc previous = ALseterrorhandler(silentAudioErrors);
        long pairs[2] = {AL_PARAM_OUTPUT_RATE, audioRate_};
        ALsetparams(AL_DEFAULT_DEVICE, pairs, 2);
        ALseterrorhandler(previous);
    }
    mvSetPlaySpeed(movie_, std::fabs(speed_));
    resetIfAtEnd();
    mvPlay(movie_);
    startedPlaying();
}

void MovieController::reversePlay()
{
    mvSetPlaySpeed(movie_, -std::fabs(speed_));
    wrapIfAtBeginning();
    mvPlay(movie_);
    startedPlaying();
}

void MovieController::forwardPlay()
{
    resetIfAtEnd();
    mvSetPlaySpeed(movie_, 2.0);
    mvPlay(movie_);
    startedPlaying();
}

void MovieController::rewind()
{
    mvSetPlaySpeed(movie_, -2.0);
    wrapIfAtBeginning();
    mvPlay(movie_);
    startedPlaying();
}

void MovieController::stop()
{
    mvStop(movie_);
    playing_ = 0;
    moveMarkerTo(currentFrame());
    setTriangleActive(1);
}

void MovieController::reset()
{
    mvStop(movie_);
    playing_ = 0;
    setTriangleActive(1);
    mvSetCurrentFrame(movie_, 0);
    MVevent event;
    while (mvPendingEvents())
        mvNextEvent(&event);
    setTrianglePos(0);
}

void MovieController::frmFwd()
{
    if (playing_) {
        mvStop(movie_);
        playing_ = 0;
        setTriangleActive(1);
    }
    int next = currentFrame() + 1;
    if (next >= frameCount_)
        next = 0;
    mvSetCurrentFrame(movie_, next);
    moveMarkerTo(next);
    callFrameHook(next);
}

void MovieController::frmBack()
{
    if (playing_) {
        mvStop(movie_);
        playing_ = 0;
        setTriangleActive(1);
    }
    // The backward step wraps from the first frame to the last, as the
    // forward step wraps from the last to the first.
    int previous = currentFrame() - 1;
    if (previous < 0)
        previous = frameCount_ > 0 ? frameCount_ - 1 : 0;
    mvSetCurrentFrame(movie_, previous);
    moveMarkerTo(previous);
    callFrameHook(previous);
}

void MovieController::gotoFrame(int n)
{
    mvSetCurrentFrame(movie_, n);
    moveMarkerTo(n);
}

void MovieController::goToEdge(int n)
{
    if (playing_)
        stop();
    gotoFrame(n);
    callFrameHook(n);
}

void MovieController::mute()
{
    muted_ = muted_ ? 0 : 1;
    mvSetEnableAudio(movie_, muted_ ? 0 : 1);
    getCurVol();
    rememberSettings();
}

void MovieController::drawCurrentImage()
{
    mvShowCurrentFrame(movie_);
    if (!playing_) {
        putTriangleUp();
        markerShown_ = 1;
    }
}

void MovieController::handleMovieEvents(XtPointer client, int *, XtInputId *id)
{
    auto *self = static_cast<MovieController *>(client);
    if (*id != self->inputId_)
        return;
    MovieController *target = nullptr;
    bool show = false;
    int frame = 0;
    MVevent event;
    while (mvPendingEvents()) {
        if (mvNextEvent(&event) != 0)
            break;
        target = nullptr;
        for (int i = 0; i < curMaxObjOffset; ++i)
            if (list_[i]->movie_ == event.movie)
                target = list_[i];
        if (!target)
            return;
        if (event.type == MV_EVENT_FRAME) {
            frame = event.frame;
            show = true;
        } else if (event.type == MV_EVENT_STOP) {
            show = true;
            if (target->exitAtStop_)
                std::exit(0);
            target->playing_ = 0;
            target->setTriangleActive(1);
            frame = event.frame;
        }
    }
    if (!show || !target)
        return;
    target->drawCurrentImage();
    // While playing, the fields follow every third frame; they cost more
    // than the picture.
    target->hookCounter_ = target->playing_ ? (target->hookCounter_ + 1) % 3 : 0;
    if (target->hookCounter_ == 0)
        target->callFrameHook(frame);
    target->moveMarkerTo(frame);
}

namespace {

// Says once, when CINELARK_PAINT asks for a painter, which one paints.
void reportPainter()
{
    static bool told = false;
    if (told || !std::getenv("CINELARK_PAINT"))
        return;
    told = true;
    static const char *const kNames[] = {
        "nothing", "OpenGL (GLX)", "X images in shared memory (MIT-SHM)",
        "X images (XPutImage)"};
    const int painter = kglCurrentPainter();
    if (painter >= 0 && painter <= KGL_PAINTER_XIMAGE)
        std::fprintf(stderr, "cinelark: painting with %s\n", kNames[painter]);
}

}  // namespace

void MovieController::gInitCB(Widget w, XtPointer client, XtPointer)
{
    auto *self = static_cast<MovieController *>(client);
    if (self->glReady_)
        return;
    self->glReady_ = 1;
    Window window = XtWindow(w);
    for (GLXconfig *e = self->glxConfig_; e->buffer != 0 || e->mode != 0; ++e)
        if (e->buffer == KGLX_NORMAL && e->mode == KGLX_WINDOW)
            e->arg = window;

    mvGrabKelvoGL();
    if (GLXwinset(self->display_, window) != 0) {
        mvReleaseKelvoGL();
        self->error("winset failed");
    }
    viewport(0, static_cast<short>(self->width_ - 1), 0, static_cast<short>(self->height_ - 1));
    ortho2(-0.5f, self->width_ - 0.5f, -0.5f, self->height_ - 0.5f);
    reportPainter();
    mvReleaseKelvoGL();

    self->window_ = window;
    if (mvBindWindow(self->movie_, self->display_, window) < 0)
        self->error(mvGetErrorStr(mvGetErrno()));
    if (muted_)
        mvSetEnableAudio(self->movie_, 0);  // muted in an earlier movie or run
    mvResizeWindow(self->display_, window);
    mvSetViewSize(self->movie_, self->width_, self->height_);
    XMapWindow(self->display_, window);
    // Keys typed into the movie window go to the picture, clicked or not.
    XmProcessTraversal(w, XmTRAVERSE_CURRENT);
    Widget shell = w;
    while (shell && !XtIsShell(shell))
        shell = XtParent(shell);
    if (shell)
        XtSetKeyboardFocus(shell, w);
    XFlush(self->display_);
    if (self->glInitHook_)
        self->glInitHook_();
}

void MovieController::resizedCB(Widget, XtPointer client, XtPointer callData)
{
    auto *self = static_cast<MovieController *>(client);
    auto *data = static_cast<KGLdrawCallbackStruct *>(callData);
    self->width_ = data->width;
    self->height_ = data->height;
    self->sliderLength_ = self->width_ - 25;
    if (!self->window_)
        return;
    mvResizeWindow(self->display_, self->window_);
    mvSetViewSize(self->movie_, self->width_, self->height_);
    mvGrabKelvoGL();
    if (GLXwinset(self->display_, self->window_) == 0) {
        viewport(0, static_cast<short>(self->width_ - 1), 0,
                 static_cast<short>(self->height_ - 1));
        ortho2(-0.5f, self->width_ - 0.5f, -0.5f, self->height_ - 0.5f);
    }
    mvReleaseKelvoGL();
    self->moveMarkerTo(self->currentFrame());
}

void MovieController::exposedCB(Widget, XtPointer client, XtPointer)
{
    auto *self = static_cast<MovieController *>(client);
    if (!self->window_)
        return;
    if (!self->playing_)
        self->drawCurrentImage();
    if (self->exposeHook_)
        self->exposeHook_(self);
}

void MovieController::resetCB(Widget, XtPointer client, XtPointer)
{
    auto *self = static_cast<MovieController *>(client);
    self->reset();
    self->callFrameHook(self->currentFrame());
}

void MovieController::stopCB(Widget, XtPointer client, XtPointer)
{
    static_cast<MovieController *>(client)->stop();
}

void MovieController::playCB(Widget, XtPointer client, XtPointer)
{
    static_cast<MovieController *>(client)->play();
}
