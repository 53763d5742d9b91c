#include "desktop/qt_shell.h"

#include <QFile>
#include <QMetaObject>

#include "desktop/desktop_program.h"
#include "desktop/main_window.h"
#include "shell/association.h"
#include "shell/drop.h"

namespace qm {

DropTarget::DropTarget(MainWindow& window, Receiver receiver)
    : QObject(&window), window_(window), receiver_(std::move(receiver)) {}

void DropTarget::setAccepting(bool on) {
  if (on == accepting_) return;
  accepting_ = on;
  window_.setAcceptDrops(on);
  if (on) {
    window_.FilesDropped = [this](const std::vector<std::string>& files) {
      QMetaObject::invokeMethod(
          this, [this, files] { receiver_(files); }, Qt::QueuedConnection);
    };
    // Qt gives a drag to the innermost widget that accepts drops, and a text field would take
    // the path as text. Switched off, the drag passes up to the window.
    for (QWidget* child : window_.findChildren<QWidget*>()) {
      if (!child->acceptDrops()) continue;
      child->setAcceptDrops(false);
      fields_.emplace_back(child);
    }
  } else {
    window_.FilesDropped = nullptr;
    for (const QPointer<QWidget>& child : fields_) {
      if (!child.isNull()) child->setAcceptDrops(true);
    }
    fields_.clear();
  }
}

std::vector<IconImage> AssociationIcons() {
  std::vector<IconImage> icons;
  for (const int size : {32, 48, 64, 128, 256}) {
    QFile file(QStringLiteral(":/icons/quellmark-%1.png").arg(size));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QByteArray bytes = file.readAll();
    icons.push_back({size, bytes.toStdString()});
  }
  return icons;
}

void AddShellHooks(DesktopProgram& program, FileSystem& fs, AssociationStore& store) {
  frmQuellmark& form = program.form;
  auto* drops = new DropTarget(program.window, [&form](const std::vector<std::string>& files) {
    DropWindowProc(form, files);
  });
  form.AcceptDrops = [drops](bool on) { drops->setAccepting(on); };
  form.RegisterFileType = [&fs, &store] { RegisterFileType(fs, store, AssociationIcons()); };
}

}  // namespace qm
