// One split or join through the main window over the real file system (under the fault
// injector), and the rules every run must keep however it ends: the user's data as it was, or
// the whole result in place; nothing the run created left unless it succeeded; one message
// naming the file and the reason; the window ready for the next run.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "engine/batch_file.h"
#include "engine/checksum.h"
#include "engine/messages.h"
#include "engine/part_names.h"
#include "engine/shell_script.h"
#include "tests/fakes/window_fixture.h"

namespace qm::test {

// Every file, folder and link below `root` by its relative name, with its bytes.
using Snapshot = std::map<std::string, std::string>;
inline Snapshot snapshot(const std::string& root) {
  Snapshot all;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    std::ifstream in(e.path(), std::ios::binary);
    all[e.path().string().substr(root.size())] =
        e.is_symlink()     ? "-> " + std::filesystem::read_symlink(e.path()).string()
        : e.is_directory() ? "<folder>"
                           : std::string(std::istreambuf_iterator<char>(in), {});
  }
  return all;
}
inline std::optional<std::string> get(const Snapshot& s, const std::string& name) {
  const auto it = s.find(name);
  return it == s.end() ? std::nullopt : std::optional(it->second);
}
inline bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Sits above the fault injector and keeps the first failure that passes, so a check can look
// for its file and reason in the message.
class Witness : public FileSystem {
  using S = const std::string&;
  using Ptr = std::unique_ptr<File>;
  using FS = FileSystem;
  template <typename T, typename R, typename... A, typename... B>
  R guard(bool onFile, T& target, R (T::*call)(A...), B&&... args) {
    try {
      return (target.*call)(std::forward<B>(args)...);
    } catch (const FileError& error) {
      if (!failure) failure = error, failedOnFile = onFile;
      throw;
    }
  }
  struct Wrapped : File {
    Wrapped(Witness& w, Ptr f) : w(w), f(std::move(f)) {}
    S path() const override { return f->path(); }
    std::size_t Read(void* b, std::size_t n) override {
      return w.guard(true, *f, &File::Read, b, n);
    }
    std::size_t ReadAt(void* b, std::size_t n, std::uint64_t at) override {
      return w.guard(true, *f, &File::ReadAt, b, n, at);
    }
    void Write(const void* d, std::size_t n) override { w.guard(true, *f, &File::Write, d, n); }
    std::uint64_t Length() override { return w.guard(true, *f, &File::Length); }
    void Flush() override { w.guard(true, *f, &File::Flush); }
    void Close() override { w.guard(true, *f, &File::Close); }
    FileInfo Info() override { return w.guard(true, *f, &File::Info); }
    void SetMode(std::uint32_t m) override { w.guard(true, *f, &File::SetMode, m); }
    Witness& w;
    Ptr f;
  };
  static File& in(File& f) { return dynamic_cast<Wrapped*>(&f) ? *dynamic_cast<Wrapped&>(f).f : f; }
  Ptr wrap(Ptr f) { return std::make_unique<Wrapped>(*this, std::move(f)); }
  FS& fs_;

 public:
  explicit Witness(FS& fs) : fs_(fs) {}
  std::optional<FileError> failure;
  bool failedOnFile = false;  // on an open file (or a copy into one), not on a name

