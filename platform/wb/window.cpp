// WbSimpleWindow and WbWindow.
#include "wb/window.h"

#include <Xm/MainW.h>
#include <Xm/Protocols.h>
#include <Xm/Xm.h>
#include <X11/Shell.h>

#include "wb/app.h"
#include "wb/menu.h"

WbSimpleWindow::WbSimpleWindow(const char *name) : WbComponent(name)
{
    WbApp *app = WbApp::instance();
    if (!app || !app->isOpen())
        return;
    Arg args[2];
    Cardinal n = 0;
    // Closing is the application's decision, taken in handleWmDeleteMessage.
    XtSetArg(args[n], XmNdeleteResponse, XmDO_NOTHING); ++n;
    _w = XtCreatePopupShell(name, topLevelShellWidgetClass, app->baseWidget(), args, n);
    installDestroyHandler();
    mainWindow_ = XmCreateMainWindow(_w, const_cast<char *>("mainWindow"), nullptr, 0);

    Display *d = XtDisplay(_w);
    Atom deleteWindow = XmInternAtom(d, const_cast<char *>("WM_DELETE_WINDOW"), False);
    Atom quitApp = XmInternAtom(d, const_cast<char *>("_WB_QUIT_APP"), False);
    XmAddWMProtocolCallback(_w, deleteWindow, deleteCB, this);
    XmAddWMProtocolCallback(_w, quitApp, quitCB, this);
    app->registerWindow(this);
}

WbSimpleWindow::~WbSimpleWindow()
{
    if (WbApp *app = WbApp::instance())
        app->unregisterWindow(this);
    // The shell (base widget) and everything in it go with the base class.
}

void WbSimpleWindow::layOut()
{
    if (mainWindow_)
        XmMainWindowSetAreas(mainWindow_, menuBarWidget_, nullptr, nullptr, nullptr, view_);
}

void WbSimpleWindow::show()
{
    if (!_w)
        return;
    if (!built_) {
        built_ = true;
        view_ = setUpInterface(mainWindow_);
        if (view_ && !XtIsManaged(view_))
            XtManageChild(view_);
        layOut();
        XtManageChild(mainWindow_);
    }
    XtPopup(_w, XtGrabNone);
    shown_ = true;
    runRealizeHooks();
}

void WbSimpleWindow::hide()
{
    if (_w && shown_)
        XtPopdown(_w);
    shown_ = false;
}

void WbSimpleWindow::raise()
{
    if (_w && XtIsRealized(_w))
        XRaiseWindow(XtDisplay(_w), XtWindow(_w));
}

void WbSimpleWindow::setTitle(const char *title)
{
    if (_w && title)
        XtVaSetValues(_w, XmNtitle, title, XmNiconName, title, nullptr);
}

void WbSimpleWindow::busy()
{
    WbApp *app = WbApp::instance();
    if (_w && XtIsRealized(_w) && app && app->busyCursor())
        XDefineCursor(XtDisplay(_w), XtWindow(_w), app->busyCursor());
}

void WbSimpleWindow::notBusy()
{
    if (_w && XtIsRealized(_w))
        XUndefineCursor(XtDisplay(_w), XtWindow(_w));
}

const char *WbSimpleWindow::className()
{
    return "WbSimpleWindow";
}

void WbSimpleWindow::handleWmDeleteMessage()
{
    hide();
    WbApp *app = WbApp::instance();
    if (!app)
        return;
    for (WbSimpleWindow *w : app->windows())
        if (w->isShown())
            return;
    app->quit();
}

void WbSimpleWindow::handleWmQuitMessage()
{
    if (WbApp *app = WbApp::instance())
        app->quit();
}

void WbSimpleWindow::deleteCB(Widget, XtPointer client, XtPointer)
{
    static_cast<WbSimpleWindow *>(client)->handleWmDeleteMessage();
}

void WbSimpleWindow::quitCB(Widget, XtPointer client, XtPointer)
{
    static_cast<WbSimpleWindow *>(client)->handleWmQuitMessage();
}

WbWindow::WbWindow(const char *name) : WbSimpleWindow(name) {}

WbWindow::~WbWindow() = default;

void WbWindow::setMenuBar(WbMenuBar *bar)
{
    menuBar_.reset(bar);
    menuBarWidget_ = bar ? bar->baseWidget() : nullptr;
    if (menuBarWidget_)
        XtManageChild(menuBarWidget_);
    layOut();
}

const char *WbWindow::className()
{
    return "WbWindow";
}
