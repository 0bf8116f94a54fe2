// Resource look-up and pixmaps from XPM data.
//
// WbGetResource(name, className) reads the application-level resource
// "<application name>.<name>" (class "<application class>.<className>")
// from the display's resource database: whatever the user's X resources,
// the application defaults, the fallback resources and -xrm options set.
// The text stays valid while the database is unchanged; null when unset.
//
// The widget form reads a resource of that widget's path with conversion to
// a representation type (XmRBoolean, XmRInt, XmRString, XmRPixel ...),
// giving the default when the resource is not set or cannot be converted.
#ifndef CINELARK_WB_RESOURCE_H
#define CINELARK_WB_RESOURCE_H

#include <X11/Intrinsic.h>
#include <X11/xpm.h>

#include <cstring>
#include <type_traits>

const char *WbGetResource(const char *name, const char *className);

// Untyped core of the widget form: value receives size bytes.
void WbGetTypedResource(Widget w, const char *name, const char *className,
                        const char *type, unsigned size, const void *defaultValue,
                        void *value);

template <class T>
T WbGetResource(Widget w, const char *name, const char *className, const char *type,
                T defaultValue)
{
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= sizeof(XtPointer));
    T value = defaultValue;
    WbGetTypedResource(w, name, className, type, sizeof(T), &defaultValue, &value);
    return value;
}

// Makes a pixmap for widget w from XPM data, binding the symbolic colours
// given (such as "background") to pixels; visual, colormap and depth are
// those of the widget. Returns None when the data cannot be read.
Pixmap WbCreateXPMPixmap(Widget w, const char *const *xpmData, XpmColorSymbol *symbols,
                         int symbolCount);

#endif
