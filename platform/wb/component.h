// WbComponent: the base of every framework object that owns a widget tree.
//
// A component is named at construction; the subclass's constructor creates
// its base widget, so the widget exists from then on. The component owns
// that widget: deleting the component destroys it, and when the widget is
// destroyed first (a parent went away), installDestroyHandler makes the
// component forget it. All of it runs on the application thread.
#ifndef CINELARK_WB_COMPONENT_H
#define CINELARK_WB_COMPONENT_H

#include <X11/Intrinsic.h>

#include <string>

class WbComponent {
public:
    explicit WbComponent(const char *name);
    virtual ~WbComponent();
    WbComponent(const WbComponent &) = delete;
    WbComponent &operator=(const WbComponent &) = delete;

    Widget baseWidget() const { return _w; }
    const char *name() const { return _name.c_str(); }

    // Manage and unmanage the base widget.
    virtual void show();
    virtual void hide();
    // Realizes the base widget (and its ancestors' windows) now.
    virtual void realize();

    // Makes the component notice the destruction of its base widget.
    void installDestroyHandler();
    // Called when the base widget is destroyed; forgets it.
    virtual void widgetDestroyed();

    // Adds resource lines, each taken as applying below this component
    // ("*name" is put in front), to the display's resource database without
    // overriding anything the user or the application already set. The list
    // ends with a null entry.
    void setDefaultResources(Widget w, const char *const *resourceSpec);

    // Runs once, the first time the base widget is found realized.
    virtual void afterRealizeHook();
    // Asked before the application quits; 0 refuses.
    virtual int okToQuit();
    virtual const char *className();

    // Runs afterRealizeHook for every component whose widget has become
    // realized since the last call. Windows call it after realizing.
    static void runRealizeHooks();

protected:
    Widget _w = nullptr;
    std::string _name;

private:
    static void destroyedCB(Widget, XtPointer client, XtPointer);
    bool destroyHandlerInstalled_ = false;
};

#endif
