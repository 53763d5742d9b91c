// Shows the program's own help document; the caller does not wait for it.
#pragma once

namespace qm {

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  virtual void ShowContents() = 0;
};

}  // namespace qm
