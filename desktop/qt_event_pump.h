// The event pump and clock of the desktop program: waiting runs Qt's event loop, which sleeps
// until an event or the deadline comes, so a paced copy costs no processor time while it waits.
#pragma once

#include "platform/event_pump.h"

namespace qm {

class QtEventPump : public EventPump {
 public:
  // Seconds since local midnight, from the wall clock.
  double Timer() override;
  // Handles what is pending, then sleeps in a nested event loop until the deadline, handling
  // whatever arrives meanwhile (a click on Cancel, painting). Safe to call from a handler that
  // runs inside another wait: the inner wait ends first.
  void ProcessEvents(double deadline) override;

  // Never sleeps longer than this in one call, should the wall clock jump.
  static constexpr int kLongestWaitMs = 1000;
};

}  // namespace qm
