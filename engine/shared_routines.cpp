#include "engine/shared_routines.h"

#include "platform/event_pump.h"
#include "platform/file_system.h"

namespace qm {

bool FileExists(FileSystem& fs, const std::string& name) {
  if (name.empty()) return false;
  switch (name.back()) {
    case '/':
    case ':':
    case '*':
    case '.':
      return false;
    default:
      break;
  }
  return fs.Stat(name).regular;
}

void Pause(EventPump& pump, double duration) {
  const double start = pump.Timer();
  const double deadline = start + duration / 80.0;
  for (;;) {
    const double now = pump.Timer();
    if (now >= deadline) return;
    // Near midnight the clock falls back to 0; never wait across it.
    if (now > 86395.0 || now == 0.0) return;
    pump.ProcessEvents(deadline);
  }
}

}  // namespace qm
