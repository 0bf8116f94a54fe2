// WbFileSelectionDialog.
#include "wb/file_dialog.h"

#include <Xm/FileSB.h>
#include <Xm/Xm.h>

#include "wb/app.h"

WbFileSelectionDialog::WbFileSelectionDialog(const char *name) : WbComponent(name)
{
    WbApp *app = WbApp::instance();
    if (!app || !app->isOpen())
        return;
    _w = XmCreateFileSelectionDialog(app->baseWidget(), const_cast<char *>(_name.c_str()),
                                     nullptr, 0);
    XtVaSetValues(XtParent(_w), XmNtitle, _name.c_str(), nullptr);
    installDestroyHandler();
    XtAddCallback(_w, XmNokCallback, okCB, this);
    XtAddCallback(_w, XmNcancelCallback, cancelCB, this);
    XtAddCallback(_w, XmNapplyCallback, applyCB, this);
    // There is no help for this dialog.
    XtUnmanageChild(XmFileSelectionBoxGetChild(_w, XmDIALOG_HELP_BUTTON));
}

void WbFileSelectionDialog::post()
{
    if (!_w)
        return;
    XtVaSetValues(_w, XmNdialogStyle, XmDIALOG_MODELESS, nullptr);
    XtManageChild(_w);
}

void WbFileSelectionDialog::postModal()
{
    if (!_w)
        return;
    XtVaSetValues(_w, XmNdialogStyle, XmDIALOG_FULL_APPLICATION_MODAL, nullptr);
    XtManageChild(_w);
}

void WbFileSelectionDialog::unpost()
{
    if (_w)
        XtUnmanageChild(_w);
}

void WbFileSelectionDialog::ok(Widget, XtPointer callData)
{
    auto *data = static_cast<XmFileSelectionBoxCallbackStruct *>(callData);
    if (data && data->value) {
        char *text = static_cast<char *>(XmStringUnparse(data->value, nullptr, XmCHARSET_TEXT,
                                                         XmCHARSET_TEXT, nullptr, 0,
                                                         XmOUTPUT_ALL));
        selected_ = text ? text : "";
        XtFree(text);
    }
    unpost();
}

void WbFileSelectionDialog::cancel(Widget, XtPointer)
{
    unpost();
}

void WbFileSelectionDialog::apply(Widget, XtPointer) {}

const char *WbFileSelectionDialog::className()
{
    return "WbFileSelectionDialog";
}

void WbFileSelectionDialog::okCB(Widget w, XtPointer client, XtPointer callData)
{
    static_cast<WbFileSelectionDialog *>(client)->ok(w, callData);
}

void WbFileSelectionDialog::cancelCB(Widget w, XtPointer client, XtPointer callData)
{
    static_cast<WbFileSelectionDialog *>(client)->cancel(w, callData);
}

void WbFileSelectionDialog::applyCB(Widget w, XtPointer client, XtPointer callData)
{
    static_cast<WbFileSelectionDialog *>(client)->apply(w, callData);
}
