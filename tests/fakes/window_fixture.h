// The main window model over the real file system in a temporary folder, with a scripted pump
// and message dialog: the window as a user drives it.
#pragma once

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/help_viewer.h"
#include "tests/fakes/job_fixture.h"
#include "window/frm_quellmark.h"

namespace qm::test {

// Every file dialog is cancelled, and help shows nothing.
class CancellingDialogs : public FileDialog {
 public:
  std::optional<FileDialogResult> ShowOpen(const FileDialogRequest&) override { return {}; }
  std::optional<FileDialogResult> ShowSave(const FileDialogRequest&) override { return {}; }
};

class SilentHelp : public HelpViewer {
 public:
  void ShowContents() override {}
};

// Passes everything on until a test arms a fault; `current` pins the current folder, so that
// relative names resolve inside the test's folder.
class WindowFileSystem : public FaultFileSystem {
 public:
  using FaultFileSystem::FaultFileSystem;
  std::string CurrentFolder() override {
    return current.empty() ? FaultFileSystem::CurrentFolder() : current;
  }
  std::string current;
};

struct WindowFixture {
  std::string path(const std::string& name) const { return folder.path() + name; }
  void write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  // A file of `length` bytes that takes no room on the disk.
  void sized(const std::string& name, std::uintmax_t length) const {
    write(name, "");
    std::filesystem::resize_file(path(name), length);
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
  PosixFileSystem posix;
  WindowFileSystem fs{posix};
  FixturePump pump;
  JobState state;
  ScriptedDisplay display{state, pump};
  Services services{fs, pump, display};
  CancellingDialogs dialogs;
  SilentHelp help;
  frmQuellmark form{state, services, dialogs, help};
};

}  // namespace qm::test
