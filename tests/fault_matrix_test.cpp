// Every split and join path of the window, run once cleanly to count its file-system calls, then
// once more for every call of every kind with that call failing (with each errno that fits it).
// After each run the user's data must be as it was, or the whole result must be in place; what
// the run created must be gone unless it reported success; exactly one message must say which
// file failed and why; and the window must be ready for the next run.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/batch_file.h"
#include "engine/messages.h"
#include "platform/posix_file_system.h"
#include "tests/fakes/fault_file_system.h"
#include "tests/fakes/job_fixture.h"
#include "tests/fakes/scripted_display.h"
#include "tests/fakes/window_fixture.h"
#include "window/frm_quellmark.h"

namespace qm {
namespace {

using test::Answer;
using test::FaultFileSystem;
using test::Op;

// A folder for one run, in memory where the machine offers it: the matrix runs a thousand and
// more splits and joins, and a real disk spends milliseconds on every flush.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string base = "/dev/shm";
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(base.c_str(), W_OK)) {
      base = std::filesystem::temp_directory_path();
    }
    std::string pattern = base + "/quellmark-matrix-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const std::string& folder) {
  Snapshot files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? std::string(std::istreambuf_iterator<char>(in), {}) : "<other>";
  }
  return files;
}

// Sits between the window and the fault injector and remembers the file named by the first
// failure that passes, so a check can look for that name in the message.
class Witness : public FileSystem {
 public:
  explicit Witness(FileSystem& inner) : inner_(inner) {}

  std::optional<std::string> failedPath;

  template <typename F>
  auto guard(F&& call) -> decltype(call()) {
    try {
      return call();
    } catch (const FileError& error) {
      if (!failedPath) failedPath = error.path();
      throw;
    }
  }

  class WitnessFile : public File {
   public:
    WitnessFile(Witness& w, std::unique_ptr<File> inner) : w_(w), inner_(std::move(inner)) {}
    const std::string& path() const override { return inner_->path(); }
    std::size_t Read(void* b, std::size_t n) override {
      return w_.guard([&] { return inner_->Read(b, n); });
    }
    void Write(const void* d, std::size_t n) override {
      w_.guard([&] { inner_->Write(d, n); });
    }
    std::uint64_t Length() override {
      return w_.guard([&] { return inner_->Length(); });
    }
    void Flush() override {
      w_.guard([&] { inner_->Flush(); });
    }
    void Close() override {
      w_.guard([&] { inner_->Close(); });
    }
    File& inner() { return *inner_; }

   private:
    Witness& w_;
    std::unique_ptr<File> inner_;
  };

  FileInfo Stat(const std::string& path) override { return inner_.Stat(path); }
  std::unique_ptr<File> OpenRead(const std::string& path) override {
    return wrap(guard([&] { return inner_.OpenRead(path); }));
  }
  std::unique_ptr<File> Create(const std::string& path) override {
    return wrap(guard([&] { return inner_.Create(path); }));
  }
  void Remove(const std::string& path) override {
    guard([&] { inner_.Remove(path); });
  }
  void Rename(const std::string& from, const std::string& to) override {
    guard([&] { inner_.Rename(from, to); });
  }
  std::uint64_t Copy(File& from, File& to, std::uint64_t n) override {
    return guard([&] { return inner_.Copy(unwrap(from), unwrap(to), n); });
  }
  std::unique_ptr<File> CreateTemporary(const std::string& folder) override {
    return wrap(guard([&] { return inner_.CreateTemporary(folder); }));
  }
  void Publish(File& temporary, const std::string& path) override {
    guard([&] { inner_.Publish(unwrap(temporary), path); });
  }
  void Discard(File& temporary) noexcept override { inner_.Discard(unwrap(temporary)); }
  void SyncFolder(const std::string& folder) override {
    guard([&] { inner_.SyncFolder(folder); });
  }
  std::string CurrentFolder() override { return inner_.CurrentFolder(); }
  std::string HomeFolder() override { return inner_.HomeFolder(); }

 private:
  std::unique_ptr<File> wrap(std::unique_ptr<File> file) {
    return std::make_unique<WitnessFile>(*this, std::move(file));
  }
  static File& unwrap(File& file) {
    auto* wrapped = dynamic_cast<WitnessFile*>(&file);
    return wrapped != nullptr ? wrapped->inner() : file;
  }
  FileSystem& inner_;
};

// The kinds of call a run makes, each with the errors a real system gives for it.
struct FaultKind {
  Op op;
  std::vector<int> errors;
};

