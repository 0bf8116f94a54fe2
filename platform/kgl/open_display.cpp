// Opening $DISPLAY with patience.
//
// A server that is busy accepting other clients can refuse a connection
// with "resource temporarily unavailable" (its queue of pending connections
// is full; Xvfb does this when programs connect in quick succession). That
// says nothing about whether the display has RGB graphics, so a refusal is
// retried for up to kAttempts x kPause (a fifth of a second) before the
// display counts as unreachable.
#include "open_display.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace kgl {
namespace {
constexpr int kAttempts = 10;
constexpr auto kPause = std::chrono::milliseconds(20);
}  // namespace

Display *openDisplay()
{
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name)
        return nullptr;  // nothing to wait for
    for (int attempt = 1;; ++attempt) {
        if (Display *display = XOpenDisplay(nullptr))
            return display;
        if (attempt == kAttempts)
            return nullptr;
        std::this_thread::sleep_for(kPause);
    }
}

}  // namespace kgl
