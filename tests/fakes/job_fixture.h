// A headless job for engine tests: the request's fields, a host that records what a run shows,
// a job state, the real file system under a fault-injecting wrapper (disarmed until a test arms
// it) rooted in a fresh temporary folder, a scripted pump and a scripted display.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "engine/job_state.h"
#include "engine/join.h"
#include "engine/part_count.h"
#include "engine/part_names.h"
#include "engine/run.h"
#include "engine/shared_routines.h"
#include "engine/split.h"
#include "platform/posix_file_system.h"
#include "tests/fakes/fault_file_system.h"
#include "tests/fakes/scripted_display.h"
#include "tests/fakes/scripted_pump.h"

namespace qm::test {

// A folder of its own for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder() {
    if (::mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ += "/";
  }
  ~TempFolder() { std::filesystem::remove_all(path_, ignored_); }
  TempFolder(TempFolder&&) = delete;  // and so no copies: only one may remove the folder
  const std::string& path() const { return path_; }  // ends in "/"

 private:
  std::string path_ = std::filesystem::temp_directory_path() / "quellmark-test-XXXXXX";
  std::error_code ignored_;
};

// Remembers how long the current Pause wants to wait, so a test can tell the pause after a block
// (0.2/80 s) from the pause before a part (1/80 s).
class FixturePump : public ScriptedPump {
 public:
  void ProcessEvents(double deadline) override {
    lastWait = deadline - clock;
    ScriptedPump::ProcessEvents(deadline);
  }
  bool inBlockPause() const { return lastWait < 0.005; }
  double lastWait = 0.0;
};

// What a run shows, as the window's controls would hold it.
struct RecordingHost : RunHost {
  RecordingHost(ModalDisplay& display, EventPump& pump) : display_(display), pump_(pump) {}
  void ShowPart(int p) override { part = p == kNoPart ? "" : std::to_string(p); }
  void ShowSectionProgress(int percent) override { section = percent; }
  void ShowFileProgress(int percent) override { file = percent; }
  void ShowRunning(bool on) override { running = on; }
  bool DeleteWhenDone() override { return deleteWhenDone; }
  ModalDisplay& display() override { return display_; }
  EventPump& pump() override { return pump_; }

  std::string part;
  int section = 0, file = 0;
  bool running = false, deleteWhenDone = false;
  ModalDisplay& display_;
  EventPump& pump_;
};

struct JobFixture {
  // The count as the window would show it for the source and the state's SplitSize.
  void count() { partCount = CountParts(state, fs, source, state.SplitSize); }
  Outcome split() {
    return SplitF(state, fs, host,
                  {source, dest, state.SourceTitle, state.SplitSize, partCount, batch});
  }
  Outcome join() { return JoinF(state, fs, host, {source, dest, partCount}); }

  // Saves `bytes` as `title` and fills the fields as the window would for a split into
  // `stem`qkd.
  void prepareSplit(const std::string& bytes, std::int32_t size,
                    const std::string& title = "movie.avi", const std::string& stem = "movie.") {
    writeFile(title, bytes);
    source = path(title);
    dest = path(stem + "qkd");
    state.SourceTitle = title;
    state.SplitSize = size;
    count();
  }
  // Writes the set movie.001.. of `parts` with its data file movie.qkd (and movie.bat), and fills
  // the fields for a join into movie.avi. Returns the joined bytes.
  std::string makeSet(const std::vector<std::string>& parts, bool batch = false) {
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      writeFile(PartName("movie.qkd", static_cast<int>(i) + 1), parts[i]);
      joined += parts[i];
    }
    writeFile("movie.qkd", "movie.avi\r\n" + std::to_string(parts.size()) + "\r\n");
    if (batch) writeFile("movie.bat", "@echo off\r\n");
    source = path("movie.qkd");
    dest = path("movie.avi");
    partCount = static_cast<std::int64_t>(parts.size());
    return joined;
  }
  std::string path(const std::string& name) const { return folder.path() + name; }
  void writeFile(const std::string& name, const std::string& bytes) const {
    if (!(std::ofstream(path(name), std::ios::binary) << bytes)) throw std::runtime_error(name);
  }
  std::string readFile(const std::string& n) const { return readAll(path(n)); }
  static std::string readAll(const std::string& file) {
    std::ostringstream bytes;
    bytes << std::ifstream(file, std::ios::binary).rdbuf();
    return bytes.str();
  }
  std::uint64_t sizeOf(const std::string& n) const { return std::filesystem::file_size(path(n)); }
  // Every name in the folder with its content: shows what changed and any stray file.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> all;
    for (const auto& e : std::filesystem::directory_iterator(folder.path()))
      all[e.path().filename()] = e.is_regular_file() ? readFile(e.path().filename()) : "<dir>";
    return all;
  }
  // `length` bytes of a pattern that differs from block to block, so misplaced bytes show.
  static std::string pattern(std::size_t length, unsigned seed = 1) {
    std::string bytes(length, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : bytes)
      c = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
    return bytes;
  }
  // A file of `length` bytes that takes no room on the disk (holes read as zeros).
  void makeSparse(const std::string& name, std::uint64_t length) const {
    std::ofstream{path(name)}.close();
    std::filesystem::resize_file(path(name), length);
  }
  // Writes `bytes` at `offset`, or reads `n` bytes from there: marks in sparse files.
  void poke(const std::string& name, std::uint64_t offset, const std::string& bytes) const {
    std::fstream file(path(name), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(offset).write(bytes.data(), bytes.size());
  }
  std::string peek(const std::string& name, std::uint64_t offset, std::size_t n) const {
    std::string bytes(n, '?');  // what a short read leaves shows
    std::ifstream(path(name), std::ios::binary).seekg(offset).read(bytes.data(), n);
    return bytes;
  }

  // The failure message names a file of the folder and the reason `error`.
  void expectFailureSays(int error) const {
    ASSERT_FALSE(display.details.empty());
    const std::string& detail = display.details.back();
    EXPECT_NE(detail.find("\"" + folder.path()), std::string::npos) << detail;
    EXPECT_NE(detail.find(std::strerror(error)), std::string::npos) << detail;
  }
  // Clicks Cancel during the pause after block `block` (1-based, counted over the whole run).
  void cancelAtBlock(int block) {
    pump.onEvents = [this, block, seen = 0](int) mutable {
      if (pump.inBlockPause() && ++seen == block) state.CancelPressed = true;
    };
  }
  // The end step ran: the window is ready for the next run.
  void expectIdle() const {
    EXPECT_EQ(std::tuple(host.file, host.section, host.part, state.BlockSize, state.MessageCode,
                         state.CancelPressed, state.Running, host.running),
              std::tuple(0, 0, "", kDefaultBlockSize, 0, false, false, false));
  }

  TempFolder folder;
  std::string source, dest;  // the data file for a join
  std::int64_t partCount = 0;
  bool batch = false;
  JobState state;
  PosixFileSystem posix;
  FaultFileSystem fs{posix};  // passes everything through until a test arms a fault
  FixturePump pump;
  ScriptedDisplay display{state, pump};
  RecordingHost host{display, pump};
};

}  // namespace qm::test