const std::vector<FaultKind>& faultKinds() {
  static const std::vector<FaultKind> kinds = {
      {Op::OpenRead, {ENOENT, EACCES, EIO}},
      {Op::Create, {ENOSPC, EACCES, ENOENT, EIO}},
      {Op::Read, {EIO}},
      {Op::Write, {ENOSPC, EIO}},
      {Op::Copy, {ENOSPC, EIO}},
      {Op::Length, {EIO}},
      {Op::Flush, {EIO, ENOSPC}},
      {Op::Close, {EIO, ENOSPC}},
      {Op::Remove, {EACCES, ENOENT, EIO}},
      {Op::Rename, {EACCES, ENOSPC, EIO}},
      {Op::CreateTemporary, {ENOSPC, EACCES, ENOENT, EIO}},
      {Op::Publish, {EACCES, ENOSPC, EIO}},
      {Op::SyncFolder, {EIO}},
  };
  return kinds;
}

enum class Dest {
  Absent,   // nothing of the destination's name
  Replace,  // split: an older set of that name; join: a file, and the user answers Yes
  Keep,     // join only: a file, and the user answers No
};

struct PathCase {
  bool join = false;
  bool deleteInput = false;  // "Delete Source Files"
  bool batch = false;        // split: write the batch file; join: the set has one
  Dest dest = Dest::Absent;
};

std::string describe(const PathCase& p) {
  std::string name = p.join ? "Join" : "Split";
  name += p.deleteInput ? "Deleting" : "Keeping";
  name += p.batch ? "WithBatch" : "NoBatch";
  name += p.dest == Dest::Absent ? "NewDest" : p.dest == Dest::Replace ? "ReplaceDest" : "KeepDest";
  return name;
}

void PrintTo(const PathCase& p, std::ostream* os) {
  *os << describe(p);
}

std::vector<PathCase> allPaths() {
  std::vector<PathCase> paths;
  for (bool join : {false, true}) {
    for (bool del : {false, true}) {
      for (bool batch : {false, true}) {
        for (Dest dest : {Dest::Absent, Dest::Replace, Dest::Keep}) {
          if (!join && dest == Dest::Keep) continue;  // a split never asks
          paths.push_back({join, del, batch, dest});
        }
      }
    }
  }
  return paths;
}

// The source of the split and the whole of the join: 25 bytes, cut at 10 into 10 + 10 + 5.
const std::string kWhole = test::JobFixture::pattern(25, 7);
constexpr const char* kSizeText = "10";

// One run through the window over a fresh folder. Unless `load` is false, the source is
// loaded and the options set, so that only Begin is left to press.
struct WindowRun {
  explicit WindowRun(const PathCase& p, bool load = true) : path(p) {
    if (p.join) {
      put("whole.001", kWhole.substr(0, 10));
      put("whole.002", kWhole.substr(10, 10));
      put("whole.003", kWhole.substr(20));
      put("whole.qkd", "whole.bin\r\n3\r\n");
      if (p.batch) put("whole.bat", BatchFileText("whole.bin", 3));
      if (p.dest != Dest::Absent) put("whole.bin", "an older file of that name\n");
    } else {
      put("src.bin", kWhole);
      if (p.dest != Dest::Absent) {
        // An earlier split of another size, to be replaced without a question.
        put("src.qkd", "src.bin\r\n2\r\n");
        put("src.001", "older part one");
        put("src.002", "older two");
        if (p.batch) put("src.bat", "older batch\r\n");
      }
    }
    form.Form_Load("");
    if (!load) {
      before = snapshot(folder.path());
      faults.reset();
      return;
    }
    if (p.join) {
      form.LoadSource(folder.path() + "whole.qkd");
      display.questionDefault = p.dest == Dest::Keep ? Answer::No : Answer::Yes;
    } else {
      form.LoadSource(folder.path() + "src.bin");
      form.Option6.click();
      form.Combo1.setListIndex(0);
      form.txtSize.setText(kSizeText);
      form.chkSelfJoin.setValue(p.batch ? 1 : 0);
    }
    form.chkDelete.setValue(p.deleteInput ? 1 : 0);
    if (form.lblNumber.caption() != "3") {
      throw std::runtime_error("the window counts " + form.lblNumber.caption() + " parts");
    }
    before = snapshot(folder.path());
    display.codes.clear();
    display.details.clear();
    faults.reset();
  }

  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(folder.path() + name, std::ios::binary) << bytes;
  }

  void begin() {
    form.cmdBegin.click();
    after = snapshot(folder.path());
  }

  PathCase path;
  ScratchFolder folder;
  PosixFileSystem posix;
  FaultFileSystem faults{posix};
  Witness fs{faults};
  test::FixturePump pump;
  JobState state;
  test::ScriptedDisplay display{state, pump};
  Services services{fs, pump, display};
  test::CancellingDialogs dialogs;
  test::SilentHelp help;
  frmQuellmark form{state, services, dialogs, help};
  Snapshot before;
  Snapshot after;
};

