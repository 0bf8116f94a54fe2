// WbFileSelectionDialog: the Motif file selection dialog as a component.
//
// The dialog is made at construction (unposted) under the application's
// hidden shell; deleting the component destroys it, and Motif takes its
// dialog shell along. Its buttons arrive at the virtual ok, cancel and apply
// handlers; a subclass overrides them and calls the base handler first.
#ifndef CINELARK_WB_FILE_DIALOG_H
#define CINELARK_WB_FILE_DIALOG_H

#include <string>

#include "wb/component.h"

class WbFileSelectionDialog : public WbComponent {
public:
    explicit WbFileSelectionDialog(const char *name);

    void post();
    void postModal();
    void unpost();

    // The path the user last confirmed (empty before the first OK).
    const char *selectedPath() const { return selected_.c_str(); }

    const char *className() override;

protected:
    // OK: records the chosen path (the callData is the Motif file selection
    // callback structure) and takes the dialog down.
    virtual void ok(Widget w, XtPointer callData);
    // Cancel: takes the dialog down.
    virtual void cancel(Widget w, XtPointer callData);
    // Filter: Motif has already listed the directory again; nothing more.
    virtual void apply(Widget w, XtPointer callData);

private:
    static void okCB(Widget, XtPointer, XtPointer);
    static void cancelCB(Widget, XtPointer, XtPointer);
    static void applyCB(Widget, XtPointer, XtPointer);

    std::string selected_;
};

#endif
