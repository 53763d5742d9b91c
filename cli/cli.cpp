#include "cli/cli.h"

#include <cstdio>

namespace qm {

int RunCli(int /*argc*/, char** /*argv*/) {
  std::fputs("usage: quellmark-cli (split|join|count|info) ...\n", stderr);
  return 64;
}

}  // namespace qm
