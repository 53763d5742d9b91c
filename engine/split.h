// Cutting the source into numbered parts.
#pragma once

#include "engine/job_state.h"
#include "engine/run.h"

namespace qm {

class FileSystem;

// Splits the request's source into parts named after its destination, writes the data file
// and, as asked, deletes the source (when the host says so at that moment) and writes the batch
// file. Tells the user through the host's messages and returns the one that ended the run.
Outcome SplitF(JobState& state, FileSystem& fs, RunHost& host, const SplitRequest& request);

}  // namespace qm
