#include "engine/part_count.h"

#include <string>

#include "engine/shared_routines.h"
#include "platform/controls.h"
#include "platform/file_system.h"

namespace qm {

void CountParts(Job& job) {
  JobState& state = job.state;
  JobControls& controls = job.controls;
  controls.lblNumber.setCaption("0");
  const std::string& source = controls.txtSource.text();
  if (!FileExists(job.services.fs, source)) return;
  if (source.empty() || state.SplitSize <= 0) return;

  state.PreviewLength = static_cast<std::int64_t>(job.services.fs.Stat(source).length);
  if (state.SplitSize >= state.PreviewLength) {
    controls.lblNumber.setCaption("1");
    return;
  }
  // The quotient rounded up: a last, shorter part takes the rest.
  state.PartCount = state.PreviewLength / state.SplitSize;
  if (state.PreviewLength - state.PartCount * state.SplitSize > 0) ++state.PartCount;
  controls.lblNumber.setCaption(std::to_string(state.PartCount));
  // The caption is read back as a number by Begin and the split; "1000+" reads as 1000, which
  // both refuse, since three digits name only 999 parts.
  if (state.PartCount > kMaxParts) controls.lblNumber.setCaption("1000+");
}

}  // namespace qm
