// The component framework on a real display: one application object for
// the whole program (the toolkit keeps one per process), windows, menus,
// toggles, dialogs, resources and the event loop, driven by the widgets'
// own callbacks (the player's tests drive its menus with the real keyboard).
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/MessageB.h>
#include <Xm/PushB.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "wb/wb.h"

namespace {

const char *const fallbacks[] = {
    "*greeting: hello from the fallback",
    "*override: from the fallback",
    nullptr,
};

std::vector<std::string> argsLeft;

WbApp &app()
{
    static WbApp *theApp = [] {
        XInitThreads();
        // The display is named on the command line, as a user may do.
        static std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
        static char arg0[] = "wb_tests", arg1[] = "-xrm", arg2[] = "*override: from -xrm",
                    arg3[] = "-xrm", arg4[] = "*panel.orvoMode: true", arg5[] = "-display",
                    arg7[] = "movie.mv";
        static char *argv[] = {arg0, arg1, arg2, arg3, arg4, arg5, display.data(), arg7, nullptr};
        static int argc = 8;
        unsetenv("DISPLAY");
        auto *made = new WbApp("CinelarkWbTest", &argc, argv, nullptr, 0, fallbacks);
        for (int i = 0; i < argc; ++i)
            argsLeft.push_back(argv[i]);
        setenv("DISPLAY", display.c_str(), 1);  // for the pointer tool
        return made;
    }();
    return *theApp;
}

// Handles events until done() holds or a second has passed.
bool pumpUntil(const std::function<bool()> &done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        XSync(app().display(), False);
        while (XtAppPending(app().appContext()))
            XtAppProcessEvent(app().appContext(), XtIMAll);
    }
    return true;
}

std::string messageOf(Widget dialog)
{
    XmString text = nullptr;
    XtVaGetValues(dialog, XmNmessageString, &text, nullptr);
    char *plain = static_cast<char *>(
        XmStringUnparse(text, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
    std::string out = plain ? plain : "";
    XtFree(plain);
    XmStringFree(text);
    return out;
}

void press(Widget button)
{
    XmPushButtonCallbackStruct data{};
    data.reason = XmCR_ACTIVATE;
    XtCallCallbacks(button, XmNactivateCallback, &data);
}

void sendProtocol(Widget shell, const char *protocol)
{
    Display *d = XtDisplay(shell);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = XtWindow(shell);
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, protocol, False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
    XFlush(d);
}

class Framework : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app().isOpen()) << "these tests need an X display"; }
};

// The toolkit's options leave the arguments before the program sees them.
// Pixmaps made from XPM data bind the symbolic colours they are given.
TEST_F(Framework, ToolkitOptionsAreTakenResourcesComeFromFallbacksAndOverridesAndPixmapsBind)
{
    EXPECT_EQ(argsLeft, (std::vector<std::string>{"wb_tests", "movie.mv"}));
    EXPECT_EQ(WbApp::instance(), &app());
    EXPECT_STREQ(app().applicationClass(), "CinelarkWbTest");

    EXPECT_STREQ(WbGetResource("greeting", "CinelarkWbTest"), "hello from the fallback");
    EXPECT_STREQ(WbGetResource("override", "CinelarkWbTest"), "from -xrm");
    EXPECT_EQ(WbGetResource("neverSet", "CinelarkWbTest"), nullptr);

    Widget panel = XmCreateForm(app().baseWidget(), const_cast<char *>("panel"), nullptr, 0);
    Widget other = XmCreateForm(app().baseWidget(), const_cast<char *>("other"), nullptr, 0);
    EXPECT_EQ(WbGetResource<Boolean>(panel, "orvoMode", "orvoMode", XmRBoolean, False), True);
    EXPECT_EQ(WbGetResource<Boolean>(other, "orvoMode", "orvoMode", XmRBoolean, False), False);
    EXPECT_EQ(WbGetResource<int>(other, "columns", "Columns", XmRInt, 42), 42);
    XtDestroyWidget(panel);

    static const char *const icon[] = {
        "3 2 2 1",
        "  c #000000 s background",
        "X c #FF0000",
        " X ",
        "XXX",
    };
    Display *d = app().display();
    XColor green{};
    green.green = 0xFFFF;
    Colormap colormap = 0;
    XtVaGetValues(other, XmNcolormap, &colormap, nullptr);
    ASSERT_TRUE(XAllocColor(d, colormap, &green));
    XpmColorSymbol symbol{const_cast<char *>("background"), nullptr, green.pixel};
    Pixmap pixmap = WbCreateXPMPixmap(other, icon, &symbol, 1);
    ASSERT_NE(pixmap, None);
    XImage *image = XGetImage(d, pixmap, 0, 0, 3, 2, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 0, 0), green.pixel) << "the symbol's colour";
    EXPECT_EQ(XGetPixel(image, 1, 0) & image->red_mask, image->red_mask);
    EXPECT_EQ(XGetPixel(image, 1, 0) & image->green_mask, 0u);
    XDestroyImage(image);
    XFreePixmap(d, pixmap);
    static const char *const broken[] = {"9 9 1 1", "x"};
    EXPECT_EQ(WbCreateXPMPixmap(other, broken, nullptr, 0), None);
    XtDestroyWidget(other);
}

