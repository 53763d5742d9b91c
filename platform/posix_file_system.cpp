#include "platform/posix_file_system.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace qm {
namespace {

// The system's reason for errno `error`, as a sentence fragment.
std::string reasonOf(int error) {
  return std::strerror(error);
}

[[noreturn]] void fail(const std::string& path, const std::string& action, int error) {
  throw FileError(path, action, error);
}

// A temporary file's name marks it as ours, so nobody takes a leftover for a result.
constexpr const char* kTempPrefix = ".quellmark-";
constexpr const char* kTempSuffix = ".qkt";

class PosixFile : public File {
 public:
  PosixFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  const std::string& path() const override { return path_; }
  int fd() const { return fd_; }

  std::size_t Read(void* buffer, std::size_t n) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
      const ssize_t got = ::read(fd_, out + done, n - done);
      if (got < 0) {
        if (errno == EINTR) continue;
        fail(path_, "read", errno);
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

  std::size_t ReadAt(void* buffer, std::size_t n, std::uint64_t offset) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
      const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0) {
        if (errno == EINTR) continue;
        fail(path_, "read", errno);
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

  void Write(const void* data, std::size_t n) override {
    const auto* in = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < n) {
      const ssize_t put = ::write(fd_, in + done, n - done);
      if (put < 0) {
        if (errno == EINTR) continue;
        fail(path_, "write", errno);
      }
      done += static_cast<std::size_t>(put);
    }
  }

  std::uint64_t Length() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail(path_, "measure", errno);
    return static_cast<std::uint64_t>(st.st_size);
  }

  void Flush() override {
    if (::fsync(fd_) != 0) fail(path_, "flush to disk", errno);
  }

  void Close() override {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close fails, so it is never retried.
    if (::close(fd) != 0 && errno != EINTR) fail(path_, "close", errno);
  }

  // A named temporary file (when the system cannot make an unnamed one) keeps its name here.
  std::string tempName;
  bool unnamed = false;

 private:
  std::string path_;
  int fd_;
};

PosixFile& posix(File& file) {
  return dynamic_cast<PosixFile&>(file);
}

std::string randomSuffix() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::string out;
  for (int i = 0; i < 10; ++i)
    out += kChars[device() % (sizeof(kChars) - 1)];
  return out;
}

std::string folderOrDot(const std::string& folder) {
  return folder.empty() ? "." : folder;
}

}  // namespace

FileError::FileError(std::string path, std::string action, int error)
    : FileError(std::move(path), std::move(action), reasonOf(error)) {
  error_ = error;
}

FileError::FileError(std::string path, std::string action, std::string reason)
    : std::runtime_error("Could not " + action + " \"" + path + "\": " + reason),
      path_(std::move(path)),
      action_(std::move(action)),
      reason_(std::move(reason)) {}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileInfo PosixFileSystem::Stat(const std::string& path) {
  FileInfo info;
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return info;
  info.exists = true;
  info.regular = S_ISREG(st.st_mode);
  info.length = static_cast<std::uint64_t>(st.st_size);
  info.device = static_cast<std::uint64_t>(st.st_dev);
  info.inode = static_cast<std::uint64_t>(st.st_ino);
  return info;
}

std::unique_ptr<File> PosixFileSystem::OpenRead(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) fail(path, "open for reading", errno);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    fail(path, "open for reading", EISDIR);
  }
  // Split and join read front to back once; tell the kernel to read ahead generously.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<PosixFile>(path, fd);
}

std::unique_ptr<File> PosixFileSystem::Create(const std::string& path) {
  return CreateWithMode(path, 0666);
}

std::unique_ptr<File> PosixFileSystem::CreateExecutable(const std::string& path) {
  return CreateWithMode(path, 0777);
}

std::unique_ptr<File> PosixFileSystem::CreateWithMode(const std::string& path, mode_t mode) {
  // Never through a symbolic link: one of the output's name, even one that points nowhere,
  // would send the bytes into another folder. Such a link is replaced, as a file would be.
  const auto open = [&path, mode](int flags) {
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
  };
  int fd = open(O_TRUNC);
  if (fd < 0 && errno == ELOOP) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      if (::unlink(path.c_str()) != 0) fail(path, "replace the link", errno);
      fd = open(O_EXCL);
    } else {
      errno = ELOOP;
    }
  }
  if (fd < 0) fail(path, "create", errno);
  return std::make_unique<PosixFile>(path, fd);
}

