#include "desktop/qt_help_viewer.h"

#include <algorithm>

#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

namespace qm {

QtHelpViewer::~QtHelpViewer() {
  delete window_.data();
}

void QtHelpViewer::ShowContents() {
  if (!window_) {
    window_ = new QTextBrowser(owner_);
    window_->setWindowFlag(Qt::Window);
    window_->setObjectName(QStringLiteral("helpWindow"));
    window_->setWindowTitle(QStringLiteral("Quellmark Help"));
    // The program ends with its main window, whether or not the help is still open.
    window_->setAttribute(Qt::WA_QuitOnClose, false);
    window_->setOpenExternalLinks(true);
    // The window's small, narrow font is for its fixed layout; reading wants a plainer one.
    QFont font = window_->font();
    font.setStretch(QFont::Unstretched);
    font.setPixelSize(13);
    window_->setFont(font);
    // Escape closes the help as it closes a dialog; Ctrl+W as it closes a document.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
      QObject::connect(new QShortcut(keys, window_), &QShortcut::activated, window_.data(),
                       &QWidget::close);
    }
    window_->setSource(QUrl(QString::fromLatin1(kDocument)));
    // A comfortable page, but never more than four fifths of the screen, over the main window.
    const QWidget* anchor = owner_ != nullptr ? owner_ : window_.data();
    const QRect screen = anchor->screen()->availableGeometry();
    const QSize size = QSize(720, 600).boundedTo(screen.size() * 4 / 5);
    window_->resize(size);
    QRect frame(QPoint(), size);
    frame.moveCenter(owner_ != nullptr ? owner_->frameGeometry().center() : screen.center());
    frame.moveLeft(std::clamp(frame.left(), screen.left(), screen.right() + 1 - size.width()));
    frame.moveTop(std::clamp(frame.top(), screen.top(), screen.bottom() + 1 - size.height()));
    window_->move(frame.topLeft());
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace qm
