// The menu bar of the main window and every menu command: open and quit,
// mute, the external audio control program, the loop modes, the speeds, the
// zoom steps and help. The loop and speed toggles act as radio groups
// because the update functions set all three after every change, from the
// movie's real state.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include <cinelark/movie.h>

#include <Xm/TextF.h>

#include "help/help.h"
#include "main_win.h"
#include "movie_controller.h"
#include "movie_win.h"
#include "state.h"
#include "wb/wb.h"

namespace {

void post(const char *resource, const char *fallback)
{
    getTheErrorDialog()->postModal(resourceText(resource, fallback));
}

const char kNoMovie[] = "No movie is loaded.";

void openCB(Widget, XtPointer, XtPointer)
{
    fileSelector->postModal();
}

void fileOkCB(Widget, XtPointer, XtPointer)
{
    theCinelark->busy(resourceText("busyMsg", "Opening..."));
    if (curMovieFile[0] != '\0' && movieWin) {
        MovieWin *old = movieWin;
        movieWin = nullptr;
        delete old;
    }
    std::snprintf(curMovieFile, sizeof curMovieFile, "%s", fileSelector->selectedPath());
    if (checkMovieFileName() < 0)
        return;
    if (mainWin->frameField()) {
        XmTextFieldSetString(mainWin->frameField(), const_cast<char *>(""));
        XmTextFieldSetString(mainWin->timeField(), const_cast<char *>(""));
    }
    movieWin = new MovieWin("Cinelark");
    movieWin->show();
    movieWin->raise();
    movieWin->setTitle(curMovieFile);
    updateLoopMenu();
    updateSpeedMenu();
    muteToggle->setVisualState(MovieController::isMuted());
    initTextFields();
    theCinelark->notBusy();
}

void quitCB(Widget, XtPointer, XtPointer)
{
    theCinelark->quit();
}

void muteCB(Widget, XtPointer, XtPointer)
{
    if (currentMovie)
        currentMovie->mute();
}

void audioControlCB(Widget, XtPointer, XtPointer)
{
    pid_t pid = fork();
    if (pid == -1) {
        perror("Could not fork new process");
    } else if (pid == 0) {
        execlp("voxdeck", "voxdeck", static_cast<char *>(nullptr));
        perror("Could not run Voxdeck.\n");
        _exit(1);
    }
}

void setLoop(int mode)
{
    if (!currentMovie) {
        post("noMovieErr", kNoMovie);
    } else {
        mvSetPlayLoopMode(currentMovie->movieId(), mode);
        if (mode != MV_LOOP_ONCE)
            mvSetPlayLoopLimit(currentMovie->movieId(), 0);
    }
    updateLoopMenu();
}

void playOnceCB(Widget, XtPointer, XtPointer) { setLoop(MV_LOOP_ONCE); }
void loopCB(Widget, XtPointer, XtPointer) { setLoop(MV_LOOP_REPEAT); }
void swingCB(Widget, XtPointer, XtPointer) { setLoop(MV_LOOP_SWING); }

// A reverse play keeps its direction at the new speed.
void setSpeed(double v)
{
    if (!currentMovie) {
        post("noMovieErr", kNoMovie);
    } else {
        MVid movie = currentMovie->movieId();
        mvSetPlaySpeed(movie, mvGetPlaySpeed(movie) < 0 ? -v : v);
        currentMovie->setPlayRevSpeed(v);
    }
    updateSpeedMenu();
}

void halfSpeedCB(Widget, XtPointer, XtPointer) { setSpeed(0.5); }
void normalSpeedCB(Widget, XtPointer, XtPointer) { setSpeed(1.0); }
void twiceSpeedCB(Widget, XtPointer, XtPointer) { setSpeed(2.0); }

void zoomDownCB(Widget, XtPointer, XtPointer)
{
    if (!currentMovie)
        post("noMovieErr", kNoMovie);
    else if (zoom < 2)
        post("zoomDownErr", "Zoom is at its smallest.");
    else {
        zoom -= 1;
        resizeMovieWinFromZoom();
    }
}

void zoomUpCB(Widget, XtPointer, XtPointer)
{
    if (!currentMovie)
        post("noMovieErr", kNoMovie);
    else if (zoom < 4) {
        zoom += 1;
        resizeMovieWinFromZoom();
    } else
        post("zoomUpErr", "Zoom is at its largest.");
}

void aboutCB(Widget, XtPointer, XtPointer) { OrvoHelpMsg("cinelark.about", "*", 0); }
void watchingCB(Widget, XtPointer, XtPointer) { OrvoHelpMsg("cinelark.watching", "*", 0); }
void runningCB(Widget, XtPointer, XtPointer) { OrvoHelpMsg("cinelark.running", "*", 0); }
void versionCB(Widget, XtPointer, XtPointer) { post("versionStr", "cinelark"); }

const char *label(const char *name)
{
    return resourceText(name, name);
}

}  // namespace

