// The main window's button panel: seven icon buttons (frame back, reverse,
// fast reverse, stop, frame forward, play, fast forward) that drive the
// movie on screen.
#ifndef CINELARK_APP_CONTROL_WIN_H
#define CINELARK_APP_CONTROL_WIN_H

#include <memory>
#include <vector>

#include "wb/wb.h"

// A push button showing an XPM picture with its name beside it. The
// picture's symbolic colours take the button's own colours.
class WbIconButton : public WbComponent {
public:
    WbIconButton(const char *name, Widget parent, const char *const *icon);
    ~WbIconButton() override;
    const char *className() override { return "WbIconButton"; }

private:
    static void enter(Widget, XtPointer, XEvent *, Boolean *);
    static void leave(Widget, XtPointer, XEvent *, Boolean *);
    Pixmap normal_ = 0;
    Pixmap highlighted_ = 0;
};

// The panel itself: each button runs one of the virtual callbacks.
class Controller : public WbComponent {
public:
    Controller(const char *name, Widget parent);
    ~Controller() override;

    virtual void PlayCB() = 0;
    virtual void StopCB() = 0;
    virtual void RewindCB() = 0;
    virtual void FastFwdCB() = 0;
    virtual void FrameFwdCB() = 0;
    virtual void FrameBackCB() = 0;
    virtual void ReverseCB() = 0;

    const char *className() override { return "Controller"; }

private:
    std::vector<std::unique_ptr<WbIconButton>> buttons_;
};

// The panel of the main window, acting on the current movie.
class ControlWin : public Controller {
public:
    ControlWin(const char *name, Widget parent) : Controller(name, parent) {}

    void PlayCB() override;
    void StopCB() override;
    void RewindCB() override;
    void FastFwdCB() override;
    void FrameFwdCB() override;
    void FrameBackCB() override;
    void ReverseCB() override;
};

#endif
