#include "shell/drop.h"

namespace qm {

void DropWindowProc(frmQuellmark& form, const std::vector<std::string>& files) {
  if (files.empty() || form.state().Running) return;

  // The path is taken whole, blanks included: on Linux a blank at either end belongs to the
  // name, and cutting it could load a different file.
  form.txtSource.setText(files.front());
  // The analysis takes the field's text, as the user would see it, not the dropped name.
  form.LoadSource(form.txtSource.text());

  // Each test reads the controls afresh: the join of the first lets the window run, and the
  // user may switch the mode meanwhile.
  if (form.chkAutoStart.value() == 1 && form.optJoin.value()) form.Check2.setValue(1);
  if (form.chkAutoStart.value() == 1 && !form.optJoin.value()) form.Check1.setValue(1);
}

}  // namespace qm
