// The movie controller's widgets: the form, the GL drawing area with its key
// and mouse translations, the volume slider's shell and the pop-up menu,
// whose buttons get bitmap labels the first time the menu is shown.
#include <Xm/DialogS.h>
#include <Xm/Form.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/ScrollBar.h>

#include <cstdint>

#include "movie_controller.h"

namespace {

// Keys and buttons of the picture. Control bindings come first: Xt takes
// the first line that matches. osfLeft, osfRight, osfBeginLine and
// osfEndLine are Motif's virtual keys, bound to the arrow keys and to Home
// and End by its default key bindings; Home and End are named as well for
// key bindings that leave them alone.
const char kTranslations[] =
    "Ctrl<Key>d: ActivateZoomDown()\n"
    "Ctrl<Key>z: ActivateZoomUp()\n"
    "<Btn1Down>: ActivateButton1Down()\n"
    "<Btn1Up>: ActivateButton1Up()\n"
    "<Btn2Down>: ActivateButton2Down()\n"
    "<Btn2Up>: ActivateButton2Up()\n"
    "<Motion>: ActivateMouseMoved()\n"
    "<Key>osfLeft: ActivateLeft()\n"
    "<Key>osfRight: ActivateRight()\n"
    "<Key>less: ActivateLeft()\n"
    "<Key>greater: ActivateRight()\n"
    "<Key>osfBeginLine: ActivateHome()\n"
    "<Key>osfEndLine: ActivateEnd()\n"
    "<Key>Home: ActivateHome()\n"
    "<Key>End: ActivateEnd()\n"
    "<Key>space: ActivateSpace()\n"
    "<Key>m: ActivateM()\n"
    "<Key>p: ActivateP()\n"
    "<Key>s: ActivateS()\n"
    "<Key>r: ActivateR()\n";

// The pop-up buttons' pictures: 30 x 12 one-bit bitmaps, rows of 4 bytes,
// the least significant bit the leftmost pixel.
const unsigned char kResetBits[48] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xe0, 0xc0, 0xc0, 0x00, 0xe0, 0xf0, 0xf0, 0x00,
    0xe0, 0xfc, 0xfc, 0x00, 0xe0, 0xff, 0xff, 0x00, 0xe0, 0xff, 0xff, 0x00, 0xe0, 0xfc, 0xfc, 0x00,
    0xe0, 0xf0, 0xf0, 0x00, 0xe0, 0xc0, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const unsigned char kPlayBits[48] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x78, 0x00, 0x00,
    0x00, 0xf8, 0x01, 0x00, 0x00, 0xf8, 0x07, 0x00, 0x00, 0xf8, 0x07, 0x00, 0x00, 0xf8, 0x01, 0x00,
    0x00, 0x78, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const unsigned char kStopBits[48] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf8, 0x07, 0x00, 0x00, 0xf8, 0x07, 0x00,
    0x00, 0xf8, 0x07, 0x00, 0x00, 0xf8, 0x07, 0x00, 0x00, 0xf8, 0x07, 0x00, 0x00, 0xf8, 0x07, 0x00,
    0x00, 0xf8, 0x07, 0x00, 0x00, 0xf8, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

}  // namespace