std::optional<std::string> get(const Snapshot& s, const std::string& name) {
  const auto it = s.find(name);
  if (it == s.end()) return std::nullopt;
  return it->second;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// What a run left, measured against the rules. Returns the broken rules, empty when all hold.
class Verdict {
 public:
  Verdict(const WindowRun& run, std::optional<Op> op, int error)
      : run_(run), p_(run.path), op_(op), error_(error) {}

  std::vector<std::string> check() {
    checkWindow();
    std::vector<std::string> others;
    int questions = 0;
    for (std::size_t i = 0; i < run_.display.codes.size(); ++i) {
      if (run_.display.codes[i] == kMsgOverwrite) {
        ++questions;
      } else {
        others.push_back(run_.display.details[i]);
        otherCodes_.push_back(run_.display.codes[i]);
      }
    }
    const bool asks = p_.join && p_.dest != Dest::Absent;
    if (questions != (asks ? 1 : 0)) broken("asked message 4 " + std::to_string(questions) + "x");
    success_ = others.empty();
    if (!success_) {
      if (others.size() != 1 || otherCodes_[0] != kMsgFailure) {
        broken("expected one message 9, got " + std::to_string(others.size()) + " messages");
      } else {
        detail_ = others[0];
        checkDetailNamesFault();
      }
    } else if (op_ && run_.faults.fired() && !(*op_ == Op::Remove && error_ == ENOENT)) {
      // Only a file already gone when it was to be deleted is no failure.
      broken("a failing call went unreported");
    }
    if (p_.join) {
      checkJoin();
    } else {
      checkSplit();
    }
    return broken_;
  }

  bool success() const { return success_; }
  // A failure after the main work was done, which kept the finished result.
  bool keptResult() const { return kept_; }

 private:
  void broken(const std::string& what) { broken_.push_back(what); }

  void checkWindow() {
    const frmQuellmark& f = run_.form;
    if (!f.cmdBegin.visible() || f.cmdCancel.visible()) broken("Begin is not back");
    if (f.proFile.value() != 0 || f.proSection.value() != 0) broken("bars not at 0");
    if (run_.state.CancelPressed) broken("CancelPressed left set");
    if (run_.state.Running || !f.txtSource.enabled()) broken("window still locked");
  }

  void checkDetailNamesFault() {
    if (!op_) return;
    const std::string reason = std::strerror(error_);
    if (!has(detail_, reason)) broken("message lacks the reason \"" + reason + "\"");
    if (!run_.fs.failedPath) return;
    const std::string& failed = *run_.fs.failedPath;
    // A failure on the unnamed joined copy is told as a failure on the destination's copy; the
    // folder itself is named when making it or its names durable failed.
    const bool onFolder = *op_ == Op::CreateTemporary || *op_ == Op::SyncFolder;
    const bool tempFile = failed == run_.folder.path() && !onFolder;
    const std::string named = tempFile ? run_.folder.path() + "whole.bin" : failed;
    if (!has(detail_, named)) broken("message does not name " + named);
  }

  // Nothing of the before state changed, except the files in `mayGo`, which may be missing.
  bool untouched(const std::vector<std::string>& mayGo = {}) const {
    for (const auto& [name, bytes] : run_.after) {
      if (get(run_.before, name) != bytes) return false;
    }
    for (const auto& [name, bytes] : run_.before) {
      if (run_.after.count(name) == 0 && std::find(mayGo.begin(), mayGo.end(), name) == mayGo.end())
        return false;
    }
    return true;
  }

  // The new set of the split: data file and parts that join back to the source.
  bool newSetComplete() const {
    return get(run_.after, "src.qkd") == "src.bin\r\n3\r\n" &&
           get(run_.after, "src.001") == kWhole.substr(0, 10) &&
           get(run_.after, "src.002") == kWhole.substr(10, 10) &&
           get(run_.after, "src.003") == kWhole.substr(20);
  }

  void onlyNames(const std::vector<std::string>& allowed) {
    for (const auto& [name, bytes] : run_.after) {
      if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
        broken("left behind " + name);
      }
    }
  }

  void checkSplit() {
    const auto source = get(run_.after, "src.bin");
    const std::string batchText = BatchFileText("src.bin", 3);
    if (success_) {
      if (!newSetComplete()) broken("split reported success without a complete set");
      if (p_.deleteInput ? source.has_value() : source != kWhole) broken("source wrong");
      const auto bat = get(run_.after, "src.bat");
      if (p_.batch ? bat != batchText : bat.has_value()) broken("batch file wrong");
      onlyNames({"src.bin", "src.qkd", "src.001", "src.002", "src.003", "src.bat"});
      return;
    }
    // A failure before the data file leaves the folder as it was, except that an older set of
    // the destination's name may be gone: its data file goes first, so no old data file ever
    // stands beside new parts, and an older part goes when a new one takes its name.
    if (untouched({"src.qkd", "src.001", "src.002"})) {
      if (run_.after.count("src.qkd") != 0 &&
          (run_.after.count("src.001") == 0 || run_.after.count("src.002") == 0)) {
        broken("an older data file was left without its parts");
      }
      return;
    }
    // A failure after the data file keeps the complete set, says so, and leaves no batch file
    // of this run; the source is gone only when its deletion went through.
    if (!newSetComplete()) {
      broken("a failed split left a changed folder without a complete set");
      return;
    }
    kept_ = true;
    if (!has(detail_, "complete")) broken("kept set, but the message does not say so");
    if (source != kWhole && !(p_.deleteInput && !source && has(detail_, "source was deleted"))) {
      broken("source changed though the split failed");
    }
    const auto bat = get(run_.after, "src.bat");
    if (bat && bat != get(run_.before, "src.bat")) broken("a batch file of the failed run is left");
    onlyNames({"src.bin", "src.qkd", "src.001", "src.002", "src.003", "src.bat"});
  }

  // The injected "No such file" of a deletion leaves the file there, where a real one would have
  // found it gone already; the join rightly takes that as done.
  bool alreadyGone(const std::string& name) const {
    return op_ == Op::Remove && error_ == ENOENT && run_.fs.failedPath == run_.folder.path() + name;
  }

  void checkJoin() {
    const std::vector<std::string> set = {"whole.001", "whole.002", "whole.003", "whole.qkd",
                                          "whole.bat"};
    const auto dest = get(run_.after, "whole.bin");
    auto setAsBefore = [&](bool mayBeDeleted) {
      for (const auto& name : set) {
        const auto now = get(run_.after, name);
        if (now != get(run_.before, name) && !(mayBeDeleted && !now)) return false;
      }
      return true;
    };
    if (success_ && p_.dest == Dest::Keep) {
      if (!untouched()) broken("answering No changed the folder");
      return;
    }
    if (success_) {
      if (dest != kWhole) broken("join reported success without the joined file");
      for (const auto& name : set) {
        const bool gone = run_.after.count(name) == 0;
        const bool same = get(run_.after, name) == get(run_.before, name);
        if (p_.deleteInput ? !gone && !(same && alreadyGone(name)) : !same) {
          broken("set file " + name + " wrong after success");
        }
      }
      onlyNames({"whole.bin", "whole.001", "whole.002", "whole.003", "whole.qkd", "whole.bat"});
      return;
    }
    // Before the joined file is in place nothing may change: no temporary file, the old
    // destination whole, the set whole.
    if (untouched()) return;
    // After it is in place the join may keep it: what failed was making it durable or deleting
    // the set, and the message says the file was joined.
    if (dest != kWhole) {
      broken("a failed join changed the folder without putting the joined file in place");
      return;
    }
    kept_ = true;
    if (!has(detail_, "was joined")) broken("joined file kept, but the message does not say so");
    if (!setAsBefore(p_.deleteInput)) broken("a failed join changed the set");
    onlyNames({"whole.bin", "whole.001", "whole.002", "whole.003", "whole.qkd", "whole.bat"});
  }

  const WindowRun& run_;
  const PathCase& p_;
  std::optional<Op> op_;
  int error_;
  bool success_ = false;
  bool kept_ = false;
  std::string detail_;
  std::vector<int> otherCodes_;
  std::vector<std::string> broken_;
};

