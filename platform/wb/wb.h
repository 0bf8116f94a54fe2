// The component framework over Motif, Xt and Xpm, in one include.
// Everything here runs on the application thread, the one that runs the
// event loop.
#ifndef CINELARK_WB_WB_H
#define CINELARK_WB_WB_H

#include "wb/app.h"
#include "wb/component.h"
#include "wb/dialog.h"
#include "wb/file_dialog.h"
#include "wb/menu.h"
#include "wb/resource.h"
#include "wb/window.h"

#endif
