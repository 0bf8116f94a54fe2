// WbComponent: widget ownership, realize hooks and default resources.
#include "wb/component.h"

#include <X11/StringDefs.h>
#include <X11/Xresource.h>

#include <algorithm>
#include <vector>

namespace {

// Components whose afterRealizeHook has not run yet, in creation order.
std::vector<WbComponent *> &awaitingRealize()
{
    static std::vector<WbComponent *> list;
    return list;
}

}  // namespace

WbComponent::WbComponent(const char *name) : _name(name ? name : "")
{
    awaitingRealize().push_back(this);
}

WbComponent::~WbComponent()
{
    std::erase(awaitingRealize(), this);
    if (_w) {
        if (destroyHandlerInstalled_)
            XtRemoveCallback(_w, XtNdestroyCallback, destroyedCB, this);
        XtDestroyWidget(_w);
        _w = nullptr;
    }
}

void WbComponent::show()
{
    if (!_w)
        return;
    XtManageChild(_w);
    runRealizeHooks();
}

void WbComponent::hide()
{
    if (_w)
        XtUnmanageChild(_w);
}

void WbComponent::realize()
{
    if (!_w)
        return;
    XtRealizeWidget(_w);
    runRealizeHooks();
}

void WbComponent::installDestroyHandler()
{
    if (_w && !destroyHandlerInstalled_) {
        XtAddCallback(_w, XtNdestroyCallback, destroyedCB, this);
        destroyHandlerInstalled_ = true;
    }
}

void WbComponent::destroyedCB(Widget, XtPointer client, XtPointer)
{
    auto *self = static_cast<WbComponent *>(client);
    self->destroyHandlerInstalled_ = false;
    self->widgetDestroyed();
}

void WbComponent::widgetDestroyed()
{
    _w = nullptr;
}

void WbComponent::setDefaultResources(Widget w, const char *const *resourceSpec)
{
    if (!w || !resourceSpec)
        return;
    XrmDatabase defaults = nullptr;
    for (const char *const *line = resourceSpec; *line; ++line) {
        const char first = (*line)[0];
        const std::string scoped =
            "*" + _name + (first == '*' || first == '.' ? "" : ".") + *line;
        XrmPutLineResource(&defaults, scoped.c_str());
    }
    if (!defaults)
        return;
    // Combining with override False keeps every entry already present.
    XrmDatabase db = XrmGetDatabase(XtDisplay(w));
    XrmCombineDatabase(defaults, &db, False);
    XrmSetDatabase(XtDisplay(w), db);
}

void WbComponent::afterRealizeHook() {}

int WbComponent::okToQuit()
{
    return 1;
}

const char *WbComponent::className()
{
    return "WbComponent";
}

void WbComponent::runRealizeHooks()
{
    // Hooks may create or delete components, so work on a snapshot and
    // check each entry is still waiting before running it.
    const std::vector<WbComponent *> snapshot = awaitingRealize();
    for (WbComponent *c : snapshot) {
        auto &list = awaitingRealize();
        if (std::find(list.begin(), list.end(), c) == list.end())
            continue;
        if (c->_w && XtIsRealized(c->_w)) {
            std::erase(list, c);
            c->afterRealizeHook();
        }
    }
}
