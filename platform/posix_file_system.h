// The file system of a POSIX system: short transfers looped, EINTR retried, close checked.
#pragma once

#include <sys/types.h>

#include <vector>

#include "platform/file_system.h"

namespace qm {

class PosixFileSystem : public FileSystem {
 public:
  // Temporary files are unnamed where the file system allows; `unnamedTemporaries` false takes
  // the named way everywhere, as on file systems without them.
  explicit PosixFileSystem(bool unnamedTemporaries = true)
      : unnamedTemporaries_(unnamedTemporaries) {}

  FileInfo Stat(const std::string& path) override;
  std::unique_ptr<File> OpenRead(const std::string& path) override;
  std::unique_ptr<File> Create(const std::string& path) override;
  std::unique_ptr<File> CreateExecutable(const std::string& path) override;
  void Remove(const std::string& path) override;
  void Rename(const std::string& from, const std::string& to) override;
  std::uint64_t Copy(File& from, File& to, std::uint64_t n) override;
  std::unique_ptr<File> CreateTemporary(const std::string& folder) override;
  void Publish(File& temporary, const std::string& path) override;
  void Discard(File& temporary) noexcept override;
  void SyncFolder(const std::string& folder) override;
  void CreateFolder(const std::string& path) override;
  std::string CurrentFolder() override;
  std::string HomeFolder() override;

 private:
  std::unique_ptr<File> CreateWithMode(const std::string& path, mode_t mode);

  static constexpr std::size_t kBufferSize = std::size_t{256} * 1024;
  bool unnamedTemporaries_;
  bool kernelCopy_ = true;
  std::vector<char> buffer_;
};

}  // namespace qm
