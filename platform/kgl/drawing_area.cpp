// The GL drawing-area widget, a Motif drawing area whose window has a GL
// visual.
//
// The widget's header declares its class variable without "extern", which
// in C++ defines a second, null variable of the same name, and creating a
// widget of a null class fails ("requires non-NULL widget class"). The
// header's declaration is renamed away while it is read, and the real
// variable is declared here instead.
#include <Xm/Xm.h>

#define glwMDrawingAreaWidgetClass glwMDrawingAreaWidgetClass_decl
#include <GL/GLwMDrawA.h>
#undef glwMDrawingAreaWidgetClass
extern "C" WidgetClass glwMDrawingAreaWidgetClass;

#include <cstddef>
#include <vector>

#include "kgl/kgl.h"

static_assert(sizeof(KGLdrawCallbackStruct) == sizeof(GLwDrawingAreaCallbackStruct));
static_assert(offsetof(KGLdrawCallbackStruct, event) ==
              offsetof(GLwDrawingAreaCallbackStruct, event));
static_assert(offsetof(KGLdrawCallbackStruct, width) ==
              offsetof(GLwDrawingAreaCallbackStruct, width));
static_assert(offsetof(KGLdrawCallbackStruct, height) ==
              offsetof(GLwDrawingAreaCallbackStruct, height));
static_assert(int(KGL_CR_GINIT) == int(GLwCR_GINIT) && int(KGL_CR_EXPOSE) == int(GLwCR_EXPOSE) &&
              int(KGL_CR_RESIZE) == int(GLwCR_RESIZE) && int(KGL_CR_INPUT) == int(GLwCR_INPUT));

namespace {

unsigned long configValue(const GLXconfig *config, int mode, unsigned long otherwise)
{
    for (const GLXconfig *e = config; e->buffer != 0 || e->mode != 0; ++e)
        if (e->buffer == KGLX_NORMAL && e->mode == mode)
            return e->arg;
    return otherwise;
}

// The widget keeps a pointer to its visual description for its whole life.
void freeVisual(Widget, XtPointer visual, XtPointer)
{
    XFree(visual);
}

}  // namespace

extern "C" WidgetClass kglMDrawWidgetClass(void)
{
    return glwMDrawingAreaWidgetClass;
}

extern "C" Widget kglCreateMDraw(Widget parent, const char *name, const GLXconfig *config,
                                 ArgList args, Cardinal argCount)
{
    try {
        if (!parent || !name || !config)
            return nullptr;
        Display *display = XtDisplay(parent);
        XVisualInfo wanted{};
        wanted.visualid = configValue(config, KGLX_VISUAL, 0);
        wanted.screen = XScreenNumberOfScreen(XtScreen(parent));
        int count = 0;
        XVisualInfo *visual = wanted.visualid
            ? XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count)
            : nullptr;
        if (!visual)
            return nullptr;

        std::vector<Arg> all(args, args + argCount);
        Arg arg;
        XtSetArg(arg, GLwNvisualInfo, visual);
        all.push_back(arg);
        XtSetArg(arg, XmNdepth, visual->depth);
        all.push_back(arg);
        const unsigned long colormap = configValue(config, KGLX_COLORMAP, 0);
        if (colormap != 0) {
            XtSetArg(arg, XmNcolormap, colormap);
            all.push_back(arg);
        }
        Widget w = XtCreateWidget(name, glwMDrawingAreaWidgetClass, parent, all.data(),
                                  Cardinal(all.size()));
        if (!w) {
            XFree(visual);
            return nullptr;
        }
        XtAddCallback(w, XmNdestroyCallback, freeVisual, visual);
        return w;
    } catch (...) {
        return nullptr;
    }
}
