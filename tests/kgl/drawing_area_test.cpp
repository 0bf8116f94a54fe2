// The GL drawing-area widget inside a Motif form: its class is real (the
// header declares it in a way that C++ would otherwise shadow), its window
// has the configured GL visual, and its callbacks come with the right
// reasons and sizes, so a movie window can bind GL to it and paint.
#include <gtest/gtest.h>

#include <X11/Intrinsic.h>
#include <X11/Shell.h>
#include <Xm/Form.h>
#include <Xm/Xm.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

#include "kgl/kgl.h"
#include "x_window.h"

namespace {

const bool threadsReady = XInitThreads() != 0;

struct Seen {
    int ginit = 0, expose = 0, resize = 0;
    Dimension width = 0, height = 0;
    int bound = -1;
    std::vector<uint32_t> picture;
};

void ginitCB(Widget w, XtPointer client, XtPointer callData)
{
    auto *seen = static_cast<Seen *>(client);
    auto *data = static_cast<KGLdrawCallbackStruct *>(callData);
    if (data->reason != KGL_CR_GINIT)
        return;
    ++seen->ginit;
    // Other test programs may map windows over this one; keep its contents.
    XSetWindowAttributes keep{};
    keep.backing_store = WhenMapped;
    XChangeWindowAttributes(XtDisplay(w), XtWindow(w), CWBackingStore, &keep);
    Dimension width = 0, height = 0;
    XtVaGetValues(w, XmNwidth, &width, XmNheight, &height, nullptr);
    seen->bound = GLXwinset(XtDisplay(w), XtWindow(w));
    viewport(0, short(width - 1), 0, short(height - 1));
    ortho2(-0.5f, float(width) - 0.5f, -0.5f, float(height) - 0.5f);
}

void exposeCB(Widget, XtPointer client, XtPointer callData)
{
    auto *seen = static_cast<Seen *>(client);
    if (static_cast<KGLdrawCallbackStruct *>(callData)->reason != KGL_CR_EXPOSE)
        return;
    ++seen->expose;
    rectzoom(2.0f, 2.0f);
    lrectwrite(0, 0, 3, 2, seen->picture.data());
    gflush();
}

void resizeCB(Widget, XtPointer client, XtPointer callData)
{
    auto *seen = static_cast<Seen *>(client);
    auto *data = static_cast<KGLdrawCallbackStruct *>(callData);
    if (data->reason != KGL_CR_RESIZE)
        return;
    ++seen->resize;
    seen->width = data->width;
    seen->height = data->height;
}

TEST(DrawingArea, PaintsThroughGLAndReportsItsCallbacks)
{
    ASSERT_TRUE(threadsReady);
    ASSERT_NE(kglMDrawWidgetClass(), nullptr);

    XtToolkitInitialize();
    XtAppContext context = XtCreateApplicationContext();
    static char arg0[] = "kgl_widget";
    static char *argv[] = {arg0, nullptr};
    int argc = 1;
    Display *display = kgltest::openDisplay();
    ASSERT_NE(display, nullptr) << "this test needs an X display with GLX";
    XtDisplayInitialize(context, display, nullptr, "KglTest", nullptr, 0, &argc, argv);
    // Away from the top-left corner, where other test programs' windows
    // appear, since the picture is read back through the server.
    Arg place[1];
    XtSetArg(place[0], XmNgeometry, "+700+850");
    Widget shell = XtAppCreateShell("kglWidget", "KglTest", topLevelShellWidgetClass, display,
                                    place, 1);
    Widget form = XmCreateForm(shell, const_cast<char *>("form"), nullptr, 0);

    GLXconfig *config = kgltest::rgbConfig(display);
    ASSERT_NE(config, nullptr);
    Arg args[] = {{XmNwidth, 40},
                  {XmNheight, 30},
                  {XmNtopAttachment, XmATTACH_FORM},
                  {XmNbottomAttachment, XmATTACH_FORM},
                  {XmNleftAttachment, XmATTACH_FORM},
                  {XmNrightAttachment, XmATTACH_FORM}};
    Widget area = kglCreateMDraw(form, "movieDraw", config, args, XtNumber(args));
    ASSERT_NE(area, nullptr);

    const GLXconfig noVisual[] = {{KGLX_NORMAL, KGLX_RGB, 1}, {0, 0, 0}};
    EXPECT_EQ(kglCreateMDraw(form, "none", noVisual, nullptr, 0), nullptr);

    Seen seen;
    seen.picture = {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0x00FFFFFFu,  //
                    0x00102030u, 0x00405060u, 0x00708090u, 0x00A0B0C0u,  //
                    0x00000001u, 0x00000100u, 0x00010000u, 0x00808080u};
    XtAddCallback(area, KGL_NginitCallback, ginitCB, &seen);
    XtAddCallback(area, KGL_NexposeCallback, exposeCB, &seen);
    XtAddCallback(area, KGL_NresizeCallback, resizeCB, &seen);
    XtManageChild(area);
    XtManageChild(form);
    XtRealizeWidget(shell);

    auto pumpUntil = [&](const std::function<bool()> &done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done() && std::chrono::steady_clock::now() < end) {
            XSync(display, False);
            while (XtAppPending(context))
                XtAppProcessEvent(context, XtIMAll);
        }
        return done();
    };
    ASSERT_TRUE(pumpUntil([&] { return seen.expose > 0; }));
    EXPECT_EQ(seen.ginit, 1);
    EXPECT_EQ(seen.bound, 0);

    // The window's visual is the one the configuration chose.
    XWindowAttributes attributes;
    XGetWindowAttributes(display, XtWindow(area), &attributes);
    EXPECT_EQ(XVisualIDFromVisual(attributes.visual), kgltest::configValue(config, KGLX_VISUAL));

    // The expose painted the 4 x 3 picture at zoom 2 in the lower-left corner.
    XSync(display, False);
    EXPECT_EQ(kgltest::serverPixels(display, XtWindow(area), 0, 0, 8, 6, attributes.height),
              kgltest::zoomed(seen.picture, 4, 3, 2));

    XtVaSetValues(shell, XmNwidth, 64, XmNheight, 48, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return seen.width == 64 && seen.height == 48; }));
    EXPECT_GE(seen.resize, 1);

    GLXunlink(display, XtWindow(area));
    XtDestroyWidget(shell);
    std::free(config);
    XSync(display, False);
}

}  // namespace