// The figures the document quotes, summed over every path.
struct Tally {
  int paths = 0;
  int calls = 0;
  int runs = 0;
  int kept = 0;  // failures after the main work, which kept the result
  int violations = 0;
  std::map<Op, int> callsByKind;
};
Tally& tally() {
  static Tally t;
  return t;
}

// Prints the figures once every test of the process has run, whatever their order.
class MatrixReport : public testing::Environment {
 public:
  void TearDown() override {
    const Tally& t = tally();
    if (t.paths == 0) return;
    std::printf(
        "fault matrix: %d paths, %d calls in their clean runs, %d faulted runs (each call x each "
        "fitting errno), %d of them kept a finished result, %d invariant violations\n",
        t.paths, t.calls, t.runs, t.kept, t.violations);
    std::string kinds;
    for (const auto& [op, n] : t.callsByKind) {
      kinds +=
          (kinds.empty() ? "" : ", ") + std::string(test::opName(op)) + " " + std::to_string(n);
    }
    std::printf("fault matrix calls by kind: %s\n", kinds.c_str());
  }
};
[[maybe_unused]] testing::Environment* const kReport =
    testing::AddGlobalTestEnvironment(new MatrixReport);

class FaultMatrix : public testing::TestWithParam<PathCase> {};

TEST_P(FaultMatrix, EveryCallFailingOnceLeavesTheDataSafeAndSaysWhy) {
  const PathCase& p = GetParam();
  std::map<Op, int> counts;
  {
    WindowRun clean(p);
    clean.begin();
    Verdict verdict(clean, std::nullopt, 0);
    const auto broken = verdict.check();
    ASSERT_TRUE(broken.empty()) << "clean run: " << broken.front();
    ASSERT_TRUE(verdict.success()) << "the clean run failed";
    for (const auto& kind : faultKinds())
      counts[kind.op] = clean.faults.calls(kind.op);
  }
  Tally& t = tally();
  ++t.paths;
  for (const auto& kind : faultKinds()) {
    t.calls += counts[kind.op];
    t.callsByKind[kind.op] += counts[kind.op];
    for (int n = 1; n <= counts[kind.op]; ++n) {
      for (int error : kind.errors) {
        WindowRun run(p);
        run.faults.failAt(kind.op, n, error);
        run.begin();
        Verdict verdict(run, kind.op, error);
        const auto broken = verdict.check();
        ++t.runs;
        if (verdict.keptResult()) ++t.kept;
        if (!run.faults.fired()) {
          ADD_FAILURE() << test::opName(kind.op) << " call " << n << " never came";
          ++t.violations;
          continue;
        }
        if (!broken.empty()) ++t.violations;
        for (const auto& what : broken) {
          ADD_FAILURE() << test::opName(kind.op) << " call " << n << " failing with "
                        << std::strerror(error) << ": " << what
                        << (run.display.details.empty() ? "" : "\n  message: ")
                        << (run.display.details.empty() ? "" : run.display.details.back());
        }
      }
    }
  }
}

