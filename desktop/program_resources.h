// What the program brings along: the pictures and the help document built into the binary, and
// the look that its fixed layout is drawn for.
#pragma once

#include <QIcon>

namespace qm {

// Makes the built-in resources available; call once before using them.
void LoadProgramResources();

// The program's icon: the 32 x 32 drawing plus its larger renderings.
QIcon ProgramIcon();

// The windows place every control at a fixed spot, measured for a small sans-serif font, so the
// program uses its own style and font wherever it runs rather than the desktop's, which may be
// larger and would cut the captions off. Call once, after the application object exists.
void UseProgramLook();

}  // namespace qm
