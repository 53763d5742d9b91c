#include "window/window_title.h"

namespace qm {

std::string MainWindowTitle(const frmQuellmark& form) {
  if (!form.running()) return form.caption();
  return std::to_string(form.proFile.value()) + "% " + form.caption();
}

}  // namespace qm
