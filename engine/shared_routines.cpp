#include "engine/shared_routines.h"

#include <algorithm>
#include <limits>

#include "engine/messages.h"
#include "engine/part_names.h"
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

void FileSize(JobState& state, FileSystem& fs, RunMessages& messages, const std::string& dataFile,
              std::int64_t count) {
  const auto partMissing = [&] {
    messages.Show(kMsgPartMissing);
    state.PartMissing = 1;
  };
  if (!FileExists(fs, dataFile)) {
    partMissing();
    return;
  }
  state.JoinTotalLength = 0;
  // The join refuses counts past 999 before it gets here, so the names never wrap.
  const auto n = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(count, 0, std::numeric_limits<std::int32_t>::max()));
  for (std::int32_t i = 1; i <= n; ++i) {
    // PartName replaces the last three characters of a base; the stem has them dropped already.
    state.PartFile = PartName(state.PartStem + "000", i);
    const FileInfo part = fs.Stat(state.PartFile);  // a part name ends in digits, never a wildcard
    if (!part.regular) {
      // One message for the whole set; the parts after the first gap are not looked at.
      partMissing();
      return;
    }
    state.JoinTotalLength += static_cast<std::int64_t>(part.length);
  }
}

}  // namespace qm
