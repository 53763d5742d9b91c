// The main window model over the real file system in a temporary folder, with a scripted pump
// and message dialog, for tests of what reaches the window from outside: drops and the command
// line. The file dialogs always cancel and help does nothing; those belong to the window's tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/help_viewer.h"
#include "platform/posix_file_system.h"
#include "tests/fakes/job_fixture.h"
#include "tests/fakes/scripted_display.h"
#include "window/frm_quellmark.h"

namespace qm::test {

class CancellingDialogs : public FileDialog {
 public:
  std::optional<FileDialogResult> ShowOpen(const FileDialogRequest&) override { return {}; }
  std::optional<FileDialogResult> ShowSave(const FileDialogRequest&) override { return {}; }
};

class SilentHelp : public HelpViewer {
 public:
  void ShowContents() override {}
};

struct WindowFixture {
  std::string path(const std::string& name) const { return folder.path() + name; }
  void write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(path(name)); }
  // The names in the folder (not below it), sorted.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Three parts and the data file that a split of `stem`.avi would leave; returns the whole.
  std::string writePartSet(const std::string& stem) const {
    const std::string whole = JobFixture::pattern(200000);
    write(stem + ".001", whole.substr(0, 80000));
    write(stem + ".002", whole.substr(80000, 80000));
    write(stem + ".003", whole.substr(160000));
    write(stem + ".qkd", nameOf(stem) + ".avi\r\n3\r\n");
    return whole;
  }

  TempFolder folder;
  PosixFileSystem fs;
  FixturePump pump;
  JobState state;
  ScriptedDisplay display{state, pump};
  Services services{fs, pump, display};
  CancellingDialogs dialogs;
  SilentHelp help;
  frmQuellmark form{state, services, dialogs, help};
};

}  // namespace qm::test
