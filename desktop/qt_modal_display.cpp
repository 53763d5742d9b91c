#include "desktop/qt_modal_display.h"

#include <algorithm>

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTextDocumentFragment>
#include <QTextEdit>

namespace qm {

MessageDialog::MessageDialog(frmError& form, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      form_(form),
      skin_(form, *this),
      picture_(QStringLiteral(":/error.png")),
      picture2x_(QStringLiteral(":/error@2x.png")) {
  picture2x_.setDevicePixelRatio(2.0);
  setModal(true);
}

void MessageDialog::fitMessage() {
  QWidget* text = skin_.widgetOf(form_.Label1);
  if (text == nullptr) return;
  const QRect designed = pixelRect(form_.Label1.rect);
  const QSize client = pixelRect(form_.client).size();
  const QWidget* owner = parentWidget() != nullptr ? parentWidget() : this;
  const QRect screen = owner->screen()->availableGeometry();
  const auto fits = [&](int width) { return text->heightForWidth(width) <= designed.height(); };

  // The narrowest width, between the designed one and nine tenths of the screen, at which the
  // message needs no more lines than designed; the widest where none will do.
  int low = designed.width();
  int high = std::max(low, screen.width() * 9 / 10 - (client.width() - designed.width()));
  if (!fits(high)) low = high;
  while (low < high) {
    const int middle = low + (high - low) / 2;
    if (fits(middle)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  const int width = low;
  // Taller than nine tenths of the screen, the text scrolls.
  const int tallest =
      std::max(designed.height(), screen.height() * 9 / 10 - (client.height() - designed.height()));
  const int height = std::clamp(text->heightForWidth(width), designed.height(), tallest);

  const int wider = width - designed.width();
  const int taller = height - designed.height();
  text->setGeometry(QRect(designed.topLeft(), QSize(width, height)));
  for (const CommandButton* button : {&form_.cmdOk, &form_.cmdYes, &form_.cmdNo}) {
    skin_.widgetOf(*button)->setGeometry(pixelRect(button->rect).translated(wider / 2, taller));
  }
  setFixedSize(client + QSize(wider, taller));
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

void MessageDialog::keyPressEvent(QKeyEvent* event) {
  // Ctrl+C copies the selected part of the message, or all of it, exactly as it reads.
  auto* text = qobject_cast<QTextEdit*>(skin_.widgetOf(form_.Label1));
  if (text != nullptr && event->matches(QKeySequence::Copy)) {
    const QTextCursor selected = text->textCursor();
    QGuiApplication::clipboard()->setText(
        selected.hasSelection() ? selected.selection().toPlainText() : text->toPlainText());
    return;
  }
  QDialog::keyPressEvent(event);
}

void MessageDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const bool sharp = devicePixelRatioF() > 1.0 && !picture2x_.isNull();
  painter.drawPixmap(0, 0, sharp ? picture2x_ : picture_);
}

void MessageDialog::showEvent(QShowEvent* event) {
  // The button that has the focus shows it from the start: Return or Space presses it.
  setAttribute(Qt::WA_KeyboardFocusChange);
  QDialog::showEvent(event);
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
  // A screen reader reads the message with the dialog, as it reads a message box's text.
  dialog_->setAccessibleDescription(toQString(form_.Label1.caption()));
  dialog_->exec();
  // The owner takes the keyboard back, even where no window manager hands it over.
  if (owner_ != nullptr && owner_->isVisible()) owner_->activateWindow();
}

}  // namespace qm
