// Putting a part set back together.
#pragma once

#include "engine/job_state.h"

namespace qm {

// Joins the parts of the data file in txtSource into txtDest, asking before it replaces an
// existing file, and deletes the set afterwards when chkDelete is ticked.
void JoinF(Job& job);

}  // namespace qm
