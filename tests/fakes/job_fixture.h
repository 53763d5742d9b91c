// A headless job for engine tests: the ten controls split and join work on, a job state, the
// real file system under a fault-injecting wrapper (disarmed until a test arms it) rooted in a
// fresh temporary folder, a scripted pump and a scripted display.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/job_state.h"
#include "platform/controls.h"
#include "platform/posix_file_system.h"
#include "tests/fakes/fault_file_system.h"
#include "tests/fakes/scripted_display.h"
#include "tests/fakes/scripted_pump.h"

namespace qm::test {

// A folder of its own for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quellmark-test-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, ending in "/".
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The pump of the fixture: remembers how long the current Pause wants to wait, so a test can
// tell the pause after a block (0.2/80 s) from the pause before a part (1/80 s).
class FixturePump : public ScriptedPump {
 public:
  void ProcessEvents(double deadline) override {
    lastWait = deadline - clock;
    ScriptedPump::ProcessEvents(deadline);
  }
  bool inBlockPause() const { return lastWait < 0.005; }
  double lastWait = 0.0;
};

struct JobFixture {
  JobFixture()
      : form("frmTest"),
        txtSource(form, "txtSource"),
        txtDest(form, "txtDest"),
        lblNumber(form, "lblNumber"),
        lblSectionNum(form, "lblSectionNum"),
        proFile(form, "proFile"),
        proSection(form, "proSection"),
        cmdBegin(form, "cmdBegin"),
        cmdCancel(form, "cmdCancel"),
        chkDelete(form, "chkDelete"),
        chkSelfJoin(form, "chkSelfJoin"),
        controls{txtSource,  txtDest,  lblNumber, lblSectionNum, proFile,
                 proSection, cmdBegin, cmdCancel, chkDelete,     chkSelfJoin},
        fs(posix),
        display(state, pump),
        services{fs, pump, display},
        job{state, controls, services} {
    cmdCancel.setVisible(false);
    // What the window's Cancel handler does: the running operation sees it after the block.
    cmdCancel.Click = [this] { state.CancelPressed = true; };
    lblNumber.setCaption("0");
  }

  // The full path of `name` inside the temporary folder.
  std::string path(const std::string& name) const { return folder.path() + name; }

  void writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path(name));
  }
  // `length` bytes of a pattern that differs from block to block, so misplaced bytes show.
  static std::string pattern(std::size_t length, unsigned seed = 1) {
    std::string bytes(length, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : bytes) {
      x = x * 1664525u + 1013904223u;
      c = static_cast<char>(x >> 24);
    }
    return bytes;
  }
  // A file of `length` bytes that takes no room on the disk (holes read as zeros).
  void makeSparse(const std::string& name, std::uint64_t length) const {
    const int fd = ::open(path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(length)) != 0) {
      throw std::runtime_error("cannot make " + path(name));
    }
    ::close(fd);
  }
  std::string readFile(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path(name));
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool exists(const std::string& name) const {
    return std::filesystem::exists(std::filesystem::path(path(name)));
  }
  std::uint64_t sizeOf(const std::string& name) const {
    return std::filesystem::file_size(std::filesystem::path(path(name)));
  }
  // The names in the folder, sorted.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Fills the fields as the window would before a split: the source, the destination, the
  // part size, and the preview count in lblNumber (given, since the preview is not ours here).
  void prepareSplit(const std::string& source, const std::string& dest, std::int32_t splitSize,
                    const std::string& count) {
    txtSource.setText(path(source));
    txtDest.setText(path(dest));
    state.SourceTitle = source;
    state.SplitSize = splitSize;
    lblNumber.setCaption(count);
  }

  // Clicks Cancel during the pause after block `block` (1-based, counted over the whole run).
  void cancelAtBlock(int block) {
    pump.onEvents = [this, block, seen = 0](int) mutable {
      if (pump.inBlockPause() && ++seen == block) cmdCancel.click();
    };
  }

  TempFolder folder;
  Form form;
  TextBox txtSource;
  TextBox txtDest;
  Label lblNumber;
  Label lblSectionNum;
  ProgressBar proFile;
  ProgressBar proSection;
  CommandButton cmdBegin;
  CommandButton cmdCancel;
  CheckBox chkDelete;
  CheckBox chkSelfJoin;
  JobControls controls;
  JobState state;
  PosixFileSystem posix;
  FaultFileSystem fs;  // passes everything through until a test arms a fault
  FixturePump pump;
  ScriptedDisplay display;
  Services services;
  Job job;
};

}  // namespace qm::test
