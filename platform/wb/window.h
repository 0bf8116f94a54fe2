// Top-level windows: WbSimpleWindow (a Motif main window in its own shell)
// and WbWindow (the same with a menu bar above the view).
//
// The shell is the window's base widget and exists from construction, as
// does the main window inside it. The contents are built by the subclass's
// setUpInterface the first time the window is shown. The window manager's
// close request arrives at handleWmDeleteMessage; the framework never lets
// the shell be destroyed behind the application's back.
#ifndef CINELARK_WB_WINDOW_H
#define CINELARK_WB_WINDOW_H

#include <memory>

#include "wb/component.h"

class WbMenuBar;

class WbSimpleWindow : public WbComponent {
public:
    explicit WbSimpleWindow(const char *name);
    ~WbSimpleWindow() override;

    // The first show builds the contents (setUpInterface), realizes the
    // shell and runs the realize hooks; every show maps the window.
    void show() override;
    void hide() override;
    void raise();
    void setTitle(const char *title);

    Widget mainWindowWidget() const { return mainWindow_; }
    Widget viewWidget() const { return view_; }
    bool isShown() const { return shown_; }

    // A watch cursor over the window, until notBusy.
    void busy();
    void notBusy();

    const char *className() override;

protected:
    // Builds the window's contents under parent and returns the widget that
    // fills the window (managed by the framework if it is not yet).
    virtual Widget setUpInterface(Widget parent) = 0;
    // The window manager asks to close the window. By default the window is
    // hidden, and the application quits once no window is left showing.
    virtual void handleWmDeleteMessage();
    // A desktop asks the whole application to end (protocol message
    // "_WB_QUIT_APP"). By default the application quits.
    virtual void handleWmQuitMessage();

    // Puts the menu bar (when one is set) and the view into the main window.
    void layOut();
    Widget menuBarWidget_ = nullptr;

private:
    static void deleteCB(Widget, XtPointer client, XtPointer);
    static void quitCB(Widget, XtPointer client, XtPointer);

    Widget mainWindow_ = nullptr;
    Widget view_ = nullptr;
    bool built_ = false;
    bool shown_ = false;
};

class WbWindow : public WbSimpleWindow {
public:
    explicit WbWindow(const char *name);
    ~WbWindow() override;

    // Installs the menu bar, which must have been made as a child of
    // mainWindowWidget(). The window owns it from then on.
    void setMenuBar(WbMenuBar *bar);
    WbMenuBar *menu() const { return menuBar_.get(); }

    const char *className() override;

private:
    std::unique_ptr<WbMenuBar> menuBar_;
};

#endif
