/*
 * The desktop help client.
 *
 * The application registers once with OrvoHelpInit and then asks for help
 * by key ("cinelark.about", "cinelark.watching", ...). Linux desktops have
 * no help server to send such requests to, so this client shows the help
 * itself: the text for a key is the application's resource
 * "help.<key>" (class "Help.HelpKey..."), for instance
 *
 *     Cinelark*help.cinelark.about: Cinelark plays movie files.
 *
 * and it appears in a Motif information dialog, one dialog reused for every
 * request. Where the text holds the separator given at registration, each
 * piece becomes a paragraph of its own. A key without a text shows a notice
 * saying so.
 *
 * Both calls run on the application thread; the display must have been
 * opened through the X toolkit (the application object's connection).
 */
#ifndef CINELARK_HELP_H
#define CINELARK_HELP_H

#include <X11/Intrinsic.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Registers the application: its display, its resource class and the
 * paragraph separator of its help texts. Returns 0, or -1 for a null
 * display or class. Registering again replaces the earlier registration. */
int OrvoHelpInit(Display *display, const char *appClass, const char *separator);

/* Shows the help for key. book names the help volume ("*": the
 * application's own, otherwise used as the dialog's title); flags are
 * reserved and must be 0. Returns 0 when the text was shown, 1 when the key
 * has no text (the notice was shown instead), -1 before registration or
 * without a key. */
int OrvoHelpMsg(const char *key, const char *book, int flags);

/* The help dialog, or NULL before the first request. */
Widget OrvoHelpDialog(void);

#ifdef __cplusplus
}
#endif

#endif /* CINELARK_HELP_H */
