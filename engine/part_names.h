// How part files, the data file and the batch file get their names from a base name.
#pragma once

#include <string>

namespace qm {

// Part i (1..999) of base B: B without its last three characters, then i as three digits.
// Numbers past 999 wrap, as three digits do: 1000 gives "000".
std::string PartName(const std::string& base, int number);
// The batch file beside a data file: the destination without its last three characters + "bat".
std::string BatchFileName(const std::string& dest);
// The checksum file beside a data file: the destination without its last three characters +
// "sha256".
std::string ChecksumFileName(const std::string& dest);
// The self-joining shell script: the destination without its last three characters + "sh".
std::string ShellScriptName(const std::string& dest);
// The data file named in a batch file: the title without its last three characters + "qkd".
std::string DataFileTitle(const std::string& sourceTitle);

}  // namespace qm
