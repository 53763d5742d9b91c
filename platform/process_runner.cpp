#include "platform/process_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace qm {

ProcessRunner::~ProcessRunner() {
  Wait(kExitWait);
}

bool ProcessRunner::Start(const std::vector<std::string>& argv) {
  if (argv.empty() || argv.front().empty()) return false;
  reap();

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  // A helper has nothing to say to the user: its messages would only land in whatever
  // terminal or journal happened to start the desktop program.
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  // The child starts with no blocked signals and default dispositions, whatever the toolkit set.
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  const int result = posix_spawnp(&pid, args.front(), &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) return false;
  children_.push_back(pid);
  return true;
}

void ProcessRunner::reap() {
  std::erase_if(children_, [](pid_t pid) {
    int status = 0;
    pid_t done;
    do {
      done = ::waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    // Ended, or no longer ours to wait for (someone else reaped it).
    return done == pid || done < 0;
  });
}

int ProcessRunner::Wait(double seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  reap();
  while (!children_.empty() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    reap();
  }
  return static_cast<int>(children_.size());
}

}  // namespace qm
