#include "engine/verify.h"

#include <memory>

#include "engine/data_file.h"
#include "engine/part_names.h"

namespace qm {

SetReport VerifySet(FileSystem& fs, const std::string& dataFile) {
  const DataFileContents contents = ReadDataFile(fs, dataFile);
  SetReport report;
  report.fileName = contents.name;
  report.count = contents.count;
  const SetChecksums sums = LoadSetChecksums(fs, dataFile, contents.count);
  if (sums.present) report.checksums = nameOf(sums.path);
  report.problem = sums.problem;
  const bool checking = sums.present && sums.problem.empty();

  report.dataFile = {nameOf(dataFile), fs.Stat(dataFile).length, FileCheck::Unchecked};
  if (checking) {
    report.dataFile.check =
        DigestOfSmallFile(fs, dataFile) == *sums.dataFile ? FileCheck::Good : FileCheck::Damaged;
  }
  BackgroundHasher hasher;
  std::vector<std::size_t> hashed;  // the report's parts, in the order they were added
  for (int i = 1; i <= contents.count; ++i) {
    const std::string path = PartName(dataFile, i);
    FileReport part{nameOf(path), 0, FileCheck::Missing};
    const FileInfo info = fs.Stat(path);
    if (info.exists && info.regular) {
      part.length = info.length;
      part.check = FileCheck::Unchecked;
      if (checking) {
        std::shared_ptr<File> file = fs.OpenRead(path);
        hasher.Add(file, 0, file->Length());
        hashed.push_back(report.parts.size());
      }
    }
    report.parts.push_back(part);
  }
  const std::vector<Digest> digests = hasher.Finish();
  for (std::size_t k = 0; k < hashed.size(); ++k) {
    const std::size_t i = hashed[k];
    report.parts[i].check = digests[k] == *sums.parts[i] ? FileCheck::Good : FileCheck::Damaged;
  }

  bool missing = false;
  bool damaged = !report.problem.empty() || report.dataFile.check == FileCheck::Damaged;
  for (const FileReport& part : report.parts) {
    missing = missing || part.check == FileCheck::Missing;
    damaged = damaged || part.check == FileCheck::Damaged;
  }
  // As the join would: a missing part is reported before anything is checked.
  report.status = missing ? 3 : damaged ? 10 : 0;
  return report;
}

std::string SetReportText(const SetReport& report) {
  std::string text =
      "File: " + report.fileName + "\nParts: " + std::to_string(report.count) + "\nChecksums: " +
      (report.checksums.empty() ? "none (the set has no checksum file)" : report.checksums) + "\n";
  if (!report.problem.empty()) text += "Error #010 : " + report.problem + ".\n";
  auto line = [&text](const FileReport& file) {
    text += "  " + file.name;
    if (file.check == FileCheck::Missing) {
      text += "  missing\n";
      return;
    }
    text += "  present  " + std::to_string(file.length) + " bytes  ";
    text += file.check == FileCheck::Good      ? "good\n"
            : file.check == FileCheck::Damaged ? "DAMAGED\n"
                                               : "unchecked\n";
  };
  line(report.dataFile);
  for (const FileReport& part : report.parts)
    line(part);
  return text;
}

}  // namespace qm
