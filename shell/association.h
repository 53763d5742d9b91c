// The file-type association on freedesktop desktops: .qkd files are of the type
// application/x-quellmark, described as "Quellmark", shown with the program's icon and opened
// by this program. Written for the current user at every start, and only where it changed.
#pragma once

#include <string>
#include <vector>

#include "platform/association_store.h"
#include "platform/file_system.h"

namespace qm {

inline constexpr char kMimeType[] = "application/x-quellmark";
inline constexpr char kDesktopId[] = "quellmark.desktop";

// Writes, below the user's folders, the MIME package (then update-mime-database), the icons,
// the desktop entry (then update-desktop-database) and the default application in
// mimeapps.list. A file is rewritten, and its tool run, only when its content changes. Each
// piece that fails is skipped quietly and the others are still tried.
void RegisterFileType(FileSystem& fs, AssociationStore& store,
                      const std::vector<IconImage>& icons) noexcept;

// The Exec= value that starts the program in `programFolder` with the opened file, quoted and
// escaped as desktop entries require.
std::string DesktopExec(const std::string& programFolder);

// `mimeapps` (the text of a mimeapps.list) with this program as the default application for
// the type and first among its added associations. Every other line stays as it was.
std::string WithDefaultApplication(const std::string& mimeapps);

}  // namespace qm
