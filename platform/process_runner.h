// Starts small helper programs (the desktop's cache updaters) without a shell and without
// waiting for them, and reaps them so none is left behind as a zombie.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace qm {

class ProcessRunner {
 public:
  ProcessRunner() = default;
  ProcessRunner(const ProcessRunner&) = delete;
  ProcessRunner& operator=(const ProcessRunner&) = delete;
  // Gives the programs still running a short while to end (see kExitWait), then lets them go.
  ~ProcessRunner();

  // Starts argv[0], looked up on PATH, with the arguments as they are: no shell sees them, so
  // blanks and quotes in a path need no care. Its input and output go to /dev/null. Returns
  // false when the program could not be started; it never waits for the program to end.
  bool Start(const std::vector<std::string>& argv);

  // Reaps the programs that have ended, waiting at most `seconds` for the others. Returns the
  // number still running.
  int Wait(double seconds);

  // How long the destructor waits: long enough for a cache update on a quiet disk, short
  // enough that nobody notices when the program closes.
  static constexpr double kExitWait = 3.0;

 private:
  void reap();

  std::vector<pid_t> children_;
};

}  // namespace qm
