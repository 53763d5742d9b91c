// The Open and Save file dialogs. A cancelled dialog is a failure: the result is empty.
#pragma once

#include <optional>
#include <string>

namespace qm {

struct FileDialogRequest {
  std::string title;
  // Filter in the "Description|pattern|Description|pattern" form.
  std::string filter;
  std::string initialFolder;
  std::string fileName;
};

struct FileDialogResult {
  std::string fileName;   // full path
  std::string fileTitle;  // the name without folder
};

class FileDialog {
 public:
  virtual ~FileDialog() = default;
  virtual std::optional<FileDialogResult> ShowOpen(const FileDialogRequest& request) = 0;
  virtual std::optional<FileDialogResult> ShowSave(const FileDialogRequest& request) = 0;
};

}  // namespace qm
