// The main window's frame: hosts the form's widgets, asks the form before it closes, and is
// the place where files dropped on the window arrive.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

class QMimeData;

namespace qm {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  // Asked when the user or the program closes the window; false keeps it open.
  std::function<bool()> QueryClose;
  // The window is going away.
  std::function<void()> Closing;
  // Local files dropped on the window, in the order given. Drops are taken only while the
  // window accepts them (setAcceptDrops) and someone listens here.
  std::function<void(const std::vector<std::string>&)> FilesDropped;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  std::vector<std::string> localFiles(const QMimeData* data) const;
  bool acceptAsCopy(QDropEvent* event) const;
};

}  // namespace qm
