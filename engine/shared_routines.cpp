#include "engine/shared_routines.h"

#include <algorithm>
#include <limits>

#include "engine/messages.h"
#include "engine/numbers.h"
#include "engine/part_names.h"
#include "platform/controls.h"
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

void FileSize(Job& job) {
  JobState& state = job.state;
  FileSystem& fs = job.services.fs;
  const auto partMissing = [&] {
    ShowMessage(job, kMsgPartMissing);
    state.PartMissing = 1;
  };
  if (!FileExists(fs, job.controls.txtSource.text())) {
    partMissing();
    return;
  }
  state.JoinTotalLength = 0;
  // The count is a 32-bit number, like the join's own; the join refuses counts past 999 before
  // it gets here, so the names never wrap.
  const std::int64_t count = CaptionNumber(job.controls.lblNumber.caption());
  const std::int32_t n = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(count, 0, std::numeric_limits<std::int32_t>::max()));
  for (std::int32_t i = 1; i <= n; ++i) {
    // PartName replaces the last three characters of a base; the stem has them dropped already.
    state.PartFile = PartName(state.PartStem + "000", i);
    if (!FileExists(fs, state.PartFile)) {
      // One message for the whole set; the parts after the first gap are not looked at.
      partMissing();
      return;
    }
    state.JoinTotalLength += static_cast<std::int64_t>(fs.Stat(state.PartFile).length);
  }
}

}  // namespace qm
