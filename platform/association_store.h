// What the file-type association needs from the system besides files: where the user's own
// data and configuration folders are, where the running program lives, and a way to tell the
// desktop that its caches are stale.
#pragma once

#include <string>
#include <vector>

namespace qm {

// The folders of one user, without a trailing "/". An empty folder means "do not write here":
// unknown, not absolute, or not the user's own.
struct UserFolders {
  std::string dataHome;       // $XDG_DATA_HOME, by default ~/.local/share
  std::string configHome;     // $XDG_CONFIG_HOME, by default ~/.config
  std::string programFolder;  // the folder of the running program
};

// One rendering of the program's icon for the user's icon theme.
struct IconImage {
  int size = 0;     // square, in pixels
  std::string png;  // the file's bytes
};

class AssociationStore {
 public:
  virtual ~AssociationStore() = default;
  virtual UserFolders Folders() = 0;
  // Runs one of the desktop's cache tools (update-mime-database, update-desktop-database) on
  // `folder`. Never fails loudly and never waits long: the association must not slow a start.
  virtual void RunTool(const std::string& tool, const std::string& folder) = 0;
};

}  // namespace qm
