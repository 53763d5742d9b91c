// The command-line front end: a second skin over the window's forms.
#pragma once

namespace qm {

// Runs quellmark-cli with the process's arguments; returns the exit status.
int RunCli(int argc, char** argv);

}  // namespace qm
