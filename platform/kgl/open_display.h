// Opening a connection to the display named by $DISPLAY.
#ifndef CINELARK_KGL_OPEN_DISPLAY_H
#define CINELARK_KGL_OPEN_DISPLAY_H

#include <X11/Xlib.h>

namespace kgl {

// Opens $DISPLAY, trying again for a short while when the server turns the
// connection away; null when it cannot be reached at all.
Display *openDisplay();

}  // namespace kgl

#endif
