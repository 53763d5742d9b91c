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

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (FilesDropped && !localFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (FilesDropped && !localFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const std::vector<std::string> files = localFiles(event->mimeData());
  if (!FilesDropped || files.empty()) return;
  event->acceptProposedAction();
  FilesDropped(files);
}

}  // namespace qm
