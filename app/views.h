// The command procedures of the windows of configuration, training, browsing and charts,
// gathered into the one table the shell dispatches through.
#pragma once

#include "shell/viewprocs.h"

namespace AppViews {
// Every window library's procedures; the installed table is left as it was.
modMenu::ViewProcedures Procedures();
}
