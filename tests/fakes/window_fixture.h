// The main window model over the real file system in a temporary folder, with a scripted pump
// and message dialog: the window as a user drives it.
#pragma once

#include <optional>

#include "platform/file_dialog.h"
#include "platform/help_viewer.h"
#include "tests/fakes/job_fixture.h"
#include "window/frm_quellmark.h"

namespace qm::test {

// Every file dialog is cancelled, and help shows nothing.
struct CancellingDialogs : FileDialog {
  std::optional<FileDialogResult> ShowOpen(const FileDialogRequest&) override { return {}; }
  std::optional<FileDialogResult> ShowSave(const FileDialogRequest&) override { return {}; }
};
struct SilentHelp : HelpViewer {
  void ShowContents() override {}
};

struct WindowFixture : JobFixture {
  // Three parts and the data file that a split of `stem`.avi would leave; returns the whole.
  std::string writePartSet(const std::string& stem) const {
    const std::string whole = JobFixture::pattern(200000);
    for (int i = 0; i < 3; ++i)
      writeFile(stem + ".00" + std::to_string(i + 1), whole.substr(i * 80000, 80000));
    writeFile(stem + ".qkd", nameOf(stem) + ".avi\r\n3\r\n");
    return whole;
  }

  Services services{fs, pump, display};
  CancellingDialogs dialogs;
  SilentHelp help;
  frmQuellmark form{state, services, dialogs, help};
};

}  // namespace qm::test
