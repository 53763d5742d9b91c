// The checksums of a part set as split and join use them: the split hashes each part's bytes on
// a second thread while it copies and writes NAME.sha256 with the set; the join reads that file
// first and checks every part while it copies, before anything is given a name.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/checksum.h"
#include "platform/file_system.h"

namespace qm {

// What the checksum file beside a data file says about its set.
struct SetChecksums {
  bool present = false;  // the set carries a checksum file
  std::string path;      // where it is (or would be)
  std::optional<Digest> dataFile;
  std::vector<std::optional<Digest>> parts;  // [0] is part 1
  // Why the checksum file cannot vouch for the set ("" when it can): it is malformed, or it
  // leaves out the data file or a part. A sentence without its full stop.
  std::string problem;
};

// Reads the checksum file beside `dataFile` for a set of `count` parts. No such file is no
// failure (present stays false); one that cannot be read throws FileError.
SetChecksums LoadSetChecksums(FileSystem& fs, const std::string& dataFile, int count);

// The digest of a small file read whole (a data file); throws FileError.
Digest DigestOfSmallFile(FileSystem& fs, const std::string& path);

// The sentence for message 10, without its full stop, when a file of the set does not match its
// checksum.
std::string DamagedDetail(const std::string& path, const std::string& checksumFile);

// The split's side: the bytes of each part, hashed from the source beside the copy.
class SplitChecksums {
 public:
  // Part `number` (1, 2, ...) is to hold `length` bytes of `source` from `offset`.
  void AddPart(const std::shared_ptr<File>& source, std::uint64_t offset, std::uint64_t length);
  // Waits for the digests and gives the checksum file for the set of `dataFile`: a line for
  // each part and one for the data file, whose bytes are `dataFileText`. Throws FileError when
  // a read of the source failed.
  std::string Text(const std::string& dataFile, const std::string& dataFileText);

 private:
  BackgroundHasher hasher_;
  int parts_ = 0;
};

// The join's side. Inactive, and never in the way, when the set has no checksum file.
class JoinChecker {
 public:
  // Reads the set's checksum file and checks the data file against it. Returns "" when the join
  // may go on, or the detail for message 10. Throws FileError when a file cannot be read.
  std::string Start(FileSystem& fs, const std::string& dataFile, int count);
  bool active() const { return sums_.present; }
  // Part `number` is open for the copy; its bytes are hashed beside it.
  void AddPart(int number, const std::shared_ptr<File>& part);
  // The detail for message 10 as soon as a part hashed so far is known to be damaged, or "".
  std::string Damage();
  // Waits for every part and returns the detail for message 10, or "" when the set is whole.
  std::string Finish();

 private:
  std::string DetailFor(std::size_t range) const;

  SetChecksums sums_;
  std::string dataFile_;
  std::vector<int> numbers_;  // the part behind each range the hasher was given
  std::unique_ptr<BackgroundHasher> hasher_;
};

}  // namespace qm
