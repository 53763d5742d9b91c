// The only door to the disk. Every failure is a FileError naming the file, the action and the
// system's reason, so a message can tell the user exactly what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace qm {

class FileError : public std::runtime_error {
 public:
  // `action` is a verb phrase such as "write" or "open for reading"; `error` an errno value.
  FileError(std::string path, std::string action, int error);
  FileError(std::string path, std::string action, std::string reason);

  const std::string& path() const { return path_; }
  const std::string& action() const { return action_; }
  const std::string& reason() const { return reason_; }
  int error() const { return error_; }

 private:
  std::string path_;
  std::string action_;
  std::string reason_;
  int error_ = 0;
};

struct FileInfo {
  bool exists = false;   // anything at all under that name (links followed)
  bool regular = false;  // an ordinary file, or a link to one
  bool link = false;     // a symbolic link itself (only where links are not followed)
  std::uint64_t length = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t modified = 0;  // nanoseconds since the epoch
  std::uint32_t mode = 0;     // the permission bits

  // The very file that was looked at before, unchanged: same file, same length, same time.
  bool Unchanged(const FileInfo& before) const {
    return exists && before.exists && device == before.device && inode == before.inode &&
           length == before.length && modified == before.modified;
  }
};

// A folder opened once. Names inside it are looked up from this handle, so a folder renamed,
// or swapped for a link to another one, during a run changes nothing about where the run works.
class Folder {
 public:
  virtual ~Folder() = default;
  // The path it was opened by, "" or ending in "/": for messages only.
  virtual const std::string& path() const = 0;
};

// Whether opening a name follows a symbolic link: only for the name the user gave.
enum class Follow { No, Yes };

// An open file. Destroying it closes it quietly; Close() is the checked way.
class File {
 public:
  virtual ~File() = default;
  virtual const std::string& path() const = 0;
  // Reads up to `n` bytes at the current position; fewer only at the end of the file.
  virtual std::size_t Read(void* buffer, std::size_t n) = 0;
  // Reads up to `n` bytes from `offset` without moving the current position, so another thread
  // may read a file while this one copies it; fewer only at the end of the file.
  virtual std::size_t ReadAt(void* buffer, std::size_t n, std::uint64_t offset) = 0;
  // Writes all `n` bytes at the current position.
  virtual void Write(const void* data, std::size_t n) = 0;
  virtual std::uint64_t Length() = 0;
  // What the open file is (never a link): the identity to compare with later, and its mode.
  virtual FileInfo Info() = 0;
  // Sets the permission bits.
  virtual void SetMode(std::uint32_t mode) = 0;
  // Forces the written bytes to the disk.
  virtual void Flush() = 0;
  virtual void Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Never fails: a name that cannot be looked at does not exist.
  virtual FileInfo Stat(const std::string& path) = 0;
  virtual std::unique_ptr<File> OpenRead(const std::string& path) = 0;
  // Creates the file, or empties an existing one, for writing.
  virtual std::unique_ptr<File> Create(const std::string& path) = 0;
  // The same for a script that is to be run: executable by whom the umask allows.
  virtual std::unique_ptr<File> CreateExecutable(const std::string& path) { return Create(path); }
  virtual void Remove(const std::string& path) = 0;
  // Moves `n` bytes from the current position of `from` to that of `to` the fastest way the
  // system offers. Returns the bytes moved, fewer only when `from` ends first.
  virtual std::uint64_t Copy(File& from, File& to, std::uint64_t n) = 0;
  // Moves up to `n` bytes like Copy, but as one range in as few system calls as the file system
  // needs (where it shares blocks between files, a whole part costs only bookkeeping). It never
  // fails: it stops at a refusal, a failure or the end of `from`, and returns what it moved, by
  // which both positions have advanced; Copy then moves the rest and reports any failure. A file
  // system without such a path moves nothing here.
  virtual std::uint64_t CopyAhead(File& /*from*/, File& /*to*/, std::uint64_t /*n*/) { return 0; }

  // An empty file in `folder` that nobody else can have opened, and that vanishes unless it is
  // published: unnamed where the system allows, otherwise under a unique name of our own.
  virtual std::unique_ptr<File> CreateTemporary(const std::string& folder) = 0;
  // Gives a temporary file the name `path` in one atomic step, replacing what was there.
  virtual void Publish(File& temporary, const std::string& path) = 0;
  // Gives a temporary file a hidden name of its own in the folder it was made in, replacing
  // nothing, and returns that name: a staged file can then be closed and given its real name
  // later with RenameAt, so a set of many files need not hold all of them open.
  virtual std::string Stage(File& temporary) = 0;
  // Removes a temporary file that was not published; quiet, for clean-up paths.
  virtual void Discard(File& temporary) noexcept = 0;
  // Creates one folder, open to its owner only, whose parent exists; a folder already there is
  // no error. Only the desktop association makes folders, so wrappers that never need it may
  // keep this refusal.
  virtual void CreateFolder(const std::string& path) {
    throw FileError(path, "create the folder", "not supported here");
  }

  // Opens a folder, "" meaning the current one, without following a link in its last step.
  virtual std::unique_ptr<Folder> OpenFolder(const std::string& path) = 0;
  // The name inside `folder`, never following a link (a link answers `link`).
  virtual FileInfo StatAt(Folder& folder, const std::string& name) = 0;
  // Opens an ordinary file for reading without ever waiting on a pipe or a device; anything
  // else, and a link unless `follow`, is refused.
  virtual std::unique_ptr<File> OpenReadAt(Folder& folder, const std::string& name,
                                           Follow follow) = 0;
  // Creates `name` anew with `mode` (less the umask), replacing a file or a link of that name.
  virtual std::unique_ptr<File> CreateAt(Folder& folder, const std::string& name,
                                         std::uint32_t mode) = 0;
  virtual void RemoveAt(Folder& folder, const std::string& name) = 0;
  // Renames `from` to `to` within `folder`, replacing what `to` named, in one atomic step.
  virtual void RenameAt(Folder& folder, const std::string& from, const std::string& to) = 0;
  // A temporary file in `folder`, open to its owner only, as CreateTemporary.
  virtual std::unique_ptr<File> CreateTemporaryAt(Folder& folder) = 0;
  // The same under a hidden name of its own from the start, for a file that is to be staged
  // anyway: naming an unnamed file later costs the file system more than naming it at once.
  virtual std::unique_ptr<File> CreateHiddenAt(Folder& folder) = 0;
  virtual void PublishAt(File& temporary, Folder& folder, const std::string& name) = 0;
  // Makes the names created, renamed or removed in `folder` durable.
  virtual void SyncFolderAt(Folder& folder) = 0;
  // Forces everything written to the file system that holds `folder` to the disk.
  virtual void SyncFileSystemAt(Folder& folder) = 0;
  // Refuses, as a FileError, a name that the folder's file system cannot hold.
  virtual void CheckName(Folder& folder, const std::string& name) = 0;
  // Claims `key` within `folder` for as long as the folder stays open; false when another open
  // of it holds the claim. The system drops a claim when its holder ends, however it ends.
  virtual bool Claim(Folder& folder, const std::string& key) = 0;
  // The permission bits new files do not get.
  virtual std::uint32_t Umask() = 0;
  // The file a path names, links followed; the path itself when it does not exist.
  virtual std::string Resolve(const std::string& path) { return path; }

  virtual std::string CurrentFolder() = 0;
  virtual std::string HomeFolder() = 0;
};

// The folder part of a path, up to and including the last "/" ("" when there is none).
std::string folderOf(const std::string& path);
// The name part of a path, after the last "/".
std::string nameOf(const std::string& path);

}  // namespace qm
