#include "platform/posix_file_system.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
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

FileInfo infoOf(const struct stat& st) {
  FileInfo info;
  info.exists = true;
  info.regular = S_ISREG(st.st_mode);
  info.link = S_ISLNK(st.st_mode);
  info.length = static_cast<std::uint64_t>(st.st_size);
  info.device = static_cast<std::uint64_t>(st.st_dev);
  info.inode = static_cast<std::uint64_t>(st.st_ino);
  info.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  info.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
  return info;
}

// An open folder's descriptor, shared by the folder and the temporary files made in it.
struct FolderHandle {
  explicit FolderHandle(int fd) : fd(fd) {}
  ~FolderHandle() { ::close(fd); }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  int fd;
};

class PosixFolder : public Folder {
 public:
  PosixFolder(std::string path, int fd)
      : path_(std::move(path)), handle_(std::make_shared<FolderHandle>(fd)) {}
  const std::string& path() const override { return path_; }
  int fd() const { return handle_->fd; }
  const std::shared_ptr<FolderHandle>& handle() const { return handle_; }

 private:
  std::string path_;
  std::shared_ptr<FolderHandle> handle_;
};

PosixFolder& posix(Folder& folder) {
  return dynamic_cast<PosixFolder&>(folder);
}

class PosixFile : public File {
 public:
  PosixFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  const std::string& path() const override { return path_; }
  int fd() const { return fd_; }

  std::size_t Read(void* buffer, std::size_t n) override {
    return readAll(buffer, n, [this](char* at, std::size_t want, std::size_t) {
      return ::read(fd_, at, want);
    });
  }

  std::size_t ReadAt(void* buffer, std::size_t n, std::uint64_t offset) override {
    return readAll(buffer, n, [this, offset](char* at, std::size_t want, std::size_t done) {
      return ::pread(fd_, at, want, static_cast<off_t>(offset + done));
    });
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

  FileInfo Info() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail(path_, "measure", errno);
    return infoOf(st);
  }

