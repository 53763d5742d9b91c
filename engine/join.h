// Putting a part set back together.
#pragma once

#include "engine/job_state.h"
#include "engine/run.h"

namespace qm {

class FileSystem;

// Joins the parts of the request's data file into its destination, asking before it replaces
// an existing file, and deletes the set afterwards when the host says so at that moment.
// Tells the user through the host's messages and returns the one that ended the run.
Outcome JoinF(JobState& state, FileSystem& fs, RunHost& host, const JoinRequest& request);

}  // namespace qm
