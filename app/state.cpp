// Definitions of the player's process-wide state, with its initial values.
#include "state.h"

WbApp *theCinelark = nullptr;
MainWin *mainWin = nullptr;
MovieWin *movieWin = nullptr;
FileWin *fileSelector = nullptr;
MovieController *currentMovie = nullptr;

int doDoubleBuffer = 0;
int foregroundFlag = 0;
int autoStartFlag = 0;
int loopNCount = 0;
int viewOnlyFlag = 0;
int borderFlag = 0;
int zoom = 1;
int sX = -1, sY = -1;

WbMenuToggle *muteToggle = nullptr, *playOnceToggle = nullptr, *loopToggle = nullptr,
             *swingToggle = nullptr;
WbMenuToggle *halfSpeedToggle = nullptr, *normalSpeedToggle = nullptr,
             *twiceSpeedToggle = nullptr;

int curSpeed = 1;
int playMode = 0;

char curMovieFile[kMovieFileSize] = "";