class Panel : public WbComponent {
public:
    explicit Panel(Widget parent) : WbComponent("buttons")
    {
        _w = XmCreateForm(parent, const_cast<char *>("buttons"), nullptr, 0);
        installDestroyHandler();
        const char *const defaults[] = {"*XmPushButton*marginWidth: 17", "*greeting: scoped",
                                        nullptr};
        setDefaultResources(_w, defaults);
        button = XmCreatePushButton(_w, const_cast<char *>("button"), nullptr, 0);
        XtManageChild(button);
    }
    void afterRealizeHook() override { ++realizeHooks; }
    Widget button = nullptr;
    int realizeHooks = 0;
};

class TestWindow : public WbWindow {
public:
    // Placed away from the corner where windows of other test programs on
    // the same display appear, so the pointer reaches this one.
    TestWindow() : WbWindow("testWindow")
    {
        XtVaSetValues(baseWidget(), XmNgeometry, "+900+120", nullptr);
    }
    Widget setUpInterface(Widget parent) override
    {
        ++setUps;
        Widget form = XmCreateForm(parent, const_cast<char *>("view"), nullptr, 0);
        XtVaSetValues(form, XmNwidth, 240, XmNheight, 120, nullptr);
        panel = new Panel(form);
        panel->show();
        return form;
    }
    void afterRealizeHook() override { ++realizeHooks; }
    void handleWmDeleteMessage() override { ++deleteRequests; }
    int okToQuit() override { return quitAllowed; }
    ~TestWindow() override { delete panel; }

    Panel *panel = nullptr;
    int setUps = 0, realizeHooks = 0, deleteRequests = 0, quitAllowed = 1;
};

struct Calls {
    int count = 0;
    Widget last = nullptr;
};

void countCB(Widget w, XtPointer client, XtPointer)
{
    auto *calls = static_cast<Calls *>(client);
    ++calls->count;
    calls->last = w;
}

TEST_F(Framework, WindowBuildsItsContentsOnceRunsMenusHearsTheCloseShowsBusyAndMayRefuseToQuit)
{
    TestWindow window;
    auto *bar = new WbMenuBar(window.mainWindowWidget());
    window.setMenuBar(bar);
    EXPECT_EQ(window.menu(), bar);
    Calls opened, muted;
    WbMenu *file = bar->addSubmenu("File");
    ASSERT_NE(file, nullptr);
    Widget open = file->addAction("Open", countCB, &opened);
    file->addSeparator();
    WbMenuToggle *mute = file->addToggle("Mute", countCB, &muted, 0);
    WbMenuToggle *loop = file->addToggle("Loop", countCB, &muted, 1, 0);  // placed first
    EXPECT_EQ(window.setUps, 0);
    window.show();
    window.setTitle("clip.mv");
    EXPECT_EQ(window.setUps, 1);
    EXPECT_EQ(window.realizeHooks, 1);
    ASSERT_NE(window.panel, nullptr);
    EXPECT_EQ(window.panel->realizeHooks, 1) << "a component inside the window";
    EXPECT_NE(window.viewWidget(), nullptr);
    window.hide();
    window.show();
    window.raise();
    EXPECT_EQ(window.setUps, 1);
    EXPECT_EQ(window.realizeHooks, 1);

    char *title = nullptr;
    XtVaGetValues(window.baseWidget(), XmNtitle, &title, nullptr);
    EXPECT_STREQ(title, "clip.mv");

    // Default resources apply below the component and give way to others.
    Dimension margin = 0;
    XtVaGetValues(window.panel->button, XmNmarginWidth, &margin, nullptr);
    EXPECT_EQ(margin, 17);
    EXPECT_STREQ(WbGetResource("greeting", "CinelarkWbTest"), "hello from the fallback");

    // Menu entries run their callbacks; visual states do not.
    ASSERT_TRUE(pumpUntil([&] { return XtIsRealized(file->cascadeButton()); }));
    press(open);
    EXPECT_EQ(opened.count, 1) << "the action's callback ran";
    EXPECT_EQ(opened.last, open);

    EXPECT_EQ(mute->getState(), 0);
    EXPECT_EQ(loop->getState(), 1);
    mute->setVisualState(1);
    loop->setVisualState(0);
    EXPECT_EQ(mute->getState(), 1);
    EXPECT_EQ(loop->getState(), 0);
    EXPECT_EQ(muted.count, 0) << "setVisualState must not run the callback";

    // A user's change of the toggle does run it.
    XmToggleButtonSetState(mute->baseWidget(), False, True);
    EXPECT_EQ(muted.count, 1);
    EXPECT_EQ(muted.last, mute->baseWidget());

    // Entry order: position 0 put "Loop" before "Open".
    WidgetList children = nullptr;
    Cardinal count = 0;
    XtVaGetValues(file->baseWidget(), XmNchildren, &children, XmNnumChildren, &count, nullptr);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(children[0], loop->baseWidget());
    EXPECT_EQ(children[1], open);

    // The window manager's close reaches the window, whose shell stays.
    sendProtocol(window.baseWidget(), "WM_DELETE_WINDOW");
    EXPECT_TRUE(pumpUntil([&] { return window.deleteRequests == 1; }));
    EXPECT_NE(window.baseWidget(), nullptr);

    // Busy states nest and show their text.
    EXPECT_FALSE(app().isBusy());
    app().busy("Opening the movie");
    app().busy();
    EXPECT_TRUE(app().isBusy());
    ASSERT_NE(app().busyDialog(), nullptr);
    EXPECT_TRUE(XtIsManaged(app().busyDialog()));
    EXPECT_EQ(messageOf(app().busyDialog()), "Opening the movie");
    app().notBusy();
    EXPECT_TRUE(app().isBusy());
    app().notBusy();
    EXPECT_FALSE(app().isBusy());
    EXPECT_FALSE(XtIsManaged(app().busyDialog()));
    app().notBusy();  // one too many is harmless
    EXPECT_FALSE(app().isBusy());

    // The event loop returns only once the window allows quitting.
    window.quitAllowed = 0;
    struct Steps {
        TestWindow *window;
        bool firstRefused = false;
    } steps{&window};
    XtAppAddTimeOut(app().appContext(), 20, [](XtPointer p, XtIntervalId *) {
        auto *s = static_cast<Steps *>(p);
        s->firstRefused = !WbApp::instance()->quit();
        s->window->quitAllowed = 1;
        XtAppAddTimeOut(WbApp::instance()->appContext(), 20,
                        [](XtPointer, XtIntervalId *) { WbApp::instance()->quit(); }, nullptr);
    }, &steps);
    app().run();
    EXPECT_TRUE(steps.firstRefused);
}