  void SetMode(std::uint32_t mode) override {
    if (::fchmod(fd_, static_cast<mode_t>(mode & 07777)) != 0) {
      fail(path_, "set the permissions of", errno);
    }
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

  // A named temporary file (when the system cannot make an unnamed one) keeps its name here,
  // relative to its own handle on the folder it was made in.
  std::string tempName;
  bool unnamed = false;
  std::shared_ptr<FolderHandle> tempFolder;
  // The kernel refused to copy into this file (another file system, one that cannot); the bytes
  // go through the buffer. Only this file: the next part may well be elsewhere.
  bool kernelRefused = false;

 private:
  // Reads until `n` bytes or the end of the file, whatever a single call gives back.
  template <typename Call>
  std::size_t readAll(void* buffer, std::size_t n, Call call) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
      const ssize_t got = call(out + done, n - done, done);
      if (got < 0) {
        if (errno == EINTR) continue;
        fail(path_, "read", errno);
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

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
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  FileInfo info = infoOf(st);
  info.link = false;
  return info;
}

namespace {

// Opens `name` relative to `at` for reading. A pipe or a device would block the open or the
// reads forever, so the open never waits, and only an ordinary file is kept.
std::unique_ptr<PosixFile> openForReading(int at, const std::string& name, const std::string& path,
                                          bool follow) {
  const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW);
  int fd;
  do {
    fd = ::openat(at, name.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && errno == ELOOP && !follow) {
    throw FileError(path, "open for reading", "it is a symbolic link, which is not followed here");
  }
  if (fd < 0) fail(path, "open for reading", errno);
  auto file = std::make_unique<PosixFile>(path, fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) fail(path, "open for reading", errno);
  if (S_ISDIR(st.st_mode)) fail(path, "open for reading", EISDIR);
  if (!S_ISREG(st.st_mode)) {
    throw FileError(path, "open for reading", "it is not an ordinary file");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  // Split and join read front to back once; tell the kernel to read ahead generously.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return file;
}

// Creates `name` relative to `at`, never through a symbolic link: one of the output's name, even
// one that points nowhere, would send the bytes into another folder. Such a link is replaced, as
// a file would be. A pipe or a device of that name is refused, never written into.
std::unique_ptr<PosixFile> createFile(int at, const std::string& name, const std::string& path,
                                      std::uint32_t mode, std::uint32_t umask) {
  const auto open = [&](int flags) {
    int fd;
    do {
      fd = ::openat(at, name.c_str(),
                    O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | flags,
                    static_cast<mode_t>(mode & 0777));
    } while (fd < 0 && errno == EINTR);
    return fd;
  };
  int fd = open(0);
  if (fd < 0 && errno == ELOOP) {
    struct stat st {};
    if (::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
      if (::unlinkat(at, name.c_str(), 0) != 0) fail(path, "replace the link", errno);
      fd = open(O_EXCL);
    } else {
      errno = ELOOP;
    }
  }
  if (fd < 0 && errno == ENXIO) {
    throw FileError(path, "create", "a pipe or a device has that name");
  }
  if (fd < 0) fail(path, "create", errno);
  auto file = std::make_unique<PosixFile>(path, fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) fail(path, "create", errno);
  if (!S_ISREG(st.st_mode)) throw FileError(path, "create", "a pipe or a device has that name");
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (::ftruncate(fd, 0) != 0) fail(path, "create", errno);
  // A file that was there keeps its old bits unless told.
  if ((st.st_mode & 07777) != (mode & 0777 & ~umask)) file->SetMode(mode & 0777 & ~umask);
  return file;
}

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path.empty() ? "." : path;
}

std::unique_ptr<PosixFolder> openFolder(const std::string& path, bool follow) {
  const std::string where = withoutTrailingSlash(path);
  int fd;
  do {
    fd = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && errno == ENOTDIR && !follow) {
    struct stat st {};
    if (::lstat(where.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      throw FileError(where, "open the folder",
                      "it is a symbolic link, which is not followed here");
    }
  }
  if (fd < 0 && errno == ELOOP && !follow) {
    throw FileError(where, "open the folder", "it is a symbolic link, which is not followed here");
  }
  if (fd < 0) fail(where, "open the folder", errno);
  std::string shown = path;
  if (!shown.empty() && !shown.ends_with("/")) shown += "/";
  return std::make_unique<PosixFolder>(shown, fd);
}

std::uint32_t readUmask() {
  // The kernel says it without our changing it; only without /proc is it set and put back.
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned value = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &value) == 1;
    }
    std::fclose(status);
    if (found) return value & 0777;
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return static_cast<std::uint32_t>(mask) & 0777;
}

}  // namespace

PosixFileSystem::PosixFileSystem(bool unnamedTemporaries, std::string procFolder)
    : unnamedTemporaries_(unnamedTemporaries),
      procFolder_(std::move(procFolder)),
      umask_(readUmask()) {}

std::unique_ptr<File> PosixFileSystem::OpenRead(const std::string& path) {
  return openForReading(AT_FDCWD, path, path, true);
}

std::unique_ptr<File> PosixFileSystem::Create(const std::string& path) {
  return createFile(AT_FDCWD, path, path, 0666, umask_);
}

std::unique_ptr<File> PosixFileSystem::CreateExecutable(const std::string& path) {
  return createFile(AT_FDCWD, path, path, 0777, umask_);
}

void PosixFileSystem::Remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0) fail(path, "delete", errno);
}

void PosixFileSystem::RenameAt(Folder& folder, const std::string& from, const std::string& to) {
  const int at = posix(folder).fd();
  if (::renameat(at, from.c_str(), at, to.c_str()) != 0) {
    const int error = errno;
    throw FileError(folder.path() + to, "rename \"" + from + "\" to", error);
  }
}

