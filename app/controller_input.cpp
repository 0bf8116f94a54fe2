// The movie controller's mouse and keys. Each action finds its controller
// through the drawing area's user data.
//
// A click on the picture toggles play and stop. Button 1 pressed near the
// marker and moved at least 6 pixels sideways drags the marker and scrubs
// the movie; the release settles on the marker's frame. Button 2 shows the
// volume slider under the pointer while it is held; moving up raises the
// volume.
#include <Xm/Xm.h>

#include <cstdlib>

#include "marker_map.h"
#include "movie_controller.h"

namespace {

// A drag starts only after this many pixels of sideways movement, so that a
// shaky click still counts as a click.
constexpr int kDragThreshold = 6;
// The band around the marker that a drag may start in, and its height.
constexpr int kBandLeft = 10;
constexpr int kBandRight = 40;
constexpr int kBandHeight = 25;

}  // namespace

MovieController *MovieController::of(Widget w)
{
    XtPointer data = nullptr;
    XtVaGetValues(w, XmNuserData, &data, nullptr);
    return static_cast<MovieController *>(data);
}

void MovieController::registerActions(XtAppContext context)
{
    static XtActionsRec actions[] = {
        {const_cast<char *>("ActivateButton1Down"), button1Down},
        {const_cast<char *>("ActivateMouseMoved"), mouseMoved},
        {const_cast<char *>("ActivateButton1Up"), button1Up},
        {const_cast<char *>("ActivateButton2Down"), button2Down},
        {const_cast<char *>("ActivateButton2Up"), button2Up},
        {const_cast<char *>("ActivateLeft"), keyLeft},
        {const_cast<char *>("ActivateRight"), keyRight},
        {const_cast<char *>("ActivateM"), keyM},
        {const_cast<char *>("ActivateP"), keyP},
        {const_cast<char *>("ActivateS"), keyS},
        {const_cast<char *>("ActivateR"), keyR},
        {const_cast<char *>("ActivateSpace"), keySpace},
        {const_cast<char *>("ActivateHome"), keyHome},
        {const_cast<char *>("ActivateEnd"), keyEnd},
        {const_cast<char *>("ActivateZoomUp"), keyZoomUp},
        {const_cast<char *>("ActivateZoomDown"), keyZoomDown},
    };
    XtAppAddActions(context, actions, XtNumber(actions));
}

void MovieController::button1Down(Widget w, XEvent *event, String *, Cardinal *)
{
    MovieController *self = of(w);
    if (!self || event->type != ButtonPress)
        return;
    // Typing goes to the picture once it has been clicked.
    XmProcessTraversal(w, XmTRAVERSE_CURRENT);
    XSetInputFocus(XtDisplay(w), XtWindow(w), RevertToParent, CurrentTime);
    self->button1Down_ = 1;
    self->pressX_ = event->xbutton.x;
    self->callFrameHook(self->currentFrame());
}

void MovieController::mouseMoved(Widget w, XEvent *event, String *, Cardinal *)
{
    MovieController *self = of(w);
    if (!self || event->type != MotionNotify)
        return;
    int x = event->xmotion.x;
    int y = event->xmotion.y;
    if (self->volumeDragging_) {
        self->setCurVolume(self->volume_ + self->pressY_ - y);
        return;
    }
    bool inBand = x >= self->markerX_ - kBandLeft && x <= self->markerX_ + kBandRight &&
                  y >= self->height_ - kBandHeight;
    if (!self->dragging_) {
        if (!inBand || !self->button1Down_ || std::abs(x - self->pressX_) < kDragThreshold)
            return;
    }
    self->dragging_ = 1;
    int f = marker::pixelToFrame(x, self->sliderLength_, self->frameCount_);
    self->moveMarkerTo(f);
    mvScrubCurrentFrame(self->movie_, f);
}

void MovieController::button1Up(Widget w, XEvent *, String *, Cardinal *)
{
    MovieController *self = of(w);
    if (!self)
        return;
    if (self->dragging_) {
        int f = marker::pixelToFrame(self->markerX_, self->sliderLength_, self->frameCount_);
        mvSetCurrentFrame(self->movie_, f);
        self->callFrameHook(f);
    } else if (self->playing_) {
        self->stop();
    } else {
        mvSetPlaySpeed(self->movie_, 1.0);
        self->play();
    }
    self->dragging_ = 0;
    self->button1Down_ = 0;
}

void MovieController::button2Down(Widget w, XEvent *event, String *, Cardinal *)
{
    MovieController *self = of(w);
    if (!self || event->type != ButtonPress)
        return;
    self->volume_ = getCurVolume();
    self->volumeDragging_ = 1;
    self->pressY_ = event->xbutton.y;
    // The thumb lands under the pointer.
    XtVaSetValues(self->volumeShell_, XmNx, event->xbutton.x_root - 15, XmNy,
                  event->xbutton.y_root + self->volume_ - 100, nullptr);
    XtVaSetValues(self->volumeScrollBar_, XmNvalue, 100 - self->volume_, nullptr);
    XtManageChild(self->volumeScrollBar_);
    XtRealizeWidget(self->volumeShell_);
    XMapRaised(XtDisplay(self->volumeShell_), XtWindow(self->volumeShell_));
}

void MovieController::button2Up(Widget w, XEvent *, String *, Cardinal *)
{
    MovieController *self = of(w);
    if (!self)
        return;
    self->volumeDragging_ = 0;
    self->volume_ = getCurVolume();
    rememberSettings();
    if (XtIsRealized(self->volumeShell_))
        XUnmapWindow(XtDisplay(self->volumeShell_), XtWindow(self->volumeShell_));
}

void MovieController::keyLeft(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w)) {
        self->frmBack();
        self->callFrameHook(self->currentFrame());
    }
}

void MovieController::keyRight(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w)) {
        self->frmFwd();
        self->callFrameHook(self->currentFrame());
    }
}

void MovieController::keyM(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w))
        self->mute();
}

void MovieController::keyP(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w))
        self->play();
}

void MovieController::keyS(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w))
        self->stop();
}

void MovieController::keyR(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w))
        self->rewind();
}

void MovieController::keySpace(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w)) {
        if (self->playing_)
            self->stop();
        else
            self->play();
    }
}

void MovieController::keyHome(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w))
        self->goToEdge(0);
}

void MovieController::keyEnd(Widget w, XEvent *, String *, Cardinal *)
{
    if (MovieController *self = of(w))
        self->goToEdge(self->frameCount_ > 0 ? self->frameCount_ - 1 : 0);
}

void MovieController::keyZoomUp(Widget w, XEvent *, String *, Cardinal *)
{
    MovieController *self = of(w);
    if (self && self->zoomUpHook_)
        self->zoomUpHook_();
}

void MovieController::keyZoomDown(Widget w, XEvent *, String *, Cardinal *)
{
    MovieController *self = of(w);
    if (self && self->zoomDownHook_)
        self->zoomDownHook_();
}
