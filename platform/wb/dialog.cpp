// WbDialogManager: message dialogs posted without waiting.
#include "wb/dialog.h"

#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <cstdio>

#include "wb/app.h"

struct WbDialogManager::Slot {
    WbDialogManager *owner = nullptr;
    Widget dialog = nullptr;
    XtCallbackProc ok = nullptr, cancel = nullptr, help = nullptr;
    XtPointer clientData = nullptr;
};

WbDialogManager::WbDialogManager(const char *name) : name_(name ? name : "dialog") {}

WbDialogManager::~WbDialogManager()
{
    for (auto &slot : slots_)
        if (slot->dialog)
            XtDestroyWidget(XtParent(slot->dialog));
}

Widget WbDialogManager::post(const char *text, XtCallbackProc ok, XtCallbackProc cancel,
                             XtCallbackProc help, XtPointer clientData)
{
    return postWith(XmDIALOG_MODELESS, text, ok, cancel, help, clientData);
}

Widget WbDialogManager::postModal(const char *text, XtCallbackProc ok, XtCallbackProc cancel,
                                  XtCallbackProc help, XtPointer clientData)
{
    return postWith(XmDIALOG_FULL_APPLICATION_MODAL, text, ok, cancel, help, clientData);
}

std::vector<Widget> WbDialogManager::postedDialogs() const
{
    std::vector<Widget> up;
    for (const auto &slot : slots_)
        if (slot->dialog && XtIsManaged(slot->dialog))
            up.push_back(slot->dialog);
    return up;
}

Widget WbDialogManager::postWith(unsigned char style, const char *text, XtCallbackProc ok,
                                 XtCallbackProc cancel, XtCallbackProc help,
                                 XtPointer clientData)
{
    WbApp *app = WbApp::instance();
    if (!app || !app->isOpen())
        return nullptr;
    Slot *slot = nullptr;
    for (auto &s : slots_)
        if (s->dialog && !XtIsManaged(s->dialog))
            slot = s.get();
    if (!slot) {
        auto made = std::make_unique<Slot>();
        made->owner = this;
        made->dialog = createDialog(app->baseWidget());
        if (!made->dialog)
            return nullptr;
        XtAddCallback(made->dialog, XmNokCallback, answeredCB, made.get());
        XtAddCallback(made->dialog, XmNcancelCallback, answeredCB, made.get());
        XtAddCallback(made->dialog, XmNhelpCallback, answeredCB, made.get());
        slot = made.get();
        slots_.push_back(std::move(made));
    }
    slot->ok = ok;
    slot->cancel = cancel;
    slot->help = help;
    slot->clientData = clientData;

    XmString message = XmStringCreateLtoR(const_cast<char *>(text ? text : ""),
                                          const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
    XtVaSetValues(slot->dialog, XmNmessageString, message, XmNdialogStyle, style, nullptr);
    XmStringFree(message);
    Widget cancelButton = XmMessageBoxGetChild(slot->dialog, XmDIALOG_CANCEL_BUTTON);
    Widget helpButton = XmMessageBoxGetChild(slot->dialog, XmDIALOG_HELP_BUTTON);
    if (cancel)
        XtManageChild(cancelButton);
    else
        XtUnmanageChild(cancelButton);
    if (help)
        XtManageChild(helpButton);
    else
        XtUnmanageChild(helpButton);
    XtManageChild(slot->dialog);
    logPosted(text ? text : "");
    return slot->dialog;
}

void WbDialogManager::answeredCB(Widget w, XtPointer client, XtPointer callData)
{
    auto *slot = static_cast<Slot *>(client);
    auto *answer = static_cast<XmAnyCallbackStruct *>(callData);
    // Help leaves the question on screen; OK and Cancel answer it.
    if (!answer || answer->reason != XmCR_HELP)
        XtUnmanageChild(slot->dialog);
    XtCallbackProc run = nullptr;
    if (answer && answer->reason == XmCR_OK)
        run = slot->ok;
    else if (answer && answer->reason == XmCR_CANCEL)
        run = slot->cancel;
    else if (answer && answer->reason == XmCR_HELP)
        run = slot->help;
    if (run)
        run(w, slot->clientData, callData);
}

WbErrorDialogManager::WbErrorDialogManager(const char *name) : WbDialogManager(name) {}

namespace {

// Dialog windows are titled after the application and their kind, rather
// than after the widget names the toolkit would show.
Widget titled(Widget dialog, const char *kind)
{
    const WbApp *app = WbApp::instance();
    std::string title = std::string(app ? app->applicationClass() : "") + " " + kind;
    XtVaSetValues(XtParent(dialog), XmNtitle, title.c_str(), nullptr);
    return dialog;
}

}  // namespace

Widget WbErrorDialogManager::createDialog(Widget parent)
{
    return titled(XmCreateErrorDialog(parent, const_cast<char *>(name()), nullptr, 0), "Error");
}

void WbErrorDialogManager::logPosted(const char *text)
{
    const WbApp *app = WbApp::instance();
    std::fprintf(stderr, "%s: %s\n", app ? app->applicationName() : "error", text);
    std::fflush(stderr);
}

WbInfoDialogManager::WbInfoDialogManager(const char *name) : WbDialogManager(name) {}

Widget WbInfoDialogManager::createDialog(Widget parent)
{
    return titled(XmCreateInformationDialog(parent, const_cast<char *>(name()), nullptr, 0),
                  "Information");
}

WbDialogManager *getTheErrorDialog()
{
    // Made on first use and kept for the life of the process, like the
    // display connection its dialogs live on.
    static WbErrorDialogManager *theErrorDialog = new WbErrorDialogManager();
    return theErrorDialog;
}
