// The movie window: its controller, its place on the screen from -S (or
// 500,500 for -l and -W, measured from the screen's bottom-left corner), its
// decorations, and what the window manager's close does in each mode.
#include "movie_win.h"

#include <Xm/MwmUtil.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>

#include "main_win.h"
#include "movie_controller.h"
#include "state.h"

namespace {

constexpr int kFixedWindowFunctions = MWM_FUNC_MOVE | MWM_FUNC_MINIMIZE | MWM_FUNC_CLOSE;
constexpr int kGeometrySize = 20;

Widget shellOf(Widget w)
{
    while (w && !XtIsShell(w))
        w = XtParent(w);
    return w;
}

}  // namespace

MovieWin::MovieWin(const char *name) : WbSimpleWindow(name) {}

MovieWin::~MovieWin()
{
    forgetMovie();
    if (movieWin == this)
        movieWin = nullptr;
}

void MovieWin::forgetMovie()
{
    if (currentMovie) {
        delete currentMovie;
        currentMovie = nullptr;
    }
    zoom = 1;
    curMovieFile[0] = '\0';
    if (geometry_) {
        XtFree(geometry_);
        geometry_ = nullptr;
    }
}

Widget MovieWin::setUpInterface(Widget parent)
{
    if (!viewOnlyFlag)
        initTextFields();
    currentMovie = new MovieController(parent, "movie", curMovieFile, zoom, autoStartFlag);
    currentMovie->setFrameHook(frameCallbackFunc);
    currentMovie->setExposeHook(exposeCBFunc);
    currentMovie->setZoomHooks(zoomUpFunc, zoomDownFunc);
    currentMovie->show();

    Widget shell = shellOf(parent);
    if (sX != -1 && sY != -1) {
        geometry_ = XtMalloc(kGeometrySize);
        if (!geometry_) {
            getTheErrorDialog()->postModal("Out of memory.\nPlease quit this application.");
        } else {
            Display *dpy = XtDisplay(parent);
            int screenHeight = DisplayHeight(dpy, DefaultScreen(dpy));
            std::snprintf(geometry_, kGeometrySize, "=+%d+%d", sX,
                          screenHeight - sY - currentMovie->zoomedHeight());
            XtVaSetValues(shell, XmNgeometry, geometry_, nullptr);
        }
    }
    if (borderFlag)
        XtVaSetValues(shell, XmNmwmDecorations, 0, nullptr);
    else
        XtVaSetValues(shell, XmNmwmFunctions, kFixedWindowFunctions, nullptr);
    return currentMovie->formWidget();
}

void MovieWin::afterRealizeHook()
{
    lockShellSize(baseWidget());
}

void MovieWin::handleWmDeleteMessage()
{
    if (viewOnlyFlag)
        std::exit(0);
    forgetMovie();
    initTextFields();
    WbSimpleWindow::handleWmDeleteMessage();
}

FileWin::FileWin(const char *name, XtCallbackProc callback)
    : WbFileSelectionDialog(name), callback_(callback)
{
}

void FileWin::ok(Widget w, XtPointer callData)
{
    WbFileSelectionDialog::ok(w, callData);
    if (callback_)
        callback_(nullptr, nullptr, nullptr);
}
