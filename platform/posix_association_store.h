// The association store of a freedesktop system: the XDG base folders of the user running the
// program, the program's folder from /proc, and the cache tools started without waiting.
#pragma once

#include "platform/association_store.h"
#include "platform/process_runner.h"

namespace qm {

class PosixAssociationStore : public AssociationStore {
 public:
  explicit PosixAssociationStore(ProcessRunner& runner) : runner_(runner) {}
  UserFolders Folders() override;
  void RunTool(const std::string& tool, const std::string& folder) override;

 private:
  ProcessRunner& runner_;
};

}  // namespace qm
