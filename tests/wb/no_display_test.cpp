// The framework when the display cannot be opened: the application object
// says so, and every other object stays empty and harmless instead of
// crashing on a missing connection.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "wb/wb.h"

namespace {

class Empty : public WbWindow {
public:
    Empty() : WbWindow("empty") {}
    Widget setUpInterface(Widget) override
    {
        ++setUps;
        return nullptr;
    }
    int setUps = 0;
};

TEST(WithoutDisplay, TheApplicationReportsItAndEveryObjectStaysEmpty)
{
    // Before the application object exists there are no resources either.
    EXPECT_EQ(WbApp::instance(), nullptr);
    EXPECT_EQ(WbGetResource("fileErr", "Cinelark"), nullptr);
    EXPECT_EQ(getTheErrorDialog()->post("nobody sees this"), nullptr);

    setenv("DISPLAY", ":97531", 1);  // no server listens there
    static char arg0[] = "wb_tests", arg1[] = "clip.mv";
    char *argv[] = {arg0, arg1, nullptr};
    int argc = 2;
    WbApp app("Cinelark", &argc, argv, nullptr, 0);
    EXPECT_FALSE(app.isOpen());
    EXPECT_EQ(app.display(), nullptr);
    EXPECT_EQ(argc, 2);
    app.run();  // returns at once
    EXPECT_TRUE(app.quit());
    app.busy("busy");
    app.notBusy();

    Empty window;
    EXPECT_EQ(window.baseWidget(), nullptr);
    window.show();
    window.setTitle("t");
    window.raise();
    window.busy();
    window.hide();
    EXPECT_EQ(window.setUps, 0);

    auto *bar = new WbMenuBar(window.mainWindowWidget());
    window.setMenuBar(bar);
    EXPECT_EQ(bar->addSubmenu("File"), nullptr);
    EXPECT_EQ(bar->addAction("Open", nullptr, nullptr), nullptr);
    EXPECT_EQ(bar->addToggle("Mute", nullptr, nullptr, 1), nullptr);
    EXPECT_EQ(bar->addSeparator(), nullptr);

    WbFileSelectionDialog chooser("Movie Name");
    EXPECT_EQ(chooser.baseWidget(), nullptr);
    chooser.postModal();
    EXPECT_STREQ(chooser.selectedPath(), "");

    EXPECT_EQ(getTheErrorDialog()->postModal("no display"), nullptr);
    EXPECT_TRUE(getTheErrorDialog()->postedDialogs().empty());
    EXPECT_EQ(WbGetResource("fileErr", "Cinelark"), nullptr);
    EXPECT_EQ(WbCreateXPMPixmap(nullptr, nullptr, nullptr, 0), None);
}

}  // namespace