// Loading a data file reads it before any run: a failure there must load nothing, leave the
// window in Join mode with empty fields, write nothing and say which file and why.
TEST(FaultMatrixLoad, EveryFailingCallWhileReadingTheDataFileLoadsNothing) {
  const PathCase p{true, false, false, Dest::Absent};
  auto load = [](WindowRun& run) { run.form.LoadSource(run.folder.path() + "whole.qkd"); };
  std::map<Op, int> counts;
  {
    WindowRun clean(p, false);
    load(clean);
    ASSERT_EQ(clean.form.lblNumber.caption(), "3");
    for (const auto& kind : faultKinds())
      counts[kind.op] = clean.faults.calls(kind.op);
  }
  Tally& t = tally();
  ++t.paths;
  for (const auto& kind : faultKinds()) {
    t.calls += counts[kind.op];
    t.callsByKind[kind.op] += counts[kind.op];
    for (int n = 1; n <= counts[kind.op]; ++n) {
      for (int error : kind.errors) {
        WindowRun run(p, false);
        run.faults.failAt(kind.op, n, error);
        load(run);
        ++t.runs;
        const std::string where = std::string(test::opName(kind.op)) + " call " +
                                  std::to_string(n) + " failing with " + std::strerror(error);
        const bool ok = run.faults.fired() && run.display.codes == std::vector<int>{kMsgFailure} &&
                        has(run.display.details[0], run.folder.path() + "whole.qkd") &&
                        has(run.display.details[0], std::strerror(error)) &&
                        run.form.optJoin.value() && run.form.txtSource.text().empty() &&
                        run.form.txtDest.text().empty() && run.form.lblNumber.caption() == "0" &&
                        snapshot(run.folder.path()) == run.before;
        if (!ok) ++t.violations;
        EXPECT_TRUE(ok) << where << (run.display.details.empty() ? "" : ": ")
                        << (run.display.details.empty() ? "" : run.display.details[0]);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllPaths, FaultMatrix, testing::ValuesIn(allPaths()),
                         [](const testing::TestParamInfo<PathCase>& info) {
                           return describe(info.param);
                         });

}  // namespace
}  // namespace qm
