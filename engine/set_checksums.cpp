#include "engine/set_checksums.h"

#include "engine/part_names.h"

namespace qm {

SetChecksums LoadSetChecksums(FileSystem& fs, const std::string& dataFile, int count) {
  SetChecksums sums;
  sums.path = ChecksumFileName(dataFile);
  const FileInfo info = fs.Stat(sums.path);
  if (!info.exists) return sums;
  sums.present = true;
  std::vector<ChecksumEntry> entries;
  try {
    entries = ReadChecksumFile(fs, sums.path);
  } catch (const FileError& error) {
    // A list that reads but makes no sense is damaged, not unreadable.
    if (error.error() != 0) throw;
    sums.problem = "\"" + sums.path + "\" is damaged: " + error.reason();
    return sums;
  }
  sums.dataFile = FindDigest(entries, nameOf(dataFile));
  std::string unlisted = sums.dataFile ? "" : nameOf(dataFile);
  for (int i = 1; i <= count; ++i) {
    sums.parts.push_back(FindDigest(entries, nameOf(PartName(dataFile, i))));
    if (!sums.parts.back() && unlisted.empty()) unlisted = nameOf(PartName(dataFile, i));
  }
  if (!unlisted.empty()) {
    sums.problem =
        "\"" + sums.path + "\" does not list \"" + unlisted + "\", so the set cannot be checked";
  }
  return sums;
}

Digest DigestOfSmallFile(FileSystem& fs, const std::string& path) {
  constexpr std::size_t kLimit = std::size_t{1024} * 1024;
  auto file = fs.OpenRead(path);
  std::string bytes(kLimit + 1, '\0');
  bytes.resize(file->Read(bytes.data(), bytes.size()));
  file->Close();
  if (bytes.size() > kLimit) throw FileError(path, "read", "it is far too long for its kind");
  return Sha256Of(bytes);
}

std::string DamagedDetail(const std::string& path, const std::string& checksumFile) {
  return "\"" + path + "\" is damaged: its contents do not match its checksum in \"" +
         checksumFile + "\"";
}

void SplitChecksums::AddPart(const std::shared_ptr<File>& source, std::uint64_t offset,
                             std::uint64_t length) {
  hasher_.Add(source, offset, length);
  ++parts_;
}

std::string SplitChecksums::Text(const std::string& dataFile, const std::string& dataFileText) {
  const std::vector<Digest> digests = hasher_.Finish();
  std::vector<ChecksumEntry> entries;
  for (int i = 1; i <= parts_; ++i)
    entries.push_back({nameOf(PartName(dataFile, i)), digests[static_cast<std::size_t>(i - 1)]});
  entries.push_back({nameOf(dataFile), Sha256Of(dataFileText)});
  return ChecksumFileText(entries);
}

std::string JoinChecker::Start(FileSystem& fs, const std::string& dataFile, int count) {
  dataFile_ = dataFile;
  sums_ = LoadSetChecksums(fs, dataFile, count);
  if (!sums_.present) return {};
  if (!sums_.problem.empty()) return sums_.problem + ". Nothing was written.";
  if (DigestOfSmallFile(fs, dataFile) != *sums_.dataFile) {
    return DamagedDetail(dataFile, sums_.path) + ". Nothing was written.";
  }
  hasher_ = std::make_unique<BackgroundHasher>();
  return {};
}

void JoinChecker::AddPart(int number, const std::shared_ptr<File>& part) {
  if (!hasher_) return;
  numbers_.push_back(number);
  hasher_->Add(part, 0, part->Length(), sums_.parts[static_cast<std::size_t>(number - 1)]);
}

std::string JoinChecker::Damage() {
  if (!hasher_) return {};
  const std::optional<std::size_t> range = hasher_->FirstMismatch();
  return range ? DetailFor(*range) : std::string();
}

std::string JoinChecker::Finish() {
  if (!hasher_) return {};
  hasher_->Finish();
  return Damage();
}

std::string JoinChecker::DetailFor(std::size_t range) const {
  return DamagedDetail(PartName(dataFile_, numbers_[range]), sums_.path) + ". Nothing was written.";
}

}  // namespace qm
