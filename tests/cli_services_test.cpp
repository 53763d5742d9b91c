#include "cli/cli_services.h"

#include <gtest/gtest.h>

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
  EXPECT_TRUE(state.CancelPressed);
  EXPECT_EQ(interrupted, 0);
}

}  // namespace
}  // namespace qm
