#include "cli/cli_services.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <deque>

#include "engine/messages.h"
#include "platform/standard_streams.h"

#include "engine/shared_routines.h"

namespace qm {
namespace {

// Ctrl-C before copying begins waits for Cancel; and however long a run, the pump's clock never
// runs into midnight, where Pause would stop letting the interrupt through.
TEST(CliPump, AnInterruptPressesCancelOnceItIsThereEvenAfterALongRun) {
  JobState state;
  volatile std::sig_atomic_t interrupted = 1;
  CliPump pump(state, interrupted, 86390.0);
  for (int block = 0; block < 4000; ++block)
    Pause(pump, 1);
  EXPECT_FALSE(state.CancelPressed);
  pump.SetCancellable(true);
  for (int block = 0; block < 1000; ++block)
    Pause(pump, 1);
  EXPECT_TRUE(state.CancelPressed && interrupted == 0);  // pressed once, and taken
}

// Only y, yes, n and no, in any case, answer the overwrite question; anything else asks again.
TEST(CliDisplay, TheOverwriteQuestionTakesOnlyAPlainYesOrNo) {
  for (const auto& [lines, replaced] :
       {std::pair<std::deque<std::string>, bool>{{"yolo", "YES"}, true},
        {{"No", "y"}, false},
        {{"yes please"}, false}}) {
    JobState state;
    ProgressLine progress(stderr, false);
    std::FILE* err = std::tmpfile();
    auto left = lines;
    CliDisplay display(state, progress, err, OverwriteAnswer::Ask, [&] {
      std::optional<std::string> line;  // nothing left: the end of the input
      if (!left.empty()) line = left.front(), left.pop_front();
      return line;
    });
    ShowMessage(state, display, kMsgOverwrite);
    EXPECT_EQ(state.MessageCode == 0, replaced) << lines.front();
    std::fclose(err);
  }
}

// A program started with its standard descriptors closed finds them on /dev/null, so the first
// file it opens cannot take the place of standard error.
TEST(StandardStreams, ClosedOnesAreOpenedOnDevNull) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(0);
    ::close(2);
    OpenClosedStandardStreams();
    char target[64] = {};
    const bool ok = ::readlink("/proc/self/fd/2", target, sizeof target - 1) > 0 &&
                    std::string(target) == "/dev/null" && ::fcntl(0, F_GETFD) != -1;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace qm
