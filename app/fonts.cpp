// The player's fonts: anti-aliased faces drawn through Xft, named by the
// render tables "cinelark" (menus, fields, labels) and "cinelarkSmall" (the
// button panel) among the built-in resources, where X resources can change
// them. Should no scalable font be installed at all, both tables fall back
// to "fixed", the core font every X server has, so that nothing is
// reported and every text still shows.
#include <X11/Xft/Xft.h>
#include <X11/Xresource.h>

#include <initializer_list>

#include "state.h"

void chooseFonts(Display *display)
{
    if (XftFont *font = XftFontOpenName(display, DefaultScreen(display), "DejaVu Sans-10")) {
        XftFontClose(display, font);
        return;
    }
    XrmDatabase db = XrmGetDatabase(display);
    for (const char *line : {"Cinelark*renderTable.cinelark.fontType: FONT_IS_FONT",
                             "Cinelark*renderTable.cinelark.fontName: fixed",
                             "Cinelark*renderTable.cinelarkSmall.fontType: FONT_IS_FONT",
                             "Cinelark*renderTable.cinelarkSmall.fontName: fixed"})
        XrmPutLineResource(&db, line);
    XrmSetDatabase(display, db);
}