  FileInfo Stat(S p) override { return fs_.Stat(p); }
  Ptr OpenRead(S p) override { return wrap(guard(false, fs_, &FS::OpenRead, p)); }
  Ptr Create(S p) override { return wrap(guard(false, fs_, &FS::Create, p)); }
  Ptr CreateExecutable(S p) override { return wrap(guard(false, fs_, &FS::CreateExecutable, p)); }
  Ptr CreateTemporary(S p) override { return wrap(guard(false, fs_, &FS::CreateTemporary, p)); }
  void Remove(S p) override { guard(false, fs_, &FS::Remove, p); }
  std::uint64_t Copy(File& a, File& b, std::uint64_t n) override {
    return guard(true, fs_, &FS::Copy, in(a), in(b), n);
  }
  std::uint64_t CopyAhead(File& a, File& b, std::uint64_t n) override {
    return fs_.CopyAhead(in(a), in(b), n);
  }
  void Publish(File& t, S p) override { guard(false, fs_, &FS::Publish, in(t), p); }
  std::string Stage(File& t) override { return guard(false, fs_, &FS::Stage, in(t)); }
  void Discard(File& t) noexcept override { fs_.Discard(in(t)); }
  std::unique_ptr<Folder> OpenFolder(S p) override { return guard(false, fs_, &FS::OpenFolder, p); }
  FileInfo StatAt(Folder& d, S n) override { return fs_.StatAt(d, n); }
  Ptr OpenReadAt(Folder& d, S n, Follow f) override {
    return wrap(guard(false, fs_, &FS::OpenReadAt, d, n, f));
  }
  Ptr CreateAt(Folder& d, S n, std::uint32_t m) override {
    return wrap(guard(false, fs_, &FS::CreateAt, d, n, m));
  }
  void RemoveAt(Folder& d, S n) override { guard(false, fs_, &FS::RemoveAt, d, n); }
  void RenameAt(Folder& d, S a, S b) override { guard(false, fs_, &FS::RenameAt, d, a, b); }
  Ptr CreateTemporaryAt(Folder& d) override {
    return wrap(guard(false, fs_, &FS::CreateTemporaryAt, d));
  }
  Ptr CreateHiddenAt(Folder& d) override { return wrap(guard(false, fs_, &FS::CreateHiddenAt, d)); }
  void PublishAt(File& t, Folder& d, S n) override {
    guard(false, fs_, &FS::PublishAt, in(t), d, n);
  }
  void SyncFolderAt(Folder& d) override { guard(false, fs_, &FS::SyncFolderAt, d); }
  void SyncFileSystemAt(Folder& d) override { guard(false, fs_, &FS::SyncFileSystemAt, d); }
  void CheckName(Folder& d, S n) override { guard(false, fs_, &FS::CheckName, d, n); }
  bool Claim(Folder& d, S k) override { return fs_.Claim(d, k); }
  std::uint32_t Umask() override { return fs_.Umask(); }
  std::string Resolve(S p) override { return fs_.Resolve(p); }
  std::string CurrentFolder() override { return fs_.CurrentFolder(); }
  std::string HomeFolder() override { return fs_.HomeFolder(); }
};

// Absent: nothing of the destination's name. Replace: for a split an older set of that name, for
// a join a file, and the user answers Yes. Keep: a file, and the user answers No (join only).
enum class Dest { Absent, Replace, Keep };
// batch: write one, or the set has one; loadOnly: only load the data file into the window.
struct PathCase {
  bool join = false, deleteInput = false, batch = false, loadOnly = false;
  Dest dest = Dest::Absent;
};

// A split turns the whole file `in``name` into the set `out``stem`qkd, 001 to 003 and bat; a
// join turns the set `in``stem`... into the whole file `out``name`. `in` and `out` are folders
// below the root ("" for the root itself; the window picks `out` as `in`, a test that differs
// types the destination); every name here is relative to the root.
struct WindowRun {
  explicit WindowRun(PathCase p, const std::string& name = "movie.bin", std::size_t length = 25,
                     std::size_t part = 10, const std::string& in = "", std::string out = "")
      : p(p),
        bytes(JobFixture::pattern(length, 7)),
        part(part),
        whole((p.join ? out : in) + name),
        stem((p.join ? in : out) + stemOf(name)) {
    std::filesystem::create_directories(root + folderOf(whole));
    std::filesystem::create_directories(root + folderOf(stem));
    form.Form_Load("");
  }
  // The set's names less "qkd": an extension of up to three characters gives way.
  static std::string stemOf(const std::string& name) {
    const auto dot = name.rfind('.');
    return (dot != std::string::npos && dot + 4 >= name.size() ? name.substr(0, dot) : name) + ".";
  }
  // In memory where the machine offers it: the matrix runs hundreds of splits and joins, and a
  // real disk spends milliseconds on every flush.
  std::string root = [] {
    std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    base += "/quellmark-run-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return base + "/";
  }();
  ~WindowRun() { std::filesystem::remove_all(root, ignored); }

