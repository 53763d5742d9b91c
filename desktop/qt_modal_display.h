// The message dialog on screen: frmError in a modal dialog owned by the main window.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPointer>

#include "desktop/form_skin.h"
#include "platform/modal_display.h"
#include "window/frm_error.h"

namespace qm {

// The dialog window itself. Escape and the frame's close button are the form's to answer.
class MessageDialog : public QDialog {
  Q_OBJECT

 public:
  MessageDialog(frmError& form, QWidget* owner);
  FormSkin& skin() { return skin_; }

  // The designed layout leaves room for the numbered messages. A longer one (a failure that
  // names a deep path) widens the dialog up to nine tenths of the screen's width first, and
  // only then takes more lines, the buttons moving along below it.
  void fitMessage();

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  frmError& form_;
  FormSkin skin_;
  QPixmap picture_;
  QPixmap picture2x_;  // for screens that scale the window by two or more
};

class QtModalDisplay : public ModalDisplay {
 public:
  QtModalDisplay(frmError& form, QWidget* owner);
  ~QtModalDisplay() override;

  // Loads the form for the current MessageCode and returns once the dialog is closed.
  void ShowError() override;

  // Created on first use, like the form's window; null before that.
  MessageDialog* dialog() const { return dialog_.data(); }

 private:
  frmError& form_;
  QWidget* owner_;
  QPointer<MessageDialog> dialog_;  // a child of the owner, which may go first
};

}  // namespace qm
