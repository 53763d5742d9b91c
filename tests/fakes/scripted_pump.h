// A headless event pump with a virtual clock: waits cost nothing, and a test can run code at
// any call, as if the user had clicked then.
#pragma once

#include <functional>

#include "platform/event_pump.h"

namespace qm::test {

class ScriptedPump : public EventPump {
 public:
  double Timer() override { return clock; }
  void ProcessEvents(double deadline) override {
    ++calls;
    if (onEvents) onEvents(calls);
    if (deadline > clock) clock = deadline;
  }

  double clock = 43200.0;  // noon
  int calls = 0;
  // Runs at every call with the call's number (1, 2, ...).
  std::function<void(int)> onEvents;
};

}  // namespace qm::test
