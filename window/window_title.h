// The main window's title: while a split or join runs it leads with the whole file's progress
// ("37% Quellmark v1.0"), so the desktop's task bar and window list show how far the run is.
#pragma once

#include <string>

#include "window/frm_quellmark.h"

namespace qm {

std::string MainWindowTitle(const frmQuellmark& form);

}  // namespace qm
