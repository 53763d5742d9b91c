// Files dropped on the main window: the first one becomes the source, and with "Begin
// automatically on drop" checked the split or join starts at once.
#pragma once

#include <string>
#include <vector>

#include "window/frm_quellmark.h"

namespace qm {

// Handles one drop of local files, given in the order the desktop lists them. The first path
// is taken whole, however long; the others are ignored. A drop that arrives while a split or
// join runs is ignored altogether: it neither changes the fields nor starts a second run.
void DropWindowProc(frmQuellmark& form, const std::vector<std::string>& files);

}  // namespace qm