void MovieController::buildWidgets(Widget parent, const char *name)
{
    Pixel background = 0;
    XtVaGetValues(parent, XmNbackground, &background, nullptr);
    form_ = XtVaCreateWidget(name, xmFormWidgetClass, parent, XmNbackground, background,
                             XmNborderWidth, 1, XmNborderColor, 0, XmNwidth, width_, XmNheight,
                             height_, XmNmarginWidth, 0, XmNmarginHeight, 0, XmNhorizontalSpacing,
                             0, XmNverticalSpacing, 0, XmNshadowThickness, 0, nullptr);

    Arg args[16];
    Cardinal n = 0;
    XtSetArg(args[n], XmNtopAttachment, XmATTACH_FORM); ++n;
    XtSetArg(args[n], XmNbottomAttachment, XmATTACH_FORM); ++n;
    XtSetArg(args[n], XmNleftAttachment, XmATTACH_FORM); ++n;
    XtSetArg(args[n], XmNrightAttachment, XmATTACH_FORM); ++n;
    XtSetArg(args[n], XmNx, 0); ++n;
    XtSetArg(args[n], XmNy, 0); ++n;
    XtSetArg(args[n], XmNborderWidth, 0); ++n;
    XtSetArg(args[n], XmNwidth, width_); ++n;
    XtSetArg(args[n], XmNheight, height_); ++n;
    XtSetArg(args[n], XmNuserData, this); ++n;
    // Keys typed into the movie window go to the picture. Traversal is on
    // from the start: turning it on later would lay Motif's own arrow-key
    // bindings over the ones below.
    XtSetArg(args[n], XmNtraversalOn, True); ++n;
    drawingArea_ = kglCreateMDraw(form_, "movieDraw", glxConfig_, args, n);
    if (!drawingArea_)
        error("Coult not glxgetconfig");
    XtManageChild(drawingArea_);
    XtOverrideTranslations(drawingArea_, XtParseTranslationTable(kTranslations));
    XtAddCallback(drawingArea_, KGL_NexposeCallback, exposedCB, this);
    XtAddCallback(drawingArea_, KGL_NginitCallback, gInitCB, this);
    XtAddCallback(drawingArea_, KGL_NresizeCallback, resizedCB, this);

    volumeShell_ = XtVaCreatePopupShell("volShell", xmDialogShellWidgetClass, form_, XmNx, 100,
                                        XmNy, 100, XmNoverrideRedirect, True, XmNsaveUnder, True,
                                        XmNmappedWhenManaged, False, XmNallowShellResize, True,
                                        nullptr);
    volumeScrollBar_ = XtVaCreateWidget("volSB", xmScrollBarWidgetClass, volumeShell_,
                                        XmNheight, 100, XmNminimum, 0, XmNmaximum, 110,
                                        XmNsliderSize, 10, XmNorientation, XmVERTICAL, nullptr);

    popupMenu_ = XmCreatePopupMenu(form_, const_cast<char *>("popup"), nullptr, 0);
    resetButton_ = XtVaCreateManagedWidget("Reset", xmPushButtonWidgetClass, popupMenu_, nullptr);
    stopButton_ = XtVaCreateManagedWidget("Stop", xmPushButtonWidgetClass, popupMenu_, nullptr);
    playButton_ = XtVaCreateManagedWidget("Play", xmPushButtonWidgetClass, popupMenu_, nullptr);
    XtAddCallback(resetButton_, XmNactivateCallback, resetCB, this);
    XtAddCallback(stopButton_, XmNactivateCallback, stopCB, this);
    XtAddCallback(playButton_, XmNactivateCallback, playCB, this);
    XtAddEventHandler(form_, ButtonPressMask, False, postIt, this);
    XtAddEventHandler(drawingArea_, ButtonPressMask, False, postIt, this);
    XtAddEventHandler(playButton_, StructureNotifyMask, False, makeVolume, this);
}

void MovieController::postIt(Widget, XtPointer client, XEvent *event, Boolean *)
{
    auto *self = static_cast<MovieController *>(client);
    if (event->type != ButtonPress || event->xbutton.button != Button3)
        return;
    XmMenuPosition(self->popupMenu_, &event->xbutton);
    XtManageChild(self->popupMenu_);
}

void MovieController::makeVolume(Widget w, XtPointer client, XEvent *, Boolean *)
{
    auto *self = static_cast<MovieController *>(client);
    if (!XtIsRealized(w))
        return;
    Display *dpy = XtDisplay(w);
    Screen *screen = XtScreen(w);
    Pixel background = 0;
    XtVaGetValues(self->playButton_, XmNbackground, &background, nullptr);
    const struct {
        Widget button;
        const unsigned char *bits;
    } labels[] = {{self->resetButton_, kResetBits},
                  {self->stopButton_, kStopBits},
                  {self->playButton_, kPlayBits}};
    for (const auto &l : labels) {
        Pixmap p = XCreatePixmapFromBitmapData(
            dpy, RootWindowOfScreen(screen), reinterpret_cast<char *>(const_cast<unsigned char *>(l.bits)),
            30, 12, 0, background, DefaultDepthOfScreen(screen));
        if (!p)
            self->error("Error: Could not create Pixmap");
        XtVaSetValues(l.button, XmNlabelType, XmPIXMAP, XmNlabelPixmap, p, nullptr);
    }
    XtRemoveEventHandler(w, StructureNotifyMask, False, makeVolume, client);
}
