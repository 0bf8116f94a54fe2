// The help client: resource texts in an information dialog.
#include "help/help.h"

#include <X11/Xresource.h>
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <string>

namespace {

// The one registration of the process, on the application thread only.
struct Registration {
    Display *display = nullptr;
    std::string appName, appClass, separator;
    Widget shell = nullptr;
    Widget dialog = nullptr;
};

Registration &registration()
{
    static Registration r;
    return r;
}

// The text of resource help.<key>, or null. Each part of the dotted key is
// one level of the resource name.
const char *helpText(const Registration &r, const std::string &key)
{
    XrmDatabase db = XrmGetDatabase(r.display);
    if (!db)
        return nullptr;
    std::string name = r.appName + ".help";
    std::string cls = r.appClass + ".Help";
    size_t start = 0;
    while (start <= key.size()) {
        size_t dot = key.find('.', start);
        if (dot == std::string::npos)
            dot = key.size();
        if (dot == start)
            return nullptr;  // an empty part cannot name a resource level
        name += "." + key.substr(start, dot - start);
        cls += ".HelpKey";
        start = dot + 1;
    }
    char *type = nullptr;
    XrmValue value{};
    if (!XrmGetResource(db, name.c_str(), cls.c_str(), &type, &value) || !value.addr)
        return nullptr;
    return value.addr;
}

std::string paragraphs(const std::string &text, const std::string &separator)
{
    if (separator.empty())
        return text;
    std::string out;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        out += text.substr(start, at == std::string::npos ? std::string::npos : at - start);
        if (at == std::string::npos)
            return out;
        out += "\n\n";
        start = at + separator.size();
    }
}

Widget ensureDialog(Registration &r)
{
    if (r.dialog)
        return r.dialog;
    if (!r.shell) {
        Arg args[3];
        Cardinal n = 0;
        XtSetArg(args[n], XmNmappedWhenManaged, False); ++n;
        XtSetArg(args[n], XmNwidth, 1); ++n;
        XtSetArg(args[n], XmNheight, 1); ++n;
        r.shell = XtAppCreateShell("help", r.appClass.c_str(), applicationShellWidgetClass,
                                   r.display, args, n);
        XtRealizeWidget(r.shell);
    }
    r.dialog = XmCreateInformationDialog(r.shell, const_cast<char *>("helpDialog"), nullptr, 0);
    XtUnmanageChild(XmMessageBoxGetChild(r.dialog, XmDIALOG_CANCEL_BUTTON));
    XtUnmanageChild(XmMessageBoxGetChild(r.dialog, XmDIALOG_HELP_BUTTON));
    return r.dialog;
}

}  // namespace

extern "C" int OrvoHelpInit(Display *display, const char *appClass, const char *separator)
{
    if (!display || !appClass)
        return -1;
    try {
        Registration &r = registration();
        if (r.display != display) {
            r.shell = nullptr;  // a shell on another connection is of no use here
            r.dialog = nullptr;
        }
        r.display = display;
        r.appClass = appClass;
        r.separator = separator ? separator : "";
        String name = nullptr, cls = nullptr;
        XtGetApplicationNameAndClass(display, &name, &cls);
        r.appName = name ? name : appClass;
        return 0;
    } catch (...) {
        return -1;
    }
}

extern "C" int OrvoHelpMsg(const char *key, const char *book, int)
{
    Registration &r = registration();
    if (!r.display || !key || !*key)
        return -1;
    try {
        const char *text = helpText(r, key);
        const std::string shown = text ? paragraphs(text, r.separator)
                                       : "No help text is available for \"" + std::string(key) +
                                             "\".";
        Widget dialog = ensureDialog(r);
        XmString message = XmStringCreateLtoR(const_cast<char *>(shown.c_str()),
                                              const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
        const char *title = book && *book && std::string(book) != "*" ? book : "Help";
        XtVaSetValues(dialog, XmNmessageString, message, nullptr);
        XtVaSetValues(XtParent(dialog), XmNtitle, title, nullptr);
        XmStringFree(message);
        XtManageChild(dialog);
        if (XtIsRealized(XtParent(dialog)))
            XRaiseWindow(r.display, XtWindow(XtParent(dialog)));
        return text ? 0 : 1;
    } catch (...) {
        return -1;
    }
}

extern "C" Widget OrvoHelpDialog(void)
{
    return registration().dialog;
}
