// WbApp: display, event loop, quitting and busy states.
#include "wb/app.h"

#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <X11/cursorfont.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "wb/window.h"

namespace {
WbApp *theApp = nullptr;
constexpr int kOpenAttempts = 10;
constexpr auto kOpenPause = std::chrono::milliseconds(20);

// The value after option (or after an abbreviation of it at least
// minLength long) in the arguments, or "".
std::string optionValue(int argc, char **argv, const char *option, size_t minLength)
{
    const std::string full = option;
    for (int i = 1; argv && i + 1 < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg.size() >= minLength && full.compare(0, arg.size(), arg) == 0)
            return argv[i + 1] ? argv[i + 1] : "";
    }
    return "";
}
}

WbApp *WbApp::instance()
{
    return theApp;
}

WbApp::WbApp(const char *appClass, int *argc, char **argv, XrmOptionDescRec *options,
             Cardinal numOptions, const char *const *fallbackResources)
    : class_(appClass ? appClass : "")
{
    theApp = this;
    // The playback engine paints from its own threads; Xlib must know
    // before the first connection opens. It is harmless when main did it.
    XInitThreads();
    XtToolkitInitialize();
    context_ = XtCreateApplicationContext();
    if (fallbackResources)
        XtAppSetFallbackResources(context_, const_cast<String *>(fallbackResources));
    // The display and the instance name are found in the arguments first,
    // as the toolkit would, so that the connection can be opened here: a
    // busy server may turn a connection away for a moment when its queue of
    // new clients is full, which is retried for up to a fifth of a second
    // (kOpenAttempts x kOpenPause) before the display counts as unreachable.
    // The toolkit then reads its options (and removes them) from the
    // arguments as usual.
    const int count = argc ? *argc : 0;
    const std::string displayName = optionValue(count, argv, "-display", 2);
    for (int attempt = 1; attempt <= kOpenAttempts && !display_; ++attempt) {
        if (attempt > 1)
            std::this_thread::sleep_for(kOpenPause);
        display_ = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    }
    if (!display_) {
        std::fprintf(stderr, "%s: cannot open the X display\n",
                     argv && argv[0] ? argv[0] : class_.c_str());
        return;
    }
    std::string instance = optionValue(count, argv, "-name", 5);
    if (instance.empty() && std::getenv("RESOURCE_NAME"))
        instance = std::getenv("RESOURCE_NAME");
    if (instance.empty() && count > 0 && argv && argv[0] && *argv[0]) {
        instance = argv[0];
        instance.erase(0, instance.find_last_of('/') + 1);
    }
    if (instance.empty())
        instance = class_;
    int ignored = 0;
    XtDisplayInitialize(context_, display_, instance.c_str(), class_.c_str(), options,
                        numOptions, argc ? argc : &ignored, argv);
    String appName = nullptr, appClassName = nullptr;
    XtGetApplicationNameAndClass(display_, &appName, &appClassName);
    name_ = appName ? appName : class_;

    // A shell that is realized but never mapped: the parent of dialogs and
    // the widget that application-wide resources are read through.
    Arg args[4];
    Cardinal n = 0;
    XtSetArg(args[n], XmNmappedWhenManaged, False); ++n;
    XtSetArg(args[n], XmNwidth, 1); ++n;
    XtSetArg(args[n], XmNheight, 1); ++n;
    shell_ = XtAppCreateShell(name_.c_str(), class_.c_str(), applicationShellWidgetClass,
                              display_, args, n);
    XtRealizeWidget(shell_);
}

WbApp::~WbApp()
{
    if (theApp == this)
        theApp = nullptr;
    // Windows and dialogs belong to the application and are deleted by it;
    // the connection stays open for them until the process ends.
}

void WbApp::run()
{
    if (!context_ || !display_)
        return;
    quitRequested_ = false;
    while (!quitRequested_)
        XtAppProcessEvent(context_, XtIMAll);
}

bool WbApp::quit()
{
    for (WbSimpleWindow *w : windows_)
        if (!w->okToQuit())
            return false;
    quitRequested_ = true;
    return true;
}

void WbApp::busy(const char *message)
{
    if (!display_)
        return;
    if (busyDepth_++ == 0) {
        if (!busyCursor_)
            busyCursor_ = XCreateFontCursor(display_, XC_watch);
        for (WbSimpleWindow *w : windows_)
            w->busy();
    }
    if (message) {
        if (!busyDialog_) {
            busyDialog_ = XmCreateWorkingDialog(shell_, const_cast<char *>("busyDialog"),
                                                nullptr, 0);
            std::string title = class_ + " Busy";
            XtVaSetValues(XtParent(busyDialog_), XmNtitle, title.c_str(), nullptr);
            XtUnmanageChild(XmMessageBoxGetChild(busyDialog_, XmDIALOG_OK_BUTTON));
            XtUnmanageChild(XmMessageBoxGetChild(busyDialog_, XmDIALOG_CANCEL_BUTTON));
            XtUnmanageChild(XmMessageBoxGetChild(busyDialog_, XmDIALOG_HELP_BUTTON));
        }
        XmString text = XmStringCreateLocalized(const_cast<char *>(message));
        XtVaSetValues(busyDialog_, XmNmessageString, text, nullptr);
        XmStringFree(text);
        XtManageChild(busyDialog_);
    }
    // The caller is about to block the event loop: show the state now.
    XmUpdateDisplay(shell_);
    XFlush(display_);
}

void WbApp::notBusy()
{
    if (busyDepth_ == 0 || --busyDepth_ > 0)
        return;
    for (WbSimpleWindow *w : windows_)
        w->notBusy();
    if (busyDialog_)
        XtUnmanageChild(busyDialog_);
    XFlush(display_);
}

void WbApp::registerWindow(WbSimpleWindow *window)
{
    windows_.push_back(window);
}

void WbApp::unregisterWindow(WbSimpleWindow *window)
{
    std::erase(windows_, window);
}
