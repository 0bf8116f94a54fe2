// The player's process-wide state: one instance of each, set up by main from
// the command line and changed by the menus and the movie window. All of it
// is touched only on the application thread, the one running the X event
// loop; the playback engine reports back through movie events instead.
#ifndef CINELARK_APP_STATE_H
#define CINELARK_APP_STATE_H

#include <X11/Xlib.h>

class WbApp;
class WbMenuToggle;
class MainWin;
class MovieWin;
class FileWin;
class MovieController;

extern WbApp *theCinelark;
extern MainWin *mainWin;
extern MovieWin *movieWin;
extern FileWin *fileSelector;
extern MovieController *currentMovie;

extern int doDoubleBuffer;   // -D: recorded, read by nothing
extern int foregroundFlag;   // -f: do not fork
extern int autoStartFlag;    // play at the first expose, end when play stops
extern int loopNCount;       // loop limit of -l or -W
extern int viewOnlyFlag;     // only the movie window; messages on stderr
extern int borderFlag;       // -N: no window-manager decorations
extern int zoom;             // 1 to 4
extern int sX, sY;           // -1: not given; sY counts up from the screen's bottom

extern WbMenuToggle *muteToggle, *playOnceToggle, *loopToggle, *swingToggle;
extern WbMenuToggle *halfSpeedToggle, *normalSpeedToggle, *twiceSpeedToggle;

extern int curSpeed;  // 0 half, 1 normal, 2 twice
extern int playMode;  // 0 once, 1 repeat, 2 swing

constexpr int kMovieFileSize = 1024;
extern char curMovieFile[kMovieFileSize];  // empty: no movie loaded

// The application's resource class.
constexpr const char *kAppClass = "Cinelark";

// Start-up and checks (main.cpp).
int checkMovieFileName();
void reportText(const char *text);
void reportMovieError(int errorNumber, const char *fileName);
// The text of a resource of the application, or fallback when unset.
const char *resourceText(const char *name, const char *fallback = "");

// Menus and fields (menus.cpp, main_win.cpp).
void makeMenus();
void updateLoopMenu();
void updateSpeedMenu();
void initTextFields();
void resizeMovieWinFromZoom();
void frameCallbackFunc(unsigned int frame);
void exposeCBFunc(MovieController *controller);
void zoomUpFunc();
void zoomDownFunc();

// Falls back to core fonts when no scalable font can be opened (fonts.cpp).
void chooseFonts(Display *display);

// The built-in resource defaults, ending with a null entry (resources.cpp).
extern const char *const kFallbackResources[];

#endif
