// The command-line front end: requests for the engine built from the arguments.
#pragma once

namespace qm {

class FileSystem;

// Runs quellmark-cli with the process's arguments over `fs`; returns the exit status.
int RunCli(int argc, char** argv, FileSystem& fs);

}  // namespace qm
