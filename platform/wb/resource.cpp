// Resource look-up and XPM pixmaps.
#include "wb/resource.h"

#include <X11/Xresource.h>
#include <Xm/Xm.h>

#include <string>

#include "wb/app.h"

const char *WbGetResource(const char *name, const char *className)
{
    WbApp *app = WbApp::instance();
    if (!app || !app->isOpen() || !name || !className)
        return nullptr;
    XrmDatabase db = XrmGetDatabase(app->display());
    if (!db)
        return nullptr;
    // Each level matches a resource line by name or by class, so both
    // "Cinelark*fileErr" and "*fileErr" find the name "fileErr".
    const std::string fullName = std::string(app->applicationName()) + "." + name;
    const std::string fullClass = std::string(app->applicationClass()) + "." + className;
    char *type = nullptr;
    XrmValue value{};
    if (!XrmGetResource(db, fullName.c_str(), fullClass.c_str(), &type, &value) || !value.addr)
        return nullptr;
    return value.addr;
}

void WbGetTypedResource(Widget w, const char *name, const char *className, const char *type,
                        unsigned size, const void *defaultValue, void *value)
{
    if (!w || !name || !className || !type || !value || size > sizeof(XtPointer))
        return;
    // A resource list of one entry read into a word-sized buffer. The
    // default travels as an immediate value, copied from defaultValue.
    XtPointer immediate = nullptr;
    if (defaultValue)
        std::memcpy(&immediate, defaultValue, size);
    union {
        XtPointer word;
        char bytes[sizeof(XtPointer)];
    } out{};
    std::memcpy(out.bytes, value, size);
    XtResource resource = {const_cast<char *>(name), const_cast<char *>(className),
                           const_cast<char *>(type), size, 0,
                           const_cast<char *>(XtRImmediate), immediate};
    XtGetApplicationResources(w, out.bytes, &resource, 1, nullptr, 0);
    std::memcpy(value, out.bytes, size);
}

Pixmap WbCreateXPMPixmap(Widget w, const char *const *xpmData, XpmColorSymbol *symbols,
                         int symbolCount)
{
    if (!w || !xpmData)
        return None;
    Display *display = XtDisplay(w);
    Widget shell = w;
    while (shell && !XtIsShell(shell))
        shell = XtParent(shell);
    Visual *visual = nullptr;
    if (shell)
        XtVaGetValues(shell, XmNvisual, &visual, nullptr);
    if (!visual)
        visual = DefaultVisualOfScreen(XtScreen(w));
    Colormap colormap = 0;
    int depth = 0;
    XtVaGetValues(w, XmNcolormap, &colormap, XmNdepth, &depth, nullptr);

    XpmAttributes attributes{};
    attributes.valuemask = XpmVisual | XpmColormap | XpmDepth;
    attributes.visual = visual;
    attributes.colormap = colormap;
    attributes.depth = unsigned(depth);
    if (symbols && symbolCount > 0) {
        attributes.valuemask |= XpmColorSymbols;
        attributes.colorsymbols = symbols;
        attributes.numsymbols = unsigned(symbolCount);
    }
    Pixmap pixmap = None, mask = None;
    const Window root = RootWindowOfScreen(XtScreen(w));
    const int status = XpmCreatePixmapFromData(display, root, const_cast<char **>(xpmData),
                                               &pixmap, &mask, &attributes);
    if (mask)
        XFreePixmap(display, mask);
    XpmFreeAttributes(&attributes);
    return status == XpmSuccess ? pixmap : None;
}