  std::string piece(int i) const { return bytes.substr((i - 1) * part, part); }
  std::string dataText() const { return nameOf(whole) + "\r\n3\r\n"; }
  std::string sumsText() const {
    std::vector<ChecksumEntry> sums;
    for (int i = 1; i <= 3; ++i)
      sums.push_back({nameOf(PartName(stem + "qkd", i)), Sha256Of(piece(i))});
    sums.push_back({nameOf(stem + "qkd"), Sha256Of(dataText())});
    return ChecksumFileText(sums);
  }
  std::string scriptText() const {
    return ShellScriptText({nameOf(whole), nameOf(stem + "qkd"), 3});
  }
  void put(const std::string& name, const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(root + name).parent_path());
    std::ofstream(root + name, std::ios::binary) << text;
  }
  // The inputs, and for a replacing run the older destination of the same name.
  void prepare() const {
    if (p.join) {
      for (int i = 1; i <= 3; ++i)
        put(PartName(stem + "qkd", i), piece(i));
      put(stem + "qkd", dataText());
      if (p.batch) put(stem + "bat", BatchFileText(nameOf(whole), nameOf(stem) + "qkd", 3));
      if (p.dest != Dest::Absent) put(whole, "an older file of that name\n");
      return;
    }
    put(whole, bytes);
    if (p.dest == Dest::Absent) return;
    put(stem + "qkd", nameOf(whole) + "\r\n2\r\n");  // an earlier split of another size
    put(stem + "001", "older part one");
    put(stem + "002", "older two");
    if (p.batch) put(stem + "bat", "older batch\r\n");
  }
  // The window with the input loaded and the options set, so only Begin is left to press.
  void load() {
    form.LoadSource(root + (p.join ? stem + "qkd" : whole));
    display.questionDefault = p.dest == Dest::Keep ? Answer::No : Answer::Yes;
    if (!p.join) {
      form.Option6.click();
      form.Combo1.setListIndex(0);
      form.txtSize.setText(std::to_string(part));
      form.chkSelfJoin.setValue(p.batch ? 1 : 0);
    }
    form.chkDelete.setValue(p.deleteInput ? 1 : 0);
    if (form.lblNumber.caption() != "3") throw std::runtime_error("not 3 parts");
    settle();
  }
  void settle() {
    before = snapshot(root);
    display.codes.clear();
    display.details.clear();
    faults.reset();
  }
  // Presses Begin, or for a run that only loads the data file, loads it.
  void begin() {
    p.loadOnly ? form.LoadSource(root + stem + "qkd") : form.cmdBegin.click();
    after = snapshot(root);
  }

  PathCase p;
  std::string bytes;
  std::size_t part;
  std::string whole, stem;
  bool success = false;
  bool kept = false;  // the run failed after the main work, and kept the finished result
  std::error_code ignored;
  PosixFileSystem posix;
  FaultFileSystem faults{posix};
  Witness fs{faults};
  FixturePump pump;
  JobState state;
  ScriptedDisplay display{state, pump};
  Services services{fs, pump, display};
  CancellingDialogs dialogs;
  SilentHelp help;
  frmQuellmark form{state, services, dialogs, help};
  Snapshot before, after;
};

