// The file system of a POSIX system: short transfers looped, EINTR retried, close checked.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qm {

class PosixFileSystem : public FileSystem {
 public:
  // Temporary files are unnamed where the file system allows; `unnamedTemporaries` false takes
  // the named way everywhere, as on file systems without them. `procFolder` is where the system
  // shows the open descriptors; without it unnamed files cannot be named, so none are made.
  explicit PosixFileSystem(bool unnamedTemporaries = true,
                           std::string procFolder = "/proc/self/fd/");

  FileInfo Stat(const std::string& path) override;
  std::unique_ptr<File> OpenRead(const std::string& path) override;
  std::unique_ptr<File> Create(const std::string& path) override;
  std::unique_ptr<File> CreateExecutable(const std::string& path) override;
  void Remove(const std::string& path) override;
  void RenameAt(Folder& folder, const std::string& from, const std::string& to) override;
  std::uint64_t Copy(File& from, File& to, std::uint64_t n) override;
  std::uint64_t CopyAhead(File& from, File& to, std::uint64_t n) override;
  std::unique_ptr<File> CreateTemporary(const std::string& folder) override;
  void Publish(File& temporary, const std::string& path) override;
  std::string Stage(File& temporary) override;
  void Discard(File& temporary) noexcept override;
  void CreateFolder(const std::string& path) override;
  std::unique_ptr<Folder> OpenFolder(const std::string& path) override;
  FileInfo StatAt(Folder& folder, const std::string& name) override;
  std::unique_ptr<File> OpenReadAt(Folder& folder, const std::string& name, Follow follow) override;
  std::unique_ptr<File> CreateAt(Folder& folder, const std::string& name,
                                 std::uint32_t mode) override;
  void RemoveAt(Folder& folder, const std::string& name) override;
  std::unique_ptr<File> CreateTemporaryAt(Folder& folder) override;
  std::unique_ptr<File> CreateHiddenAt(Folder& folder) override;
  void PublishAt(File& temporary, Folder& folder, const std::string& name) override;
  void SyncFolderAt(Folder& folder) override;
  void SyncFileSystemAt(Folder& folder) override;
  void CheckName(Folder& folder, const std::string& name) override;
  bool Claim(Folder& folder, const std::string& key) override;
  std::uint32_t Umask() override;
  std::string Resolve(const std::string& path) override;
  std::string CurrentFolder() override;
  std::string HomeFolder() override;

 private:
  static constexpr std::size_t kBufferSize = std::size_t{256} * 1024;
  bool unnamedTemporaries_;
  std::string procFolder_;
  std::uint32_t umask_;
  std::vector<char> buffer_;
};

}  // namespace qm