void PosixFileSystem::Remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0) fail(path, "delete", errno);
}

void PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    const int error = errno;
    throw FileError(to, "rename \"" + from + "\" to", error);
  }
}

std::uint64_t PosixFileSystem::Copy(File& from, File& to, std::uint64_t n) {
  PosixFile& in = posix(from);
  PosixFile& out = posix(to);
  std::uint64_t done = 0;
  // The kernel moves the bytes itself where it can; otherwise they pass through one buffer
  // that lives as long as this file system.
  while (done < n && kernelCopy_) {
    const std::size_t chunk =
        static_cast<std::size_t>(std::min<std::uint64_t>(n - done, SSIZE_MAX));
    const ssize_t moved = ::copy_file_range(in.fd(), nullptr, out.fd(), nullptr, chunk, 0);
    if (moved > 0) {
      done += static_cast<std::uint64_t>(moved);
      continue;
    }
    if (moved == 0) return done;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
        errno == EBADF) {
      kernelCopy_ = false;  // this kernel or file system will not; stop asking
      break;
    }
    if (errno == EIO || errno == ENOSPC || errno == EFBIG || errno == EDQUOT) {
      fail(out.path(), "write", errno);
    }
    fail(in.path(), "read", errno);
  }
  if (done == n) return done;
  // Only a file system that refuses the kernel's copy gets the buffer.
  if (buffer_.empty()) buffer_.resize(kBufferSize);
  while (done < n) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(n - done, buffer_.size()));
    const std::size_t got = in.Read(buffer_.data(), want);
    out.Write(buffer_.data(), got);
    done += got;
    if (got < want) break;
  }
  return done;
}

std::unique_ptr<File> PosixFileSystem::CreateTemporary(const std::string& folder) {
  const std::string where = folderOrDot(folder);
#ifdef O_TMPFILE
  int fd = -1;
  errno = EOPNOTSUPP;
  while (unnamedTemporaries_) {
    fd = ::open(where.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EINTR) break;
  }
  if (fd >= 0) {
    auto file = std::make_unique<PosixFile>(where, fd);
    file->unnamed = true;
    return file;
  }
  // Only a file system that lacks unnamed files falls through to a named one.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    fail(where, "create a temporary file in", errno);
  }
#endif
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = folder + kTempPrefix + randomSuffix() + kTempSuffix;
    int named = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (named >= 0) {
      auto file = std::make_unique<PosixFile>(name, named);
      file->tempName = name;
      return file;
    }
    if (errno != EEXIST && errno != EINTR) fail(where, "create a temporary file in", errno);
  }
  fail(where, "create a temporary file in", EEXIST);
}

void PosixFileSystem::Publish(File& temporary, const std::string& path) {
  PosixFile& file = posix(temporary);
  if (!file.unnamed) {
    Rename(file.tempName, path);
    file.tempName.clear();
    return;
  }
  // An unnamed file cannot replace a name directly: give it a name of its own first, then
  // rename that over the destination in one step.
  const std::string proc = "/proc/self/fd/" + std::to_string(file.fd());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = folderOf(path) + kTempPrefix + randomSuffix() + kTempSuffix;
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      try {
        Rename(name, path);
      } catch (...) {
        ::unlink(name.c_str());
        throw;
      }
      return;
    }
    if (errno != EEXIST) fail(path, "give the joined file its name", errno);
  }
  fail(path, "give the joined file its name", EEXIST);
}

void PosixFileSystem::Discard(File& temporary) noexcept {
  auto* file = dynamic_cast<PosixFile*>(&temporary);
  if (file == nullptr) return;
  try {
    file->Close();
  } catch (...) {
    // Nothing was published; a failed close loses nothing.
  }
  if (!file->tempName.empty()) {
    ::unlink(file->tempName.c_str());
    file->tempName.clear();
  }
}

void PosixFileSystem::SyncFolder(const std::string& folder) {
  const std::string where = folderOrDot(folder);
  const int fd = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail(where, "open the folder", errno);
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  // Some file systems cannot sync a folder at all; that is no reason to fail the work.
  if (result != 0 && error != EINVAL && error != EROFS) fail(where, "flush to disk", error);
}

void PosixFileSystem::CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return;
  const int error = errno;
  struct stat st {};
  if (error == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
  fail(path, "create the folder", error);
}

std::string PosixFileSystem::CurrentFolder() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return ".";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string PosixFileSystem::HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return "/";
}

}  // namespace qm
