// Shows the message dialog modally; the answer comes back through the job state's MessageCode.
#pragma once

namespace qm {

class ModalDisplay {
 public:
  virtual ~ModalDisplay() = default;
  // Shows frmError for the current MessageCode and returns once it is closed.
  virtual void ShowError() = 0;
};

}  // namespace qm
