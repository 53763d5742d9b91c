// File dialogs and a help viewer that answer from a script and remember what they were asked,
// so tests can pick files or cancel as a user would and check what the dialogs were shown.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/file_system.h"
#include "platform/help_viewer.h"

namespace qm::test {

class ScriptedFileDialog : public FileDialog {
 public:
  std::optional<FileDialogResult> ShowOpen(const FileDialogRequest& request) override {
    opens.push_back(request);
    return answer();
  }
  std::optional<FileDialogResult> ShowSave(const FileDialogRequest& request) override {
    saves.push_back(request);
    return answer();
  }

  // The full paths the user picks, in order; an empty entry, or none left, cancels.
  std::deque<std::string> picks;
  std::vector<FileDialogRequest> opens;
  std::vector<FileDialogRequest> saves;

 private:
  std::optional<FileDialogResult> answer() {
    if (picks.empty()) return std::nullopt;
    const std::string path = picks.front();
    picks.pop_front();
    if (path.empty()) return std::nullopt;
    return FileDialogResult{path, nameOf(path)};
  }
};

class ScriptedHelpViewer : public HelpViewer {
 public:
  void ShowContents() override { ++shown; }
  int shown = 0;
};

}  // namespace qm::test
