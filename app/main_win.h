// The main window: the menu bar, the frame-number and time fields, and the
// button panel that drives the movie on screen.
#ifndef CINELARK_APP_MAIN_WIN_H
#define CINELARK_APP_MAIN_WIN_H

#include "wb/wb.h"

class ControlWin;

class MainWin : public WbWindow {
public:
    explicit MainWin(const char *name);
    // The main window's end is the program's end.
    ~MainWin() override;

    // Return in either field moves the movie there.
    void addFieldCallbacks();

    Widget frameField() const { return frames_; }
    Widget timeField() const { return time_; }

    void afterRealizeHook() override;

protected:
    Widget setUpInterface(Widget parent) override;
    // Closing the main window from the window manager quits, as File > Quit
    // does, even while the movie window is still open.
    void handleWmDeleteMessage() override;

private:
    Widget frames_ = nullptr;
    Widget time_ = nullptr;
    ControlWin *controller_ = nullptr;
};

// Fixes a realised window's size: only the program resizes its windows.
void lockShellSize(Widget w);

#endif
