// The help client on a real display: texts by key from the application's
// resources, paragraphs, titles and missing keys.
#include <gtest/gtest.h>

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>

#include <chrono>
#include <string>
#include <thread>

#include "help/help.h"

namespace {

std::string messageOf(Widget dialog)
{
    XmString text = nullptr;
    XtVaGetValues(dialog, XmNmessageString, &text, nullptr);
    // Line breaks are separators inside the string; a mapping turns them
    // back into newlines.
    XmString separator = XmStringSeparatorCreate();
    Arg args[3];
    Cardinal n = 0;
    XtSetArg(args[n], XmNpattern, "\n"); ++n;
    XtSetArg(args[n], XmNsubstitute, separator); ++n;
    XtSetArg(args[n], XmNincludeStatus, XmINSERT); ++n;
    XmParseMapping newline = XmParseMappingCreate(args, n);
    char *plain = static_cast<char *>(XmStringUnparse(text, nullptr, XmCHARSET_TEXT,
                                                      XmCHARSET_TEXT, &newline, 1, XmOUTPUT_ALL));
    XmParseMappingFree(newline);
    XmStringFree(separator);
    std::string out = plain ? plain : "";
    XtFree(plain);
    XmStringFree(text);
    return out;
}

std::string titleOf(Widget dialog)
{
    char *title = nullptr;
    XtVaGetValues(XtParent(dialog), XmNtitle, &title, nullptr);
    return title ? title : "";
}

// The application's connection, opened by the toolkit with the texts in
// its fallback resources.
Display *toolkitDisplay()
{
    static const char *const fallbacks[] = {
        "*help.cinelark.about: Plays movie files.;Drag the marker to move.",
        "*help.cinelark.watching: Click the picture to play.",
        nullptr,
    };
    XtToolkitInitialize();
    XtAppContext context = XtCreateApplicationContext();
    XtAppSetFallbackResources(context, const_cast<String *>(fallbacks));
    static char arg0[] = "help_tests";
    static char *argv[] = {arg0, nullptr};
    int argc = 1;
    Display *opened = nullptr;
    for (int attempt = 0; attempt < 10 && !opened; ++attempt) {  // a busy server may refuse
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        opened = XtOpenDisplay(context, nullptr, nullptr, "CinelarkHelpTest", nullptr, 0, &argc,
                               argv);
    }
    return opened;
}

TEST(Help, TextsComeFromResourcesByKey)
{
    Display *display = toolkitDisplay();
    ASSERT_NE(display, nullptr) << "this test needs an X display";
    ASSERT_EQ(OrvoHelpInit(display, "CinelarkHelpTest", ";"), 0);

    ASSERT_EQ(OrvoHelpMsg("cinelark.about", "*", 0), 0);
    Widget dialog = OrvoHelpDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(XtIsManaged(dialog));
    EXPECT_EQ(messageOf(dialog), "Plays movie files.\n\nDrag the marker to move.");
    EXPECT_EQ(titleOf(dialog), "Help");

    // The same dialog shows the next request; a named book is its title.
    ASSERT_EQ(OrvoHelpMsg("cinelark.watching", "Cinelark Guide", 0), 0);
    EXPECT_EQ(OrvoHelpDialog(), dialog);
    EXPECT_EQ(messageOf(dialog), "Click the picture to play.");
    EXPECT_EQ(titleOf(dialog), "Cinelark Guide");

    EXPECT_EQ(OrvoHelpMsg("cinelark.running", "*", 0), 1);
    EXPECT_EQ(messageOf(dialog), "No help text is available for \"cinelark.running\".");
    EXPECT_EQ(OrvoHelpMsg("cinelark..about", "*", 0), 1);
    EXPECT_EQ(OrvoHelpMsg("", "*", 0), -1);
    EXPECT_EQ(OrvoHelpMsg(nullptr, "*", 0), -1);
}

}  // namespace
