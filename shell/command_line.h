// The desktop program's command line: all its arguments are one path, the source to preselect.
#pragma once

#include <string>

namespace qm {

// The arguments after the program's name joined by single blanks: the desktop entry's %f and
// a user typing `quellmark My File.qkd` both deliver one path, the latter in pieces.
std::string CommandLineText(int argc, const char* const* argv);

}  // namespace qm
