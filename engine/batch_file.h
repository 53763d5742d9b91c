// The self-joining batch file that rejoins a part set with cmd's copy /b.
#pragma once

#include <string>

#include "engine/job_state.h"

namespace qm {

class FileSystem;

// Where the program can be found; named in the batch file.
inline constexpr const char* kHomePage = "https://github.com/quellmark/quellmark";

// The whole script for `parts` parts of the file titled `sourceTitle`, lines ended by CR LF.
std::string BatchFileText(const std::string& sourceTitle, int parts);
// True when cmd can quote the name at all (it holds no double quote).
bool BatchCanQuote(const std::string& sourceTitle);

// Writes the batch file beside the data file `dest` for `parts` parts of `sourceTitle`,
// replacing an existing one.
void WriteBatchFile(JobState& state, FileSystem& fs, const std::string& dest,
                    const std::string& sourceTitle, int parts);

}  // namespace qm
