// Message dialogs: WbDialogManager posts a text in a Motif message dialog
// and returns at once; the dialog goes away when the user answers it.
//
// A manager keeps a small pool of dialogs of its kind, so a second post
// while the first is still up shows a second dialog rather than replacing
// the text the user is reading. getTheErrorDialog() is the application's
// error dialog manager, made on first use. Error dialogs also write their
// text on standard error, after the application's name, so that the
// session's log keeps every error the user was shown.
#ifndef CINELARK_WB_DIALOG_H
#define CINELARK_WB_DIALOG_H

#include <X11/Intrinsic.h>

#include <memory>
#include <string>
#include <vector>

class WbDialogManager {
public:
    explicit WbDialogManager(const char *name);
    virtual ~WbDialogManager();
    WbDialogManager(const WbDialogManager &) = delete;
    WbDialogManager &operator=(const WbDialogManager &) = delete;

    // Shows text and returns the dialog at once. Each callback, when given,
    // adds its button (OK is always there) and runs after the dialog has
    // gone, with clientData. post leaves the rest of the application usable;
    // postModal blocks input to it until the dialog is answered.
    Widget post(const char *text, XtCallbackProc ok = nullptr, XtCallbackProc cancel = nullptr,
                XtCallbackProc help = nullptr, XtPointer clientData = nullptr);
    Widget postModal(const char *text, XtCallbackProc ok = nullptr,
                     XtCallbackProc cancel = nullptr, XtCallbackProc help = nullptr,
                     XtPointer clientData = nullptr);

    // The dialogs on screen now.
    std::vector<Widget> postedDialogs() const;

    const char *name() const { return name_.c_str(); }

protected:
    // Makes one dialog of the manager's kind under parent.
    virtual Widget createDialog(Widget parent) = 0;
    // Runs as each text is shown.
    virtual void logPosted(const char *) {}

private:
    struct Slot;
    Widget postWith(unsigned char style, const char *text, XtCallbackProc ok,
                    XtCallbackProc cancel, XtCallbackProc help, XtPointer clientData);
    static void answeredCB(Widget, XtPointer client, XtPointer callData);

    std::string name_;
    std::vector<std::unique_ptr<Slot>> slots_;
};

// The application's error dialog.
WbDialogManager *getTheErrorDialog();

// Dialog managers for the other Motif message kinds.
class WbErrorDialogManager : public WbDialogManager {
public:
    explicit WbErrorDialogManager(const char *name = "errorDialog");
protected:
    Widget createDialog(Widget parent) override;
    void logPosted(const char *text) override;
};

class WbInfoDialogManager : public WbDialogManager {
public:
    explicit WbInfoDialogManager(const char *name = "infoDialog");
protected:
    Widget createDialog(Widget parent) override;
};

#endif
