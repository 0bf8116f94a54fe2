// Start-up of the cinelark player: the command line, the move to the
// background, the check that the named file is a movie with pictures, the
// windows, and the X event loop.
//
// The program ends through File > Quit, the main window's destruction, the
// window manager closing the movie window in view-only mode, a stop of the
// movie when -l or -W started it (status 0), a bad option or a failed check
// in view-only mode (status -1, which the shell sees as 255), a failure
// while building the movie controller (status 1), and an interrupt, hang-up
// or termination signal (128 plus the signal's number, after a clean exit).
#include <fcntl.h>
#include <getopt.h>
#include <signal.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <cinelark/movie.h>
#include <cinelark/playback.h>

#include "help/help.h"
#include "main_win.h"
#include "movie_controller.h"
#include "movie_win.h"
#include "state.h"
#include "wb/wb.h"

namespace {

const char kUsage[] =
    "usage: %s [Xtoolkit-options] [-DfNv] [-l loopcount] [-W swingcount]\n"
    "       [-S x,y] [-z zoom] [movie-file]\n";

// The built-in text for a movie without pictures, used when the resource is
// not set.
const char kNoMovieData[] = "%s is a movie file, but does not contain any video data.";

// Formats a text with the file name as its only argument. The resource texts
// are the user's to change, so only one "%s" is honoured and any other "%"
// is taken literally.
std::string formatWithName(const char *text, const char *name)
{
    std::string out;
    bool used = false;
    for (const char *p = text; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && !used) {
            out += name;
            used = true;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

// Ctrl+C, a hang-up or a polite kill end the program as File > Quit would,
// through exit, so that the playback engine lets its threads and its arena
// file go. The handler only writes the signal's number into a pipe that
// the event loop watches: nothing else is safe inside a handler.
int signalPipe[2] = {-1, -1};

void onEndSignal(int signalNumber)
{
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    const int saved = errno;
    [[maybe_unused]] ssize_t written = write(signalPipe[1], &number, 1);
    errno = saved;
}

void endSignalArrived(XtPointer, int *fd, XtInputId *)
{
    unsigned char number = 0;
    if (read(*fd, &number, 1) == 1)
        std::exit(128 + number);  // the status a shell gives a killed program
}

void catchEndSignals()
{
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    XtAppAddInput(theCinelark->appContext(), signalPipe[0],
                  reinterpret_cast<XtPointer>(XtInputReadMask), endSignalArrived, nullptr);
}

void endBusy()
{
    if (theCinelark && theCinelark->isBusy())
        theCinelark->notBusy();
}

void processArgs(int argc, char **argv)
{
    int c;
    opterr = 1;
    while ((c = getopt(argc, argv, "DfNvl:W:z:S:F:")) != -1) {
        switch (c) {
        case 'D':
            doDoubleBuffer = 1;
            break;
        case 'f':
            foregroundFlag = 1;
            break;
        case 'N':
            borderFlag = 1;
            break;
        case 'v':
            viewOnlyFlag = 1;
            break;
        case 'l':
        case 'W':
            autoStartFlag = 1;
            viewOnlyFlag = 1;
            std::sscanf(optarg, "%d", &loopNCount);
            playMode = c == 'l' ? 1 : 2;
            if (sX == -1 && sY == -1)
                sX = sY = 500;
            break;
        case 'z':
            std::sscanf(optarg, "%d", &zoom);
            if (zoom < 1 || zoom > 4) {
                std::fprintf(stderr,
                             "Warning: Specified zoom factor: %d must be between 1 and 4.\n",
                             zoom);
                std::fprintf(stderr, "         Setting zoom to 1.\n");
                zoom = 1;
            }
            break;
        case 'S':
            std::sscanf(optarg, "%d,%d", &sX, &sY);
            break;
        case 'F':
            std::fprintf(stderr,
                         "cinelark: This option is obsolete.\n"
                         "             FIT files are no longer supported and this option is "
                         "ignored\nfor movie files\n");
            break;
        default:
            std::fprintf(stderr, kUsage, argv[0]);
            std::exit(-1);
        }
    }
    if (optind < argc) {
        if (std::strlen(argv[optind]) >= sizeof curMovieFile) {
            std::fprintf(stderr, "cinelark: the file name is too long: %.60s...\n",
                         argv[optind]);
            std::exit(-1);
        }
        std::snprintf(curMovieFile, sizeof curMovieFile, "%s", argv[optind]);
    }
}

}  // namespace

const char *resourceText(const char *name, const char *fallback)
{
    const char *text = WbGetResource(name, kAppClass);
    return text ? text : fallback;
}

void reportText(const char *text)
{
    if (viewOnlyFlag != 1)
        getTheErrorDialog()->postModal(text);
    else
        std::fprintf(stderr, "%s\n", text);
}

void reportMovieError(int errorNumber, const char *fileName)
{
    std::string text = std::string(fileName) + ": " + mvGetErrorStr(errorNumber);
    reportText(text.c_str());
    endBusy();
}

// The movie library's error number for a missing track.
constexpr int kNoTrackOfRequestedType = 1009;

int checkMovieFileName()
{
    // An empty selection from File > Open came in the busy state too.
    if (curMovieFile[0] == '\0') {
        endBusy();
        return -1;
    }
    int fd = open(curMovieFile, O_RDONLY);
    if (fd < 0) {
        reportText(formatWithName(resourceText("fileErr", "Cannot open %s."), curMovieFile).c_str());
        curMovieFile[0] = '\0';
        endBusy();
        return -1;
    }
    if (!mvIsMovieFD(fd)) {
        reportText(formatWithName(resourceText("notMovieFile", "%s is not a movie file."),
                                  curMovieFile)
                       .c_str());
        close(fd);
        curMovieFile[0] = '\0';
        endBusy();
        return -1;
    }
    MVid movie = 0;
    if (mvOpenFD(fd, &movie) != 0) {
        // A program stream with sound alone is refused at open with 1009
        // (no track of the kind asked for); to its user it is a movie
        // without pictures, as a sound-only movie file is.
        if (mvGetErrno() == kNoTrackOfRequestedType)
            reportText(formatWithName(resourceText("noMovieDataErr", kNoMovieData), curMovieFile).c_str());
        else
            reportMovieError(mvGetErrno(), curMovieFile);
        curMovieFile[0] = '\0';
        close(fd);
        return -1;
    }
    MVid image = 0;
    if (mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &image) == 0 && mvGetTrackLength(image) > 0) {
        mvClose(movie);
        close(fd);
        return 0;
    }
    reportText(formatWithName(resourceText("noMovieDataErr", kNoMovieData), curMovieFile).c_str());
    curMovieFile[0] = '\0';
    endBusy();
    close(fd);
    mvClose(movie);
    return -1;
}

int main(int argc, char **argv)
{
    // The engine paints from its own thread while this one runs the event
    // loop, so Xlib must be thread-safe before anything else touches it.
    XInitThreads();

    theCinelark = new WbApp(kAppClass, &argc, argv, nullptr, 0, kFallbackResources);
    if (!theCinelark->isOpen())
        return 1;
    chooseFonts(theCinelark->display());
    mainWin = new MainWin("Cinelark");

    curMovieFile[0] = '\0';
    processArgs(argc, argv);
    MovieController::restoreSettings();
    mvInitQuickTime();
    OrvoHelpInit(theCinelark->display(), kAppClass, ";");

    if (!foregroundFlag) {
        // The parent leaves without flushing or closing the X connection it
        // shares with the child.
        if (fork() != 0)
            _exit(0);
    }

    catchEndSignals();
    makeMenus();
    if (viewOnlyFlag != 1) {
        mainWin->show();
        mainWin->addFieldCallbacks();
        initTextFields();
    } else if (curMovieFile[0] == '\0') {
        mainWin->show();
        getTheErrorDialog()->postModal(resourceText("viewOnlyErr", "No movie file given."));
    }

    if (curMovieFile[0] != '\0') {
        if (checkMovieFileName() >= 0) {
            movieWin = new MovieWin("Cinelark");
            movieWin->show();
            movieWin->raise();
            movieWin->setTitle(curMovieFile);
            if (viewOnlyFlag != 1) {
                updateLoopMenu();
                initTextFields();
            }
        } else if (viewOnlyFlag == 1) {
            std::exit(-1);
        }
    }

    theCinelark->run();
    return 0;
}
