#include "desktop/qt_modal_display.h"

#include <algorithm>

#include <QCloseEvent>
#include <QLabel>
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

void MessageDialog::fitMessage() {
  auto* label = qobject_cast<QLabel*>(skin_.widgetOf(form_.Label1));
  if (label == nullptr) return;
  const QRect designed = pixelRect(form_.Label1.rect);
  const int extra = std::max(0, label->heightForWidth(designed.width()) - designed.height());
  label->setGeometry(designed.adjusted(0, 0, 0, extra));
  for (const CommandButton* button : {&form_.cmdOk, &form_.cmdYes, &form_.cmdNo}) {
    skin_.widgetOf(*button)->setGeometry(pixelRect(button->rect).translated(0, extra));
  }
  setFixedSize(pixelRect(form_.client).size() + QSize(0, extra));
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
  if (!form_.isOpen()) return;
  dialog_->fitMessage();
  dialog_->exec();
  // The owner takes the keyboard back, even where no window manager hands it over.
  if (owner_ != nullptr && owner_->isVisible()) owner_->activateWindow();
}

}  // namespace qm
