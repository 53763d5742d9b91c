// The shell integration's Qt side: files dropped anywhere on the main window, text fields
// included, reach the drop handler; and the icon renderings for the desktop association.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/association_store.h"
#include "platform/file_system.h"

namespace qm {

class DesktopProgram;
class MainWindow;

class DropTarget : public QObject {
  Q_OBJECT

 public:
  using Receiver = std::function<void(const std::vector<std::string>&)>;
  // `receiver` gets the local files of each drop, in the order the desktop lists them. It runs
  // after the drop has been accepted and the event handling has returned, so that the program
  // that dragged them is not kept waiting through a split or join that the drop starts.
  DropTarget(MainWindow& window, Receiver receiver);

  // The form's AcceptDrops hook: on, the window takes drops of local files and the text fields
  // let them through instead of inserting the path as text; off, all is as before.
  void setAccepting(bool on);
  bool accepting() const { return accepting_; }

 private:
  MainWindow& window_;
  Receiver receiver_;
  bool accepting_ = false;
  std::vector<QPointer<QWidget>> fields_;  // children whose own drop handling is switched off
};

// The program's icon in every size built into the binary, as PNG files for the user's theme.
std::vector<IconImage> AssociationIcons();

// Gives the assembled program its shell hooks: the form's AcceptDrops installs a drop target
// on the window that hands drops to DropWindowProc, and its RegisterFileType writes the
// association through `fs` and `store` with the built-in icons. Both must outlive `program`.
void AddShellHooks(DesktopProgram& program, FileSystem& fs, AssociationStore& store);

}  // namespace qm