std::uint64_t PosixFileSystem::Copy(File& from, File& to, std::uint64_t n) {
  if (n == 0) return 0;  // a block whose bytes went ahead: most of them, where whole parts copy
  PosixFile& in = posix(from);
  PosixFile& out = posix(to);
  std::uint64_t done = 0;
  // The kernel moves the bytes itself where it can; otherwise they pass through one buffer
  // that lives as long as this file system.
  while (done < n && !out.kernelRefused) {
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
      out.kernelRefused = true;  // this kernel or file system will not; stop asking
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

std::unique_ptr<Folder> PosixFileSystem::OpenFolder(const std::string& path) {
  return openFolder(path, false);
}

FileInfo PosixFileSystem::StatAt(Folder& folder, const std::string& name) {
  struct stat st {};
  if (name.empty() || ::fstatat(posix(folder).fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return {};
  }
  return infoOf(st);
}

std::unique_ptr<File> PosixFileSystem::OpenReadAt(Folder& folder, const std::string& name,
                                                  Follow follow) {
  return openForReading(posix(folder).fd(), name, folder.path() + name, follow == Follow::Yes);
}

std::unique_ptr<File> PosixFileSystem::CreateAt(Folder& folder, const std::string& name,
                                                std::uint32_t mode) {
  return createFile(posix(folder).fd(), name, folder.path() + name, mode, umask_);
}

void PosixFileSystem::RemoveAt(Folder& folder, const std::string& name) {
  if (::unlinkat(posix(folder).fd(), name.c_str(), 0) != 0) {
    fail(folder.path() + name, "delete", errno);
  }
}

std::uint64_t PosixFileSystem::CopyAhead(File& from, File& to, std::uint64_t n) {
  PosixFile& in = posix(from);
  PosixFile& out = posix(to);
  std::uint64_t done = 0;
  // The page cache fills 64 KiB folios when the writes start on their boundaries; a range that
  // starts between two goes up to the next one first, and the rest follows aligned.
  constexpr std::uint64_t kAlign = std::uint64_t{64} * 1024;
  const off_t at = out.kernelRefused ? -1 : ::lseek(out.fd(), 0, SEEK_CUR);
  std::uint64_t first = n;
  if (at > 0 && static_cast<std::uint64_t>(at) % kAlign != 0) {
    first = std::min(n, kAlign - static_cast<std::uint64_t>(at) % kAlign);
  }
  while (done < n && !out.kernelRefused) {
    const std::uint64_t want = done == 0 ? first : n - done;
    const ssize_t moved =
        ::copy_file_range(in.fd(), nullptr, out.fd(), nullptr,
                          static_cast<std::size_t>(std::min<std::uint64_t>(want, SSIZE_MAX)), 0);
    if (moved > 0) {
      done += static_cast<std::uint64_t>(moved);
      continue;
    }
    if (moved < 0 && errno == EINTR) continue;
    if (moved < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                      errno == EBADF)) {
      out.kernelRefused = true;  // as in Copy
    }
    break;  // the end of the source, or a failure that Copy will meet and report
  }
  return done;
}

std::unique_ptr<File> PosixFileSystem::CreateTemporary(const std::string& folder) {
  // The user's own configuration folder may well be a link; a temporary file goes where it leads.
  auto where = openFolder(folder, true);
  return CreateTemporaryAt(*where);
}

std::unique_ptr<File> PosixFileSystem::CreateTemporaryAt(Folder& folder) {
  PosixFolder& where = posix(folder);
  const std::string shown = folder.path().empty() ? "." : folder.path();
  // An unnamed file can only be given a name through /proc; without it, take the named way at
  // once rather than copy everything and then fail to name the result.
  const bool unnamed = unnamedTemporaries_ && ::access(procFolder_.c_str(), X_OK) == 0;
#ifdef O_TMPFILE
  int fd = -1;
  errno = EOPNOTSUPP;
  while (unnamed) {
    fd = ::openat(where.fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EINTR) break;
  }
  if (fd >= 0) {
    auto file = std::make_unique<PosixFile>(shown, fd);
    file->unnamed = true;
    file->tempFolder = where.handle();
    return file;
  }
  // Only a file system that lacks unnamed files falls through to a named one.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    fail(shown, "create a temporary file in", errno);
  }
#else
  (void)unnamed;
#endif
  return CreateHiddenAt(folder);
}

std::unique_ptr<File> PosixFileSystem::CreateHiddenAt(Folder& folder) {
  PosixFolder& where = posix(folder);
  const std::string shown = folder.path().empty() ? "." : folder.path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = kTempPrefix + randomSuffix() + kTempSuffix;
    // Open to its owner only while it fills: the final bits are set when it is published.
    int named = ::openat(where.fd(), name.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (named >= 0) {
      // Known, as an unnamed one is, by its folder: its own name means nothing to a user.
      auto file = std::make_unique<PosixFile>(shown, named);
      file->tempName = name;
      file->tempFolder = where.handle();
      return file;
    }
    if (errno != EEXIST && errno != EINTR) fail(shown, "create a temporary file in", errno);
  }
  fail(shown, "create a temporary file in", EEXIST);
}

void PosixFileSystem::Publish(File& temporary, const std::string& path) {
  auto folder = openFolder(folderOf(path), true);
  PublishAt(temporary, *folder, nameOf(path));
}

void PosixFileSystem::PublishAt(File& temporary, Folder& folder, const std::string& name) {
  PosixFile& file = posix(temporary);
  const int to = posix(folder).fd();
  const std::string path = folder.path() + name;
  const auto rename = [&](int from, const std::string& fromName) {
    if (::renameat(from, fromName.c_str(), to, name.c_str()) != 0) {
      const int error = errno;
      throw FileError(path, "rename \"" + fromName + "\" to", error);
    }
  };
  if (!file.unnamed) {
    rename(file.tempFolder ? file.tempFolder->fd : AT_FDCWD, file.tempName);
    file.tempName.clear();
    return;
  }
  // An unnamed file takes a free name directly. It cannot replace a name: for that it gets a
  // name of its own first, which is then renamed over the destination in one step.
  const std::string proc = procFolder_ + std::to_string(file.fd());
  if (::linkat(AT_FDCWD, proc.c_str(), to, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return;
  if (errno != EEXIST) fail(path, "give the joined file its name", errno);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = kTempPrefix + randomSuffix() + kTempSuffix;
    if (::linkat(AT_FDCWD, proc.c_str(), to, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      try {
        rename(to, temp);
      } catch (...) {
        ::unlinkat(to, temp.c_str(), 0);
        throw;
      }
      return;
    }
    if (errno != EEXIST) fail(path, "give the joined file its name", errno);
  }
  fail(path, "give the joined file its name", EEXIST);
}

std::string PosixFileSystem::Stage(File& temporary) {
  PosixFile& file = posix(temporary);
  if (!file.unnamed) {
    std::string name;
    name.swap(file.tempName);
    return name;
  }
  const std::string folder = file.path().ends_with('/') ? file.path() : file.path() + "/";
  const int at = file.tempFolder ? file.tempFolder->fd : AT_FDCWD;
  const std::string proc = procFolder_ + std::to_string(file.fd());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = kTempPrefix + randomSuffix() + kTempSuffix;
    if (::linkat(AT_FDCWD, proc.c_str(), at, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      file.unnamed = false;
      return name;
    }
    if (errno != EEXIST) fail(folder, "give a temporary file a name in", errno);
  }
  fail(folder, "give a temporary file a name in", EEXIST);
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
    ::unlinkat(file->tempFolder ? file->tempFolder->fd : AT_FDCWD, file->tempName.c_str(), 0);
    file->tempName.clear();
  }
}

void PosixFileSystem::SyncFolderAt(Folder& folder) {
  const int result = ::fsync(posix(folder).fd());
  const int error = errno;
  // Some file systems cannot sync a folder at all; that is no reason to fail the work.
  if (result != 0 && error != EINVAL && error != EROFS) {
    fail(withoutTrailingSlash(folder.path()), "flush to disk", error);
  }
}

void PosixFileSystem::SyncFileSystemAt(Folder& folder) {
  if (::syncfs(posix(folder).fd()) != 0)
    fail(withoutTrailingSlash(folder.path()), "flush to disk", errno);
}

void PosixFileSystem::CheckName(Folder& folder, const std::string& name) {
  const long nameMax = ::fpathconf(posix(folder).fd(), _PC_NAME_MAX);
  const std::size_t limit = nameMax > 0 ? static_cast<std::size_t>(nameMax) : NAME_MAX;
  if (name.size() > limit || (folder.path() + name).size() >= PATH_MAX) {
    throw FileError(folder.path() + name, "use the name",
                    "it is longer than the file system allows");
  }
}

bool PosixFileSystem::Claim(Folder& folder, const std::string& key) {
  // A read lock on one byte of the folder, at an offset drawn from the key, marks the claim; a
  // folder opened for reading can carry no write lock. Each run sets its own mark first and only
  // then looks for another's, so of two runs that start together at least one sees the other.
  std::uint64_t hash = 1469598103934665603ull;
  for (const unsigned char c : key)
    hash = (hash ^ c) * 1099511628211ull;
  struct flock mark {};
  mark.l_type = F_RDLCK;
  mark.l_whence = SEEK_SET;
  mark.l_start = static_cast<off_t>(hash >> 2);
  mark.l_len = 1;
  const int fd = posix(folder).fd();
  if (::fcntl(fd, F_OFD_SETLK, &mark) != 0) return true;  // no locks here: nothing to go by
  struct flock other = mark;
  other.l_type = F_WRLCK;
  if (::fcntl(fd, F_OFD_GETLK, &other) != 0) return true;
  if (other.l_type == F_UNLCK) return true;
  mark.l_type = F_UNLCK;
  ::fcntl(fd, F_OFD_SETLK, &mark);
  return false;
}

std::uint32_t PosixFileSystem::Umask() {
  return umask_;
}

std::string PosixFileSystem::Resolve(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string out = real;
  std::free(real);
  return out;
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
