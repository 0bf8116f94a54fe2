// Error traps: see error_trap.h for why they are keyed by request serial.
#include "error_trap.h"

#include <array>
#include <mutex>

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
        if (claimed)
            return 0;
    }
    return previousHandler ? previousHandler(display, error) : 0;
}

}  // namespace

ErrorTrap::ErrorTrap(Display *display) : display_(display), firstSerial_(0), slot_(-1)
{
    std::call_once(installOnce, [] { previousHandler = XSetErrorHandler(handleError); });
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
