// Small routines shared by split, join, the preview and the window: existence test, pause and
// the measurement of a part set.
#pragma once

#include <string>

#include "engine/job_state.h"
#include "engine/messages.h"

namespace qm {

class EventPump;
class FileSystem;

// True exactly when `name` is an existing ordinary file (a link to one counts). Empty names and
// names ending in "/", ":", "*" or "." are absent without asking the disk.
bool FileExists(FileSystem& fs, const std::string& name);

// Waits duration/80 seconds while the window processes its events; returns at once in the last
// five seconds before midnight. A headless pump makes it return at once.
void Pause(EventPump& pump, double duration);

// Checks that `dataFile` and parts 1..count (named after PartStem) exist, summing their lengths
// into JoinTotalLength; shows message 3 once and sets PartMissing when one is absent.
void FileSize(JobState& state, FileSystem& fs, RunMessages& messages, const std::string& dataFile,
              std::int64_t count);

}  // namespace qm