// Measures what a run left against the rules; returns the rules broken.
inline std::vector<std::string> Check(WindowRun& r) {
  std::vector<std::string> v;
  auto broken = [&](const std::string& what) { v.push_back(what); };
  const frmQuellmark& f = r.form;
  const PathCase& p = r.p;
  if (!f.cmdBegin.visible() || f.cmdCancel.visible() || f.proFile.value() || f.proSection.value() ||
      r.state.CancelPressed || r.state.Running || !f.txtSource.enabled())
    broken("the window is not ready for the next run");

  std::vector<int> codes = r.display.codes;
  // A split asks before it replaces any file of its set.
  const std::vector<std::string> set = {r.stem + "001", r.stem + "002", r.stem + "003",
                                        r.stem + "qkd", r.stem + "bat"};
  bool asks = p.join && p.dest != Dest::Absent && !p.loadOnly;
  for (std::size_t i = 0; i < (p.batch ? 5u : 4u) && !p.join; ++i)
    asks = asks || get(r.before, set[i]);
  if (std::erase(codes, kMsgOverwrite) != (asks ? 1u : 0u)) broken("message 4 not once");
  const std::string detail = codes.empty() ? "" : r.display.details.back();
  std::tie(r.success, r.kept) = std::pair(codes.empty(), false);
  if (!r.success && codes != std::vector<int>{kMsgFailure}) broken("not one message 9");
  // A failed load leaves the window in Join mode with nothing loaded.
  if (p.loadOnly && (f.lblNumber.caption() != (r.success ? "3" : "0") || !f.optJoin.value() ||
                     (!r.success && f.txtSource.text() + f.txtDest.text() != "")))
    broken("the load left the window wrong");
  // A file already gone when it was to be deleted is the one failure that may pass in silence.
  const auto& failure = r.fs.failure;
  const bool gone = failure && failure->error() == ENOENT && failure->action() == "delete";
  if (r.success && failure && !gone) broken("a failing call went unreported");
  if (!r.success && failure) {
    // The unnamed joined copy carries its folder's name; the user knows it as the destination.
    const bool copy = r.fs.failedOnFile && failure->path().back() == '/';
    const std::string named = copy ? r.root + (p.join ? r.whole : r.stem) : failure->path();
    if (!has(detail, "\"" + named) || !has(detail, "\": " + failure->reason()))
      broken("file or reason unsaid");
  }

  // What a successful run leaves: the outputs in place, the inputs gone when so asked.
  // A joined set goes whole when so asked: its checksum file and shell script too.
  std::vector<std::string> inputs = p.join ? set : std::vector{r.whole};
  if (p.join) inputs.insert(inputs.end(), {r.stem + "sha256", r.stem + "sh"});
  Snapshot result = r.before;
  if (!p.loadOnly && p.dest != Dest::Keep) {
    for (const auto& name : inputs)
      if (p.deleteInput) result.erase(name);
    if (p.join) result[r.whole] = r.bytes;
    for (int i = 0; i < 3 && !p.join; ++i)
      result[set[i]] = r.piece(i + 1);
    if (!p.join) result[set[3]] = r.dataText();
    if (!p.join && p.batch)
      result[set[4]] = BatchFileText(nameOf(r.whole), nameOf(r.stem) + "qkd", 3);
    // The window's split always writes checksums, and with the batch file the shell script.
    if (!p.join) result[r.stem + "sha256"] = r.sumsText();
    if (!p.join && p.batch) result[r.stem + "sh"] = r.scriptText();
  }
  // `want`, except that each of `names` may also be as before, or gone when `orGone`.
  auto allowing = [&](Snapshot want, const std::vector<std::string>& names, bool orGone) {
    for (const auto& name : names) {
      const auto now = get(r.after, name);
      if (now != get(r.before, name) && (now || !orGone)) continue;
      want.erase(name);
      if (now) want[name] = *now;
    }
    return want;
  };
  const std::vector<std::string> none;
  if (r.success) {
    // An injected "No such file" leaves the file of the set there, which a real one would not.
    const auto stays = gone && p.join ? std::vector{failure->path().substr(r.root.size())} : none;
    if (allowing(result, stays, false) != r.after) broken("a successful run left the wrong files");
  } else if (r.after == r.before) {
    // A failure before the main work (for a split: before its set is in place) changes nothing.
  } else if (!p.join && has(detail, "partly replaced")) {
    // Only a failing rename while the new set takes the old one's place can cost the old set
    // files, never its data file without its parts; and nothing of the new one stays.
    if (allowing(r.before, set, true) != r.after)
      broken("a failure while the set was put in place left files of the new set");
    for (int i = 0; i < 3; ++i)
      if (get(r.after, set[3]) && get(r.before, set[i]) && !get(r.after, set[i]))
        broken("an older data file was left without its parts");
  } else {
    // A failure after the main work keeps the whole result and says so; the inputs stay, or are
    // gone when so asked, and no batch file of the run is left.
    r.kept = true;
    // The batch file of a split is part of its set; that of a join's set may stay.
    Snapshot kept = allowing(result, inputs, false);
    if (allowing(kept, p.join ? std::vector{set[4]} : none, false) != r.after)
      broken("the whole result is not there");
    if (!has(detail, p.join ? "was joined" : "complete")) broken("kept, but does not say so");
    if (!p.join && get(r.before, r.whole) && !get(r.after, r.whole) &&
        !has(detail, "source was deleted"))
      broken("the source is gone, but the message does not say so");
  }
  return v;
}

}  // namespace qm::test
