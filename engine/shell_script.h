// The self-joining shell script (NAME.sh): rejoins a part set with the tools of any Linux or
// macOS system, checking it first against the checksum file when there is one.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace qm {

// What the script needs to know about the set.
struct ShellScriptSet {
  std::string fileName;  // the file the parts make up, created beside them
  std::string dataName;  // the data file's name without folder; the part names derive from it
  int parts = 0;
};

// The whole script: plain POSIX sh, every name in single quotes, lines ended by LF.
std::string ShellScriptText(const ShellScriptSet& set);

// Writes the script beside the data file `dataFile` (the destination without its last three
// characters, followed by "sh"), replacing an existing one. It is created executable for
// whom the umask allows (0777 less the umask), so that "./NAME.sh" runs it too.
void WriteShellScript(FileSystem& fs, const std::string& dataFile, const ShellScriptSet& set);

}  // namespace qm
