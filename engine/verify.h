// Checking a part set against its checksum file: what the join does before it trusts a set, and
// what `quellmark-cli verify` reports without joining it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/set_checksums.h"
#include "platform/file_system.h"

namespace qm {

enum class FileCheck { Good, Damaged, Unchecked, Missing };

struct FileReport {
  std::string name;  // without folder
  std::uint64_t length = 0;
  FileCheck check = FileCheck::Unchecked;
};

struct SetReport {
  std::string fileName;   // the file the set makes up
  int count = 0;          // its parts
  std::string checksums;  // the checksum file's name, "" when the set has none
  std::string problem;    // why the checksum file cannot vouch for the set, "" when it can
  FileReport dataFile;
  std::vector<FileReport> parts;
  // 0: complete, and good as far as it carries checksums; 3: a part is missing; 10: a file is
  // damaged, or the checksum file is malformed or leaves one out.
  int status = 0;
};

// Checks every file of the set without joining it, hashing on two threads. Throws FileError when
// the data file cannot be read or a file of the set cannot be read to the end.
SetReport VerifySet(FileSystem& fs, const std::string& dataFile);

// The report as lines for a terminal: the set, then one line for each file.
std::string SetReportText(const SetReport& report);

}  // namespace qm