void zoomUpFunc()
{
    zoomUpCB(nullptr, nullptr, nullptr);
}

void zoomDownFunc()
{
    zoomDownCB(nullptr, nullptr, nullptr);
}

void makeMenus()
{
    WbMenuBar *bar = new WbMenuBar(mainWin->mainWindowWidget());
    mainWin->setMenuBar(bar);

    WbMenu *file = bar->addSubmenu(label("fileMenu"));
    file->addAction(label("fileOpenMenu"), openCB, nullptr);
    file->addSeparator();
    file->addAction(label("fileQuitMenu"), quitCB, nullptr);

    WbMenu *options = bar->addSubmenu(label("optionsMenu"));
    muteToggle = options->addToggle(label("optionsMuteMenu"), muteCB, nullptr,
                                    MovieController::isMuted());
    options->addAction(label("optionsAudioMenu"), audioControlCB, nullptr);
    options->addSeparator();
    playOnceToggle = options->addToggle(label("optionsPlayOnceMenu"), playOnceCB, nullptr, 1);
    loopToggle = options->addToggle(label("optionsLoopMenu"), loopCB, nullptr, 0);
    swingToggle = options->addToggle(label("optionsSwingMenu"), swingCB, nullptr, 0);
    options->addSeparator();
    halfSpeedToggle = options->addToggle(label("optionsHalfSpeedMenu"), halfSpeedCB, nullptr, 0);
    normalSpeedToggle =
        options->addToggle(label("optionsNormalSpeedMenu"), normalSpeedCB, nullptr, 1);
    twiceSpeedToggle =
        options->addToggle(label("optionsTwiceSpeedMenu"), twiceSpeedCB, nullptr, 0);
    options->addSeparator();
    options->addAction(label("optionsZoomDownMenu"), zoomDownCB, nullptr);
    options->addAction(label("optionsZoomUpMenu"), zoomUpCB, nullptr);

    WbMenu *help = bar->addSubmenu(label("helpMenu"));
    help->addAction(label("aboutMenu"), aboutCB, nullptr);
    help->addAction(label("watchingMenu"), watchingCB, nullptr);
    help->addAction(label("runningMenu"), runningCB, nullptr);
    help->addAction(label("versionMenu"), versionCB, nullptr);

    fileSelector = new FileWin("Movie Name", fileOkCB);
}

void updateLoopMenu()
{
    if (!playOnceToggle)
        return;
    if (currentMovie) {
        int m = mvGetPlayLoopMode(currentMovie->movieId());
        if (m < 0 || m > 2)
            return;
        playMode = m;
        playOnceToggle->setVisualState(m == 0);
        loopToggle->setVisualState(m == 1);
        swingToggle->setVisualState(m == 2);
    } else {
        playOnceToggle->setVisualState(1);
        loopToggle->setVisualState(0);
        swingToggle->setVisualState(0);
    }
}

void updateSpeedMenu()
{
    if (!halfSpeedToggle)
        return;
    double s = currentMovie ? std::fabs(mvGetPlaySpeed(currentMovie->movieId())) : 1.0;
    int which;
    if (s == 0.5)
        which = 0;
    else if (s == 1.0)
        which = 1;
    else if (s == 2.0)
        which = 2;
    else
        return;
    curSpeed = which;
    halfSpeedToggle->setVisualState(which == 0);
    normalSpeedToggle->setVisualState(which == 1);
    twiceSpeedToggle->setVisualState(which == 2);
}

void resizeMovieWinFromZoom()
{
    if (!currentMovie || !movieWin)
        return;
    MVid image = 0;
    if (mvFindTrackByMedium(currentMovie->movieId(), DM_MEDIUM_IMAGE, &image) != 0)
        return;
    // The controller's form has a one-pixel border on each side.
    Dimension w = static_cast<Dimension>(mvGetImageWidth(image) * zoom + 2);
    Dimension h = static_cast<Dimension>(mvGetImageHeight(image) * zoom + 2);
    Widget shell = movieWin->baseWidget();
    while (shell && !XtIsShell(shell))
        shell = XtParent(shell);
    if (!shell)
        return;
    XtVaSetValues(shell, XmNmaxWidth, w, XmNminWidth, w, XmNmaxHeight, h, XmNminHeight, h,
                  nullptr);
    XtVaSetValues(shell, XmNwidth, w, XmNheight, h, nullptr);
}
