// WbApp: the application object. One per process, created first in main.
//
// It opens the display, removing the X toolkit's own options from the
// argument vector, holds the application context and a hidden shell that
// dialogs are parented to, runs the event loop, and keeps the list of the
// application's windows for quitting and for busy states. The application
// gives its class name and its fallback resources; the framework has none.
#ifndef CINELARK_WB_APP_H
#define CINELARK_WB_APP_H

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

class WbSimpleWindow;

class WbApp {
public:
    // appClass names the application's resources; argc and argv lose the
    // toolkit options they held (-display, -xrm, -geometry ...). options
    // lists the application's own option table (may be null, 0).
    // fallbackResources, ending with a null entry, are used when no
    // application defaults file is installed.
    WbApp(const char *appClass, int *argc, char **argv, XrmOptionDescRec *options,
          Cardinal numOptions, const char *const *fallbackResources = nullptr);
    virtual ~WbApp();
    WbApp(const WbApp &) = delete;
    WbApp &operator=(const WbApp &) = delete;

    // The application object, or null before it exists.
    static WbApp *instance();

    // False when the display could not be opened (a message went to
    // standard error); nothing else may then be used.
    bool isOpen() const { return display_ != nullptr; }
    Display *display() const { return display_; }
    XtAppContext appContext() const { return context_; }
    Widget baseWidget() const { return shell_; }
    const char *applicationName() const { return name_.c_str(); }
    const char *applicationClass() const { return class_.c_str(); }

    // Runs the event loop; returns once quit() has succeeded.
    virtual void run();
    // Ends the loop unless a window's okToQuit refuses. Returns whether it
    // will end.
    virtual bool quit();

    // Busy state: a watch cursor on every window and, when given, the text
    // in a working dialog, until the matching notBusy. Calls nest.
    void busy(const char *message = nullptr);
    void notBusy();
    bool isBusy() const { return busyDepth_ > 0; }
    Widget busyDialog() const { return busyDialog_; }
    Cursor busyCursor() const { return busyCursor_; }

    const std::vector<WbSimpleWindow *> &windows() const { return windows_; }

private:
    friend class WbSimpleWindow;
    void registerWindow(WbSimpleWindow *window);
    void unregisterWindow(WbSimpleWindow *window);

    XtAppContext context_ = nullptr;
    Display *display_ = nullptr;
    Widget shell_ = nullptr;
    Widget busyDialog_ = nullptr;
    int busyDepth_ = 0;
    Cursor busyCursor_ = 0;
    bool quitRequested_ = false;
    std::string name_, class_;
    std::vector<WbSimpleWindow *> windows_;
};

#endif
