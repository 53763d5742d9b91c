// The self-joining batch file that rejoins a part set with cmd's copy /b.
#pragma once

#include <string>

namespace qm {

// Where the program can be found; named in the batch file.
inline constexpr const char* kHomePage = "https://github.com/quellmark/quellmark";

// The line that tells our batch files from any other.
inline constexpr const char* kBatchSignature = "REM Quellmark v1.0 self-joining batch file.";

// The whole script that joins the `parts` parts of the data file named `dataFileName` (without
// folder) back into `sourceTitle`, lines ended by CR LF. The parts take their names from the
// data file's, as the split gave them.
std::string BatchFileText(const std::string& sourceTitle, const std::string& dataFileName,
                          int parts);
// Why cmd could not be trusted with `name` in a batch file, or "" when it can: it cannot quote
// a double quote, and takes * ? < > | : for wildcards, redirections or a drive even in quotes.
std::string BatchNameProblem(const std::string& name);

}  // namespace qm
