// The Open and Save dialogs, with Qt's own file dialog so that tests can drive it.
#pragma once

#include <QStringList>

#include "platform/file_dialog.h"

class QWidget;

namespace qm {

// "Description|pattern|Description|pattern" as Qt name filters ("Description (pattern)").
// "*.*" means every file, as the filter intends, not only names with a dot.
QStringList nameFilters(const std::string& filter);

class QtFileDialog : public FileDialog {
 public:
  explicit QtFileDialog(QWidget* owner) : owner_(owner) {}
  std::optional<FileDialogResult> ShowOpen(const FileDialogRequest& request) override;
  std::optional<FileDialogResult> ShowSave(const FileDialogRequest& request) override;

 private:
  std::optional<FileDialogResult> show(const FileDialogRequest& request, bool save);
  QWidget* owner_;
};

}  // namespace qm
