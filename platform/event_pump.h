// The event pump and clock through which long work lets the window breathe.
#pragma once

namespace qm {

class EventPump {
 public:
  virtual ~EventPump() = default;
  // Seconds since midnight, with a fraction; falls back to 0 at midnight.
  virtual double Timer() = 0;
  // Processes the pending events, then waits for further ones until the clock reads `deadline`
  // (a Timer() value) at the latest. A headless pump never waits: its clock jumps to the deadline.
  virtual void ProcessEvents(double deadline) = 0;
};

}  // namespace qm
