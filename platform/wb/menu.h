// Menus: WbMenuBar (the bar of a WbWindow), WbMenu (a pull-down menu with
// its cascade button) and WbMenuToggle (a check entry).
//
// Entries are added at a position (-1: at the end). Callbacks have the X
// toolkit signature and receive the client data given here; labels are the
// texts the application looked up (a null label shows the entry's name).
// A menu owns its submenus and toggles.
#ifndef CINELARK_WB_MENU_H
#define CINELARK_WB_MENU_H

#include <memory>
#include <vector>

#include "wb/component.h"

class WbMenuToggle;

class WbMenu : public WbComponent {
public:
    // A pull-down menu under parent (a menu bar or a menu pane), reached
    // through a cascade button labelled label.
    WbMenu(const char *label, Widget parent, int position = -1);
    ~WbMenu() override;

    WbMenu *addSubmenu(const char *label, int position = -1);
    Widget addAction(const char *label, XtCallbackProc callback, XtPointer clientData,
                     int position = -1);
    WbMenuToggle *addToggle(const char *label, XtCallbackProc callback, XtPointer clientData,
                            int state, int position = -1);
    Widget addSeparator(int position = -1);

    // The button that opens this menu (null for a menu bar).
    Widget cascadeButton() const { return cascade_; }

    const char *className() override;

protected:
    // For WbMenuBar, which makes its own row-column.
    explicit WbMenu(const char *name);

private:
    Widget cascade_ = nullptr;
    std::vector<std::unique_ptr<WbMenu>> submenus_;
    std::vector<std::unique_ptr<WbMenuToggle>> toggles_;
};

class WbMenuBar : public WbMenu {
public:
    // parent is the main window of the WbWindow that will show the bar.
    explicit WbMenuBar(Widget parent, const char *name = "menuBar");
    const char *className() override;
};

class WbMenuToggle : public WbComponent {
public:
    WbMenuToggle(const char *label, Widget menuPane, XtCallbackProc callback,
                 XtPointer clientData, int state, int position = -1);

    // Shows the state without running the callback.
    void setVisualState(int state);
    int getState() const;

    const char *className() override;
};

#endif
