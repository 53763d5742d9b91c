// quellmark-cli: the command-line front end.
#include "cli/cli.h"

int main(int argc, char** argv) { return qm::RunCli(argc, argv); }
