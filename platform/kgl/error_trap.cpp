// Error traps: see error_trap.h for why they are keyed by request serial.
#include "error_trap.h"

#include <array>
#include <mutex>
#include <vector>

namespace kgl {
namespace {

struct OpenTrap {
    Display *display = nullptr;
    unsigned long firstSerial = 0;
    bool failed = false;
};

// At most this many traps are open at once: one per drawing thread in the
// middle of a context switch. A thread that finds no free slot proceeds
// untrapped rather than waiting.
constexpr int kMaxTraps = 32;

std::mutex trapLock;
std::array<OpenTrap, kMaxTraps> traps;  // guarded by trapLock
// Every drawable that ever had a context. Server ids are not reused by a
// client in practice, so entries are never removed: the list grows by one
// per window drawn into.
struct Watched {
    Display *display;
    XID drawable;
    bool gone;
};
std::vector<Watched> watched;  // guarded by trapLock

Watched *findWatched(Display *display, XID drawable)
{
    for (Watched &w : watched)
        if (w.display == display && w.drawable == drawable)
            return &w;
    return nullptr;
}
XErrorHandler previousHandler = nullptr;
std::once_flag installOnce;

int handleError(Display *display, XErrorEvent *error)
{
    {
        std::lock_guard<std::mutex> hold(trapLock);
        bool claimed = false;
        for (OpenTrap &t : traps) {
            if (t.display == display && error->serial >= t.firstSerial) {
                t.failed = true;
                claimed = true;
            }
        }
        if (!claimed) {
            if (Watched *w = findWatched(display, error->resourceid)) {
                claimed = true;
                if (error->error_code == BadDrawable || error->error_code == BadWindow)
                    w->gone = true;
            }
        }
        if (claimed)
            return 0;
    }
    return previousHandler ? previousHandler(display, error) : 0;
}

void installHandler()
{
    std::call_once(installOnce, [] { previousHandler = XSetErrorHandler(handleError); });
}

}  // namespace

void watchDrawable(Display *display, XID drawable)
{
    installHandler();
    std::lock_guard<std::mutex> hold(trapLock);
    if (Watched *w = findWatched(display, drawable))
        w->gone = false;  // a new window that was given a recycled id
    else
        watched.push_back({display, drawable, false});
}

bool drawableGone(Display *display, XID drawable)
{
    std::lock_guard<std::mutex> hold(trapLock);
    const Watched *w = findWatched(display, drawable);
    return w && w->gone;
}

void forgetDisplay(Display *display)
{
    std::lock_guard<std::mutex> hold(trapLock);
    std::erase_if(watched, [display](const Watched &w) { return w.display == display; });
}

ErrorTrap::ErrorTrap(Display *display) : display_(display), firstSerial_(0), slot_(-1)
{
    installHandler();
    // Serials handed out from here on belong (at the latest) to this trap.
    XLockDisplay(display_);
    firstSerial_ = NextRequest(display_);
    XUnlockDisplay(display_);
    std::lock_guard<std::mutex> hold(trapLock);
    for (int i = 0; i < kMaxTraps; ++i) {
        if (traps[i].display == nullptr) {
            traps[i] = OpenTrap{display_, firstSerial_, false};
            slot_ = i;
            break;
        }
    }
}

bool ErrorTrap::failed()
{
    XSync(display_, False);
    if (slot_ < 0)
        return false;
    std::lock_guard<std::mutex> hold(trapLock);
    return traps[slot_].failed;
}

ErrorTrap::~ErrorTrap()
{
    if (slot_ < 0)
        return;
    // Errors of our requests must be read before the slot closes.
    XSync(display_, False);
    std::lock_guard<std::mutex> hold(trapLock);
    traps[slot_] = OpenTrap{};
}

}  // namespace kgl
