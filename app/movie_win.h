// The movie window, which holds one movie controller, and the file
// selection dialog of File > Open.
#ifndef CINELARK_APP_MOVIE_WIN_H
#define CINELARK_APP_MOVIE_WIN_H

#include "wb/wb.h"

class MovieWin : public WbSimpleWindow {
public:
    explicit MovieWin(const char *name);
    // Closes the movie with its controller.
    ~MovieWin() override;

    int okToQuit() override { return 1; }
    void afterRealizeHook() override;

protected:
    Widget setUpInterface(Widget parent) override;
    void handleWmDeleteMessage() override;

private:
    void forgetMovie();
    char *geometry_ = nullptr;
};

class FileWin : public WbFileSelectionDialog {
public:
    FileWin(const char *name, XtCallbackProc callback);

protected:
    void ok(Widget w, XtPointer callData) override;

private:
    XtCallbackProc callback_;
};

#endif
