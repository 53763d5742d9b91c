#include "desktop/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace qm {

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmQuellmark"));
  // A fixed layout: the frame offers no maximising.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (QueryClose && !QueryClose()) {
    event->ignore();
    return;
  }
  if (Closing) Closing();
  event->accept();
}

std::vector<std::string> MainWindow::localFiles(const QMimeData* data) const {
  std::vector<std::string> files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return files;
}

// The program only reads a dropped file, so it takes every drop as a copy. A move would tell the
// file manager to delete the original once the drop is over.
bool MainWindow::acceptAsCopy(QDropEvent* event) const {
  if (!FilesDropped || localFiles(event->mimeData()).empty() ||
      !(event->possibleActions() & Qt::CopyAction)) {
    return false;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  acceptAsCopy(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  acceptAsCopy(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (acceptAsCopy(event)) FilesDropped(localFiles(event->mimeData()));
}

}  // namespace qm
