// Catching the X errors of this layer's own requests.
//
// Xlib reports errors asynchronously to one process-wide handler, and with
// several threads on one connection the error may be read by whichever thread
// is waiting on the connection at the time. A trap therefore records the
// request serial at which it opened; the handler (installed once, chaining to
// the one it replaced) claims every error whose serial falls at or after the
// start of an open trap on the same display. Errors nobody claims go on to the
// previous handler unchanged.
//
// Windows that have had a GL context are watched as well: GL talks to the
// server on its own (Mesa asks a window's geometry while drawing, and puts
// the picture into it on a flush), so once such a window is destroyed any
// drawing call of a thread still bound to it may cause an error naming the
// window. Those errors are claimed too; the drawing is lost, which is all
// that can be done for a window that no longer exists.
#ifndef CINELARK_KGL_ERROR_TRAP_H
#define CINELARK_KGL_ERROR_TRAP_H

#include <X11/Xlib.h>

namespace kgl {

class ErrorTrap {
public:
    explicit ErrorTrap(Display *display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

    // Waits until the server has answered every request made so far and
    // tells whether any of them since the trap opened failed.
    bool failed();

private:
    Display *display_;
    unsigned long firstSerial_;
    int slot_;
};

// Claims from now on the errors that name drawable on display.
void watchDrawable(Display *display, XID drawable);

// Whether an error has shown that a watched drawable no longer exists.
bool drawableGone(Display *display, XID drawable);

// Forgets the drawables of a display that is being closed, so that a later
// connection given the same address starts with none.
void forgetDisplay(Display *display);

}  // namespace kgl

#endif
