#include "cli/cli_services.h"

#include <gtest/gtest.h>

#include "engine/shared_routines.h"

namespace qm {
namespace {

// Ctrl-C before copying begins waits for Cancel; and however long a run, the pump's clock never
// runs into midnight, where Pause would stop letting the interrupt through.
TEST(CliPump, AnInterruptClicksCancelOnceItIsThereEvenAfterALongRun) {
  Form form{"frm"};
  CommandButton cancel{form, "cmdCancel"};
  int clicks = 0;
  cancel.Click = [&] { ++clicks; };
  volatile std::sig_atomic_t interrupted = 1;
  CliPump pump(interrupted, 86390.0);
  pump.Attach(&cancel, {});
  cancel.setVisible(false);
  for (int block = 0; block < 4000; ++block)
    Pause(pump, 1);
  EXPECT_EQ(clicks, 0);
  cancel.setVisible(true);
  for (int block = 0; block < 1000; ++block)
    Pause(pump, 1);
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace qm
