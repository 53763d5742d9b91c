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
 public:
  explicit FaultFileSystem(FileSystem& inner) : inner_(inner) {}

  // Fails the `nth` (1-based) call of kind `op` with `error`; 0 disarms. Stat cannot fail: when
  // chosen, it answers "absent".
  void failAt(Op op, int nth, int error) {
    failOp_ = op;
    failNth_ = nth;
    failError_ = error;
  }
  // Fails every call of kind `op` whose path contains `fragment`.
  void failPath(Op op, std::string fragment, int error) {
    pathOp_ = op;
    pathFragment_ = std::move(fragment);
    pathError_ = error;
  }
  int calls(Op op) const { return counts_[static_cast<int>(op)]; }
  bool fired() const { return fired_; }
  void reset() {
    for (auto& count : counts_)
      count = 0;
    fired_ = false;
    failNth_ = 0;
    pathFragment_.clear();
  }

  // Runs before every call with its kind and path: the place for a test to change the disk
  // between two calls, as another process racing the run would.
  std::function<void(Op, const std::string&)> before;

  // Raises the injected error when this call is the chosen one.
  void hit(Op op, const std::string& path);

  FileInfo Stat(const std::string& path) override;
  std::unique_ptr<File> OpenRead(const std::string& path) override;
  std::unique_ptr<File> Create(const std::string& path) override;
  std::unique_ptr<File> CreateExecutable(const std::string& path) override;
  void Remove(const std::string& path) override;
  void Rename(const std::string& from, const std::string& to) override;
  std::uint64_t Copy(File& from, File& to, std::uint64_t n) override;
  // A chosen call moves only the first half of the range, as a file system that gives up
  // partway; Copy must then move the rest.
  std::uint64_t CopyAhead(File& from, File& to, std::uint64_t n) override;
  std::unique_ptr<File> CreateTemporary(const std::string& folder) override;
  void Publish(File& temporary, const std::string& path) override;
  std::string Stage(File& temporary) override;
  void Discard(File& temporary) noexcept override;
  void SyncFolder(const std::string& folder) override;
  void CreateFolder(const std::string& path) override { inner_.CreateFolder(path); }
  std::unique_ptr<Folder> OpenFolder(const std::string& path) override;
  FileInfo StatAt(Folder& folder, const std::string& name) override;
  std::unique_ptr<File> OpenReadAt(Folder& folder, const std::string& name, Follow follow) override;
  std::unique_ptr<File> CreateAt(Folder& folder, const std::string& name,
                                 std::uint32_t mode) override;
  void RemoveAt(Folder& folder, const std::string& name) override;
  std::unique_ptr<File> CreateTemporaryAt(Folder& folder) override;
  void PublishAt(File& temporary, Folder& folder, const std::string& name) override;
  void SyncFolderAt(Folder& folder) override;
  void CheckName(Folder& folder, const std::string& name) override {
    inner_.CheckName(folder, name);
  }
  bool Claim(Folder& folder, const std::string& key) override { return inner_.Claim(folder, key); }
  std::uint32_t Umask() override { return inner_.Umask(); }
  std::string Resolve(const std::string& path) override { return inner_.Resolve(path); }
  std::string CurrentFolder() override {
    return current.empty() ? inner_.CurrentFolder() : current;
  }
  std::string current;  // when set, the current folder, so relative names resolve in a test's
  std::string HomeFolder() override { return inner_.HomeFolder(); }

 private:
  bool chosen(Op op, const std::string& path);

  FileSystem& inner_;
  std::array<std::atomic<int>, static_cast<int>(Op::Count_)> counts_{};
  Op failOp_ = Op::Count_;
  int failNth_ = 0;
  int failError_ = 0;
  Op pathOp_ = Op::Count_;
  std::string pathFragment_;
  int pathError_ = 0;
  std::atomic<bool> fired_ = false;
};

}  // namespace qm::test
