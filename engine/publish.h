// A new part set, written beside the set it may replace under hidden names and put in place
// only once every file of it is complete and on the disk. Every file of a set lies in one
// folder, opened once: whatever happens to the folder's path meanwhile (renamed, or swapped for
// a link to another), the set is written, named and removed in the folder that was opened.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qm {

class NewSet {
 public:
  explicit NewSet(FileSystem& fs) : fs_(fs) {}
  ~NewSet();  // whatever was not published goes, quietly
  NewSet(const NewSet&) = delete;
  NewSet& operator=(const NewSet&) = delete;

  // Opens the folder the set goes into, without following a link in its last step. Throws
  // FileError.
  Folder& Open(const std::string& folder);
  Folder& folder() { return *folder_; }
  // Whether each file must be on the disk before the set takes its names: when the set
  // replaces anything, which is gone for good once it is replaced. Yes unless told otherwise.
  void SetDurable(bool durable) { durable_ = durable; }
  // Starts the file that is to become `path` (a name in the set's folder, with that folder in
  // front for messages): an empty temporary file.
  File& Begin(const std::string& path);
  // The file begun last is complete: forced to the disk, given a hidden name, closed.
  void Complete();
  // Removes every file of the set, staged or already in place. Returns "" when all went, or
  // says what stayed.
  std::string Abandon();
  // Puts the set in place. An old `dataFile` goes first and the new one comes last, so that
  // however the program is stopped, no data file ever stands beside the other set's parts.
  void Publish(const std::string& dataFile);
  // Makes the published set durable where something is lost without it: what it replaced, or
  // what is deleted next (`more`, the source). Its names, and when its files were not forced to
  // the disk one by one, their bytes.
  void Sync(bool more) {
    if (!durable_ && !more) return;
    if (!durable_) fs_.SyncFileSystemAt(*folder_);
    fs_.SyncFolderAt(*folder_);
  }
  // True once a file of the set replaced an older one: an abandoned set cannot undo that.
  bool Replaced() const { return replaced_; }

 private:
  struct Staged {
    std::string hidden, name;  // in the set's folder
  };
  FileSystem& fs_;
  std::unique_ptr<Folder> folder_;
  std::unique_ptr<File> open_;
  std::string openPath_;
  std::vector<Staged> staged_;
  std::vector<std::string> placed_;  // names in the set's folder
  bool replaced_ = false;
  bool durable_ = true;
};

// The set that a split to `dataFile` replaces, as its data file (read before anything changes)
// describes it: 0 parts when there is no data file of ours, so nothing is taken for its own.
// Throws FileError when one cannot be read.
struct ReplacedSet {
  int count = 0;
  bool batchFile = false;     // a batch file of ours stands beside it
  bool checksumFile = false;  // ... a checksum file
  bool shellScript = false;   // ... a self-joining shell script of ours
};
// Which of the files beside the parts the new set has.
struct SetExtras {
  bool batchFile = false;
  bool checksumFile = false;
  bool shellScript = false;
};
// Looks only in `folder`, where `dataFile` is; a link is nobody's set.
ReplacedSet ReadReplaced(FileSystem& fs, Folder& folder, const std::string& dataFile);

// Removes what the replaced set leaves beside the new one of `count` parts: its parts past that
// count, and its batch file, checksum file and shell script unless the new set has its own: a
// stale checksum file would call the new parts damaged. `keep` (the source) is never touched.
// Returns "" or says what stayed.
std::string RemoveLeftovers(FileSystem& fs, Folder& folder, const std::string& dataFile,
                            const ReplacedSet& old, int count, const SetExtras& written,
                            const FileInfo& keep);

}  // namespace qm
