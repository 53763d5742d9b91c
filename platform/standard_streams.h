// The three standard descriptors, made safe before the program opens anything of its own.
#pragma once

namespace qm {

// Opens each of descriptors 0 to 2 that is closed on /dev/null. Otherwise the first file the
// program opens would take the number, and a message meant for the terminal would land in it.
void OpenClosedStandardStreams();

}  // namespace qm
