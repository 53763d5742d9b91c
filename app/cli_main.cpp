// quellmark-cli: the command-line front end.
#include "cli/cli.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
  qm::OpenClosedStandardStreams();
  return qm::RunCli(argc, argv);
}
