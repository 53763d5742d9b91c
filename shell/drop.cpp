#include "shell/drop.h"

namespace qm {
namespace {

std::string withoutBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

void DropWindowProc(frmQuellmark& form, const std::vector<std::string>& files) {
  if (files.empty() || form.state().Running) return;

  form.txtSource.setText(withoutBlanks(files.front()));
  // The analysis takes the field's text, as the user would see it, not the dropped name.
  form.LoadSource(form.txtSource.text());

  // Each test reads the controls afresh: the join of the first lets the window run, and the
  // user may switch the mode meanwhile.
  if (form.chkAutoStart.value() == 1 && form.optJoin.value()) form.Check2.setValue(1);
  if (form.chkAutoStart.value() == 1 && !form.optJoin.value()) form.Check1.setValue(1);
}

}  // namespace qm
