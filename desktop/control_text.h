// What the windows tell a screen reader and the mouse pointer about a control: its accessible
// name (from its caption, or from the label beside it where it has none), its tooltip, and
// which label names which field.
#pragma once

#include <string>

#include <QString>

namespace qm {

// A caption as it is spoken: without its access-key mark ("&&" stays one "&") and without the
// blanks that pad it into line with its neighbours.
QString SpokenCaption(const std::string& caption);

struct ControlText {
  QString name;                  // for controls without a caption of their own; empty otherwise
  QString toolTip;               // empty: none
  const char* labels = nullptr;  // for a label: the control it names
};

// The texts of the control named `controlName`; all empty for one not listed.
ControlText TextOfControl(const std::string& controlName);

}  // namespace qm
