// The main window and its two text fields: the current frame number and the
// current time as minutes, seconds and thirtieths. The fields follow the
// movie through the controller's frame hook and, when the user types into
// them and presses Return, move the movie.
#include "main_win.h"

#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/MwmUtil.h>
#include <Xm/RowColumn.h>
#include <Xm/TextF.h>

#include <cstdio>
#include <cstdlib>

#include <cinelark/movie.h>

#include "control_win.h"
#include "marker_map.h"
#include "movie_controller.h"
#include "state.h"

namespace {

// Move, minimise and close; no resize, no maximise.
constexpr int kFixedWindowFunctions = MWM_FUNC_MOVE | MWM_FUNC_MINIMIZE | MWM_FUNC_CLOSE;

void writeTime(unsigned int frame)
{
    int h = 0, m = 0, s = 0, f = 0;
    if (!mainWin || !currentMovie)
        return;
    mvFrameToTime(currentMovie->movieId(), frame, 2, &h, &m, &s, &f);
    // Hours are not shown: the minutes carry on past 59.
    char text[64];
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d", m, s, f);
    XmTextFieldSetString(mainWin->timeField(), text);
}

void writeFrame(unsigned int frame)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(frame));
    XmTextFieldSetString(mainWin->frameField(), text);
}

void refreshFrameField()
{
    if (mainWin && currentMovie)
        writeFrame(static_cast<unsigned>(mvGetCurrentFrame(currentMovie->movieId())));
}

void refreshTimeField()
{
    if (mainWin && currentMovie)
        writeTime(static_cast<unsigned>(mvGetCurrentFrame(currentMovie->movieId())));
}

void frameTypeInCB(Widget w, XtPointer, XtPointer)
{
    if (!currentMovie)
        return;
    char *text = XmTextFieldGetString(w);
    if (marker::isWholeNumber(text)) {
        long n = std::strtol(text, nullptr, 10);
        int length = currentMovie->frameCountOf();
        if (n >= length)
            n = length - 1;
        currentMovie->gotoFrame(static_cast<int>(n));
        refreshFrameField();
        refreshTimeField();
    } else {
        refreshFrameField();
    }
    XtFree(text);
}

void timeTypeInCB(Widget w, XtPointer, XtPointer)
{
    if (!currentMovie)
        return;
    char *text = XmTextFieldGetString(w);
    unsigned int frame = 0;
    if (mvStringToFrame(currentMovie->movieId(), text, 2, &frame) == 0) {
        currentMovie->gotoFrame(static_cast<int>(frame));
        refreshFrameField();
    }
    refreshTimeField();
    XtFree(text);
}

}  // namespace

void lockShellSize(Widget w)
{
    Widget shell = w;
    while (shell && !XtIsShell(shell))
        shell = XtParent(shell);
    if (!shell)
        return;
    Dimension width = 0, height = 0;
    XtVaGetValues(shell, XmNwidth, &width, XmNheight, &height, nullptr);
    XtVaSetValues(shell, XmNminWidth, width, XmNmaxWidth, width, XmNminHeight, height,
                  XmNmaxHeight, height, XmNallowShellResize, False, nullptr);
}

MainWin::MainWin(const char *name) : WbWindow(name) {}

MainWin::~MainWin()
{
    std::exit(0);
}

void MainWin::handleWmDeleteMessage()
{
    theCinelark->quit();
}

Widget MainWin::setUpInterface(Widget parent)
{
    Widget form = XmCreateForm(parent, const_cast<char *>("baseForm"), nullptr, 0);
    Widget rc = XtVaCreateManagedWidget("textRC", xmRowColumnWidgetClass, form, XmNorientation,
                                        XmHORIZONTAL, XmNtopAttachment, XmATTACH_FORM,
                                        XmNleftAttachment, XmATTACH_FORM, nullptr);
    frames_ = XtVaCreateManagedWidget("frames", xmTextFieldWidgetClass, rc, XmNcolumns, 9,
                                      nullptr);
    XmString s = XmStringCreateLocalized(const_cast<char *>(resourceText("frameMainWindow", "Frame")));
    XtVaCreateManagedWidget("frameLabel", xmLabelWidgetClass, rc, XmNlabelString, s, nullptr);
    XmStringFree(s);
    time_ = XtVaCreateManagedWidget("time", xmTextFieldWidgetClass, rc, XmNcolumns, 8, nullptr);
    s = XmStringCreateLocalized(const_cast<char *>(resourceText("timeMainWindow", "Time")));
    XtVaCreateManagedWidget("timeLabel", xmLabelWidgetClass, rc, XmNlabelString, s, nullptr);
    XmStringFree(s);

    controller_ = new ControlWin("controller", form);
    XtVaSetValues(controller_->baseWidget(), XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, rc,
                  XmNleftAttachment, XmATTACH_FORM, nullptr);
    controller_->show();

    Widget shell = XtParent(mainWindowWidget());
    XtVaSetValues(shell, XmNmwmFunctions, kFixedWindowFunctions, nullptr);
    XtManageChild(form);
    return form;
}

void MainWin::afterRealizeHook()
{
    lockShellSize(baseWidget());
}

void MainWin::addFieldCallbacks()
{
    XtAddCallback(frames_, XmNactivateCallback, frameTypeInCB, nullptr);
    XtAddCallback(time_, XmNactivateCallback, timeTypeInCB, nullptr);
}

void initTextFields()
{
    if (!mainWin || !mainWin->frameField())
        return;
    if (currentMovie) {
        refreshFrameField();
        refreshTimeField();
        XmTextFieldSetEditable(mainWin->frameField(), True);
        XmTextFieldSetEditable(mainWin->timeField(), True);
    } else {
        XmTextFieldSetString(mainWin->frameField(), const_cast<char *>(""));
        XmTextFieldSetString(mainWin->timeField(), const_cast<char *>(""));
        XmTextFieldSetEditable(mainWin->frameField(), False);
        XmTextFieldSetEditable(mainWin->timeField(), False);
    }
}

void frameCallbackFunc(unsigned int frame)
{
    if (viewOnlyFlag || !mainWin || !mainWin->frameField())
        return;
    writeFrame(frame);
    writeTime(frame);
}

void exposeCBFunc(MovieController *controller)
{
    if (!(viewOnlyFlag && autoStartFlag))
        return;
    autoStartFlag = 0;
    MVid movie = controller->movieId();
    if (playMode == 1 || playMode == 2) {
        mvSetPlayLoopMode(movie, playMode);
        mvSetPlayLoopLimit(movie, loopNCount);
    }
    controller->play();
}
