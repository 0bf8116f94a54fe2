// Catching the X errors of this layer's own requests.
//
// Xlib reports errors asynchronously to one process-wide handler, and with
// several threads on one connection the error may be read by whichever thread
// is waiting on the connection at the time. A trap therefore records the
// request serial at which it opened; the handler (installed once, chaining to
// the one it replaced) claims every error whose serial falls at or after the
// start of an open trap on the same display. Errors nobody claims go on to the
// previous handler unchanged.
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

}  // namespace kgl

#endif
