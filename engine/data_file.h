// The two-line data file (NAME.qkd) that names the file that was split and counts its parts.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qm {

struct DataFileContents {
  std::string name;  // the file that was split, without folder
  int count = 0;     // 1..999
};

// Writes the name and the count, each line ended by CR LF, replacing an existing file.
void WriteDataFile(FileSystem& fs, const std::string& path, const std::string& name, int count);

// The file's bytes: the name and the count, each line ended by CR LF. A name wholly in double
// quotes, or one starting with U+FEFF, is put in quotes so the reader gives it back unchanged.
std::string DataFileText(const std::string& name, int count);

// Reads a data file. Throws FileError (action "read the data file") naming what is wrong when
// the file cannot be read or does not hold a safe name and a count from 1 to 999.
DataFileContents ReadDataFile(FileSystem& fs, const std::string& path);

// The content rules alone, for the reader and the fuzzer. Throws std::invalid_argument with a
// sentence that says what is wrong.
DataFileContents ParseDataFile(std::string_view bytes);

}  // namespace qm
