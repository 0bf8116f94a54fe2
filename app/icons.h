// XPM pictures of the button panel's buttons (see icons.cpp).
#ifndef CINELARK_APP_ICONS_H
#define CINELARK_APP_ICONS_H

extern const char *const frameBackIcon[];
extern const char *const reverseIcon[];
extern const char *const fastReverseIcon[];
extern const char *const stopIcon[];
extern const char *const frameForwardIcon[];
extern const char *const playIcon[];
extern const char *const fastForwardIcon[];

#endif
