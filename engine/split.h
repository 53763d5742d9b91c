// Cutting the source into numbered parts.
#pragma once

#include "engine/job_state.h"

namespace qm {

// Splits txtSource into parts named after txtDest, writes the data file and, as the check boxes
// ask, deletes the source and writes the batch file. Reports only through the messages.
void SplitF(Job& job);

}  // namespace qm
