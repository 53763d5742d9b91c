// The program's help: its own document, built into the binary, in a window of its own.
#pragma once

#include <QPointer>
#include <QTextBrowser>

#include "platform/help_viewer.h"

class QWidget;

namespace qm {

class QtHelpViewer : public HelpViewer {
 public:
  explicit QtHelpViewer(QWidget* owner) : owner_(owner) {}
  ~QtHelpViewer() override;

  // Opens the help window, or brings it forward when it is open already; does not wait.
  void ShowContents() override;

  // The help window once it has been opened; null before.
  QTextBrowser* window() const { return window_.data(); }

  static constexpr const char* kDocument = "qrc:/help/help.html";

 private:
  QWidget* owner_;
  QPointer<QTextBrowser> window_;
};

}  // namespace qm
