#include "platform/qt/qt_modal_display.h"

#include <QCloseEvent>
#include <QPainter>

namespace qm {

MessageDialog::MessageDialog(frmError& form, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      form_(form),
      skin_(form, *this),
      picture_(QStringLiteral(":/error.png")) {
  setModal(true);
}

void MessageDialog::reject() {
  // Escape: the form answers as for its frame's close button.
  form_.Form_QueryUnload();
}

void MessageDialog::closeEvent(QCloseEvent* event) {
  // The form's Unloaded hook hides the dialog once the form has answered.
  event->ignore();
  form_.Form_QueryUnload();
}

void MessageDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

QtModalDisplay::QtModalDisplay(frmError& form, QWidget* owner) : form_(form), owner_(owner) {}

QtModalDisplay::~QtModalDisplay() {
  form_.Unloaded = nullptr;
  delete dialog_.data();
}

void QtModalDisplay::ShowError() {
  if (!dialog_) {
    dialog_ = new MessageDialog(form_, owner_);
    form_.Unloaded = [this] { dialog_->done(QDialog::Accepted); };
  }
  form_.Form_Load();
  if (form_.isOpen()) dialog_->exec();
}

}  // namespace qm
