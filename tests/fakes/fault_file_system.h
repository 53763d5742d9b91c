// A file system that passes every call to a real one, counts the calls by kind, and fails a
// chosen call with a chosen errno, so tests can see what a fault at any step leaves behind.
// Checksums read files on a thread of their own, so the counts are atomic; arm it only while
// no run is going on.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <string>

#include "platform/file_system.h"

namespace qm::test {

// clang-format off
enum class Op { Stat, OpenRead, Create, Read, ReadAt, Write, Copy, CopyAhead, Length, Flush, Close,
                Remove, Rename, CreateTemporary, Publish, SyncFolder, OpenFolder, Count_ };
// clang-format on

const char* opName(Op op);

class FaultFileSystem : public FileSystem {
  using FilePtr = std::unique_ptr<File>;
  using Name = const std::string&;

 public:
  explicit FaultFileSystem(FileSystem& inner) : inner_(inner) {}

  // Fails the `nth` (1-based) call of kind `op` with `error`, or every call of that kind whose
  // path contains `fragment`; one fault is armed at a time. Stat cannot fail: when chosen, it
  // answers "absent".
  void failAt(Op op, int nth, int error) { fault_ = {op, nth, "", error}; }
  void failPath(Op op, std::string fragment, int error) {
    fault_ = {op, 0, std::move(fragment), error};
  }
  int calls(Op op) const { return counts_[static_cast<int>(op)]; }
  bool fired() const { return fired_; }
  void reset() {
    for (auto& count : counts_)
      count = 0;
    fired_ = false;
    fault_ = {};
  }

  // Runs before every call with its kind and path: the place for a test to change the disk
  // between two calls, as another process racing the run would.
  std::function<void(Op, const std::string&)> before;

  // Raises the injected error when this call is the chosen one; else hands back the real system.
  FileSystem& hit(Op op, const std::string& path);

  FileInfo Stat(Name path) override { return absent(path) ? FileInfo{} : inner_.Stat(path); }
  FilePtr OpenRead(Name path) override { return wrap(hit(Op::OpenRead, path).OpenRead(path)); }
  FilePtr Create(Name path) override { return wrap(hit(Op::Create, path).Create(path)); }
  FilePtr CreateExecutable(Name path) override {
    return wrap(hit(Op::Create, path).CreateExecutable(path));
  }
  void Remove(Name path) override { hit(Op::Remove, path).Remove(path); }
  std::uint64_t Copy(File& from, File& to, std::uint64_t n) override {
    return hit(Op::Copy, to.path()).Copy(unwrap(from), unwrap(to), n);
  }
  // A chosen call moves only the first half of the range, as a file system that gives up
  // partway; Copy must then move the rest.
  std::uint64_t CopyAhead(File& from, File& to, std::uint64_t n) override;
  FilePtr CreateTemporary(Name folder) override {
    return wrap(hit(Op::CreateTemporary, folder).CreateTemporary(folder));
  }
  void Publish(File& temporary, Name path) override {
    hit(Op::Publish, path).Publish(unwrap(temporary), path);
  }
  // Staging is a publication under a hidden name, and fails the way one does.
  std::string Stage(File& temporary) override {
    return hit(Op::Publish, temporary.path()).Stage(unwrap(temporary));
  }
  void Discard(File& temporary) noexcept override { inner_.Discard(unwrap(temporary)); }
  void CreateFolder(Name path) override { inner_.CreateFolder(path); }
  std::unique_ptr<Folder> OpenFolder(Name path) override {
    return hit(Op::OpenFolder, path).OpenFolder(path);
  }
  FileInfo StatAt(Folder& folder, Name name) override {
    return absent(folder.path() + name) ? FileInfo{} : inner_.StatAt(folder, name);
  }
  FilePtr OpenReadAt(Folder& folder, Name name, Follow follow) override {
    return wrap(hit(Op::OpenRead, folder.path() + name).OpenReadAt(folder, name, follow));
  }
  FilePtr CreateAt(Folder& folder, Name name, std::uint32_t mode) override {
    return wrap(hit(Op::Create, folder.path() + name).CreateAt(folder, name, mode));
  }
  void RemoveAt(Folder& folder, Name name) override {
    hit(Op::Remove, folder.path() + name).RemoveAt(folder, name);
  }
  void RenameAt(Folder& folder, Name from, Name to) override {
    hit(Op::Rename, folder.path() + to).RenameAt(folder, from, to);
  }
  FilePtr CreateTemporaryAt(Folder& folder) override {
    return wrap(hit(Op::CreateTemporary, folder.path()).CreateTemporaryAt(folder));
  }
  FilePtr CreateHiddenAt(Folder& folder) override {
    return wrap(hit(Op::CreateTemporary, folder.path()).CreateHiddenAt(folder));
  }
  void PublishAt(File& temporary, Folder& folder, Name name) override {
    hit(Op::Publish, folder.path() + name).PublishAt(unwrap(temporary), folder, name);
  }
  void SyncFolderAt(Folder& folder) override {
    hit(Op::SyncFolder, folder.path()).SyncFolderAt(folder);
  }
  void SyncFileSystemAt(Folder& folder) override {
    hit(Op::Flush, folder.path()).SyncFileSystemAt(folder);
  }
  void CheckName(Folder& folder, Name name) override { inner_.CheckName(folder, name); }
  bool Claim(Folder& folder, Name key) override { return inner_.Claim(folder, key); }
  std::uint32_t Umask() override { return inner_.Umask(); }
  std::string Resolve(Name path) override { return inner_.Resolve(path); }
  std::string CurrentFolder() override {
    return current.empty() ? inner_.CurrentFolder() : current;
  }
  std::string current;  // when set, the current folder, so relative names resolve in a test's
  std::string HomeFolder() override { return inner_.HomeFolder(); }

 private:
  bool chosen(Op op, const std::string& path);
  bool absent(const std::string& path);                    // a Stat chosen to fail
  std::unique_ptr<File> wrap(std::unique_ptr<File> file);  // so its calls can fail too
  static File& unwrap(File& file);

  FileSystem& inner_;
  std::array<std::atomic<int>, static_cast<int>(Op::Count_)> counts_{};
  struct {
    Op op = Op::Count_;
    int nth = 0;
    std::string fragment;
    int error = 0;
  } fault_;
  std::atomic<bool> fired_ = false;
};

}  // namespace qm::test
