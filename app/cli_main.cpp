// quellmark-cli: the command-line front end, over the real file system.
#include "cli/cli.h"
#include "platform/posix_file_system.h"

int main(int argc, char** argv) {
  qm::PosixFileSystem fs;
  return qm::RunCli(argc, argv, fs);
}
