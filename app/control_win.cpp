// The button panel and its icon buttons.
#include "control_win.h"

#include <Xm/Form.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>

#include "icons.h"
#include "movie_controller.h"
#include "state.h"

namespace {

const char *const kPanelResources[] = {
    "*XmForm*XmPushButton*renderTable: cinelarkSmall",
    nullptr,
};

Pixmap iconPixmap(Widget button, const char *const *icon, bool highlighted)
{
    Pixel fill = 0, background = 0, top = 0, bottom = 0;
    XtVaGetValues(button, XmNforeground, &fill, XmNbackground, &background,
                  XmNtopShadowColor, &top, XmNbottomShadowColor, &bottom, nullptr);
    XpmColorSymbol symbols[4] = {
        {const_cast<char *>("fillcolor"), nullptr, highlighted ? top : fill},
        {const_cast<char *>("background"), nullptr, background},
        {const_cast<char *>("darkShadow"), nullptr, bottom},
        {const_cast<char *>("lightShadow"), nullptr, top},
    };
    return WbCreateXPMPixmap(button, icon, symbols, 4);
}

struct ButtonRow {
    int form;
    const char *name;
    const char *const *icon;
    void (Controller::*callback)();
};

// Forms "frm1" to "frm3", left to right.
const ButtonRow kButtons[] = {
    {0, "Frm Back", frameBackIcon, &Controller::FrameBackCB},
    {0, "Reverse", reverseIcon, &Controller::ReverseCB},
    {0, "Fast Rev", fastReverseIcon, &Controller::RewindCB},
    {1, "Stop", stopIcon, &Controller::StopCB},
    {2, "Frm Fwd", frameForwardIcon, &Controller::FrameFwdCB},
    {2, "Play", playIcon, &Controller::PlayCB},
    {2, "Fast Fwd", fastForwardIcon, &Controller::FastFwdCB},
};

struct Binding {
    Controller *panel;
    void (Controller::*callback)();
};

void activateCB(Widget, XtPointer client, XtPointer)
{
    auto *b = static_cast<Binding *>(client);
    (b->panel->*(b->callback))();
}

}  // namespace

WbIconButton::WbIconButton(const char *name, Widget parent, const char *const *icon)
    : WbComponent(name)
{
    _w = XtVaCreateWidget(name, xmPushButtonWidgetClass, parent, nullptr);
    installDestroyHandler();
    normal_ = iconPixmap(_w, icon, false);
    if (normal_) {
        XmString text = XmStringCreateLocalized(const_cast<char *>(name));
        XtVaSetValues(_w, XmNlabelType, XmPIXMAP_AND_STRING, XmNlabelPixmap, normal_,
                      XmNlabelString, text, XmNpixmapPlacement, XmPIXMAP_TOP, nullptr);
        XmStringFree(text);
    }
    bool orvoMode = WbGetResource<Boolean>(parent, "orvoMode", "orvoMode", XtRBoolean, False);
    if (orvoMode && normal_) {
        highlighted_ = iconPixmap(_w, icon, true);
        if (highlighted_) {
            XtAddEventHandler(_w, EnterWindowMask, False, enter, this);
            XtAddEventHandler(_w, LeaveWindowMask, False, leave, this);
        }
    }
}

WbIconButton::~WbIconButton()
{
    Display *dpy = WbApp::instance() ? WbApp::instance()->display() : nullptr;
    if (dpy && normal_)
        XFreePixmap(dpy, normal_);
    if (dpy && highlighted_)
        XFreePixmap(dpy, highlighted_);
}

void WbIconButton::enter(Widget w, XtPointer client, XEvent *, Boolean *)
{
    XtVaSetValues(w, XmNlabelPixmap, static_cast<WbIconButton *>(client)->highlighted_, nullptr);
}

void WbIconButton::leave(Widget w, XtPointer client, XEvent *, Boolean *)
{
    XtVaSetValues(w, XmNlabelPixmap, static_cast<WbIconButton *>(client)->normal_, nullptr);
}

Controller::Controller(const char *name, Widget parent) : WbComponent(name)
{
    setDefaultResources(parent, kPanelResources);
    _w = XtVaCreateWidget(name, xmRowColumnWidgetClass, parent, XmNorientation, XmHORIZONTAL,
                          nullptr);
    installDestroyHandler();
    Widget forms[3];
    const char *formNames[3] = {"frm1", "frm2", "frm3"};
    for (int i = 0; i < 3; ++i)
        forms[i] = XtVaCreateManagedWidget(formNames[i], xmFormWidgetClass, _w, nullptr);
    Widget previous[3] = {nullptr, nullptr, nullptr};
    for (const ButtonRow &row : kButtons) {
        auto button = std::make_unique<WbIconButton>(row.name, forms[row.form], row.icon);
        Widget w = button->baseWidget();
        if (previous[row.form])
            XtVaSetValues(w, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget,
                          previous[row.form], nullptr);
        else
            XtVaSetValues(w, XmNleftAttachment, XmATTACH_FORM, nullptr);
        previous[row.form] = w;
        // The binding lives as long as the button: freed with its widget.
        auto *binding = new Binding{this, row.callback};
        XtAddCallback(w, XmNactivateCallback, activateCB, binding);
        XtAddCallback(
            w, XmNdestroyCallback,
            [](Widget, XtPointer client, XtPointer) { delete static_cast<Binding *>(client); },
            binding);
        button->show();
        buttons_.push_back(std::move(button));
    }
}

Controller::~Controller() = default;

void ControlWin::PlayCB()
{
    if (currentMovie)
        currentMovie->play();
}

void ControlWin::StopCB()
{
    if (currentMovie)
        currentMovie->stop();
}

void ControlWin::RewindCB()
{
    if (currentMovie)
        currentMovie->rewind();
}

void ControlWin::FastFwdCB()
{
    if (currentMovie)
        currentMovie->forwardPlay();
}

void ControlWin::FrameFwdCB()
{
    if (currentMovie)
        currentMovie->frmFwd();
}

void ControlWin::FrameBackCB()
{
    if (currentMovie)
        currentMovie->frmBack();
}

void ControlWin::ReverseCB()
{
    if (currentMovie)
        currentMovie->reversePlay();
}