// A window that keeps the framework's own close and quit handling.
class PlainWindow : public WbSimpleWindow {
public:
    PlainWindow() : WbSimpleWindow("plainWindow")
    {
        XtVaSetValues(baseWidget(), XmNgeometry, "+900+400", nullptr);
    }
    Widget setUpInterface(Widget parent) override
    {
        return XmCreateLabel(parent, const_cast<char *>("label"), nullptr, 0);
    }
};

// Closing the last window quits the application and so ends the event
// loop; the desktop's quit request ends it without closing the window.
TEST_F(Framework, TheLastWindowsCloseAndTheDesktopsQuitEndTheEventLoop)
{
    for (const auto &[protocol, shownAfter] :
         {std::pair{"WM_DELETE_WINDOW", false}, {"_WB_QUIT_APP", true}}) {
        SCOPED_TRACE(protocol);
        PlainWindow window;
        window.show();
        ASSERT_TRUE(pumpUntil([&] { return XtIsRealized(window.baseWidget()); }));
        sendProtocol(window.baseWidget(), protocol);
        app().run();  // returns only because the application quit
        EXPECT_EQ(window.isShown(), shownAfter);
    }
}

TEST_F(Framework, AComponentForgetsAWidgetDestroyedFromAbove)
{
    Widget holder = XmCreateForm(app().baseWidget(), const_cast<char *>("holder"), nullptr, 0);
    auto *panel = new Panel(holder);
    ASSERT_NE(panel->baseWidget(), nullptr);
    XtDestroyWidget(holder);
    EXPECT_EQ(panel->baseWidget(), nullptr);
    delete panel;  // must not destroy the widget a second time
}

TEST_F(Framework, ErrorDialogPostsAndReturnsAtOnce)
{
    WbDialogManager *errors = getTheErrorDialog();
    ASSERT_EQ(errors, getTheErrorDialog());
    ::testing::internal::CaptureStderr();
    Widget first = errors->postModal("clip.mv: not a movie file");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "wb_tests: clip.mv: not a movie file\n")
        << "an error shown is also kept in the log";
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(XtIsManaged(first));
    EXPECT_EQ(messageOf(first), "clip.mv: not a movie file");

    Calls answered;
    Widget second = errors->post("second message", countCB, nullptr, nullptr, &answered);
    EXPECT_NE(second, first) << "the first message stays readable";
    EXPECT_EQ(errors->postedDialogs().size(), 2u);
    EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(second, XmDIALOG_CANCEL_BUTTON)));

    press(XmMessageBoxGetChild(second, XmDIALOG_OK_BUTTON));
    EXPECT_EQ(answered.count, 1);
    EXPECT_FALSE(XtIsManaged(second));
    press(XmMessageBoxGetChild(first, XmDIALOG_OK_BUTTON));
    EXPECT_TRUE(errors->postedDialogs().empty());

    // A free dialog is used again.
    EXPECT_TRUE(errors->post("third") == first || errors->postedDialogs()[0] == second);
    press(XmMessageBoxGetChild(errors->postedDialogs()[0], XmDIALOG_OK_BUTTON));
}

}  // namespace
