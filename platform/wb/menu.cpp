// WbMenuBar, WbMenu and WbMenuToggle over Motif row-columns.
#include "wb/menu.h"

#include <Xm/CascadeB.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Separator.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <vector>

namespace {

// Arguments every entry gets: its place, and its label when one is given.
// The returned string must be freed after the widget is made.
std::vector<Arg> entryArgs(const char *label, int position, XmString &text)
{
    std::vector<Arg> args;
    Arg a;
    XtSetArg(a, XmNpositionIndex, position < 0 ? XmLAST_POSITION : position);
    args.push_back(a);
    text = label ? XmStringCreateLocalized(const_cast<char *>(label)) : nullptr;
    if (text) {
        XtSetArg(a, XmNlabelString, text);
        args.push_back(a);
    }
    return args;
}

char *widgetName(const char *label, const char *otherwise)
{
    return const_cast<char *>(label && *label ? label : otherwise);
}

}  // namespace

WbMenu::WbMenu(const char *name) : WbComponent(name) {}

WbMenu::WbMenu(const char *label, Widget parent, int position) : WbComponent(label)
{
    if (!parent)
        return;
    _w = XmCreatePulldownMenu(parent, widgetName(label, "menu"), nullptr, 0);
    installDestroyHandler();
    XmString text = nullptr;
    std::vector<Arg> args = entryArgs(label, position, text);
    Arg a;
    XtSetArg(a, XmNsubMenuId, _w);
    args.push_back(a);
    cascade_ = XmCreateCascadeButton(parent, widgetName(label, "menu"), args.data(),
                                     Cardinal(args.size()));
    if (text)
        XmStringFree(text);
    XtManageChild(cascade_);
}

WbMenu::~WbMenu()
{
    toggles_.clear();
    submenus_.clear();
    // A pull-down lives in its own menu shell; the cascade button that
    // opens it is a separate widget in the parent and goes too.
    if (cascade_ && _w)
        XtDestroyWidget(cascade_);
}

WbMenu *WbMenu::addSubmenu(const char *label, int position)
{
    if (!_w)
        return nullptr;
    submenus_.push_back(std::make_unique<WbMenu>(label, _w, position));
    return submenus_.back().get();
}

Widget WbMenu::addAction(const char *label, XtCallbackProc callback, XtPointer clientData,
                         int position)
{
    if (!_w)
        return nullptr;
    XmString text = nullptr;
    std::vector<Arg> args = entryArgs(label, position, text);
    Widget button = XmCreatePushButton(_w, widgetName(label, "action"), args.data(),
                                       Cardinal(args.size()));
    if (text)
        XmStringFree(text);
    if (callback)
        XtAddCallback(button, XmNactivateCallback, callback, clientData);
    XtManageChild(button);
    return button;
}

WbMenuToggle *WbMenu::addToggle(const char *label, XtCallbackProc callback,
                                XtPointer clientData, int state, int position)
{
    if (!_w)
        return nullptr;
    toggles_.push_back(
        std::make_unique<WbMenuToggle>(label, _w, callback, clientData, state, position));
    return toggles_.back().get();
}

Widget WbMenu::addSeparator(int position)
{
    if (!_w)
        return nullptr;
    Arg a;
    XtSetArg(a, XmNpositionIndex, position < 0 ? XmLAST_POSITION : position);
    Widget separator = XmCreateSeparator(_w, const_cast<char *>("separator"), &a, 1);
    XtManageChild(separator);
    return separator;
}

const char *WbMenu::className()
{
    return "WbMenu";
}

WbMenuBar::WbMenuBar(Widget parent, const char *name) : WbMenu(name)
{
    if (!parent)
        return;
    _w = XmCreateMenuBar(parent, const_cast<char *>(name ? name : "menuBar"), nullptr, 0);
    installDestroyHandler();
}

const char *WbMenuBar::className()
{
    return "WbMenuBar";
}

WbMenuToggle::WbMenuToggle(const char *label, Widget menuPane, XtCallbackProc callback,
                           XtPointer clientData, int state, int position)
    : WbComponent(label)
{
    if (!menuPane)
        return;
    XmString text = nullptr;
    std::vector<Arg> args = entryArgs(label, position, text);
    Arg a;
    XtSetArg(a, XmNset, state ? XmSET : XmUNSET);
    args.push_back(a);
    XtSetArg(a, XmNvisibleWhenOff, True);
    args.push_back(a);
    _w = XmCreateToggleButton(menuPane, widgetName(label, "toggle"), args.data(),
                              Cardinal(args.size()));
    if (text)
        XmStringFree(text);
    installDestroyHandler();
    if (callback)
        XtAddCallback(_w, XmNvalueChangedCallback, callback, clientData);
    XtManageChild(_w);
}

void WbMenuToggle::setVisualState(int state)
{
    if (_w)
        XmToggleButtonSetState(_w, state ? True : False, False);
}

int WbMenuToggle::getState() const
{
    return _w && XmToggleButtonGetState(_w) ? 1 : 0;
}

const char *WbMenuToggle::className()
{
    return "WbMenuToggle";
}
